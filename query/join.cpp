#include "query/join.h"

#include "base/address.h"
#include "base/text.h"

namespace velmora::query {

const char kNoPathMessage[] = "The path for this game hasn't been setup.\r\n\r\nset it up now.";

std::string startfolder(std::string_view path) {
    const size_t cut = path.find_last_of("\\:");
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

JoinPlan planjoin(const std::string& path, const std::string& param, std::string_view addressLabel) {
    JoinPlan plan;
    if (path.empty()) {
        plan.kind = JoinPlan::Kind::NoPath;
        plan.message = kNoPathMessage;
        return plan;
    }
    const std::string host = gethost(addressLabel);
    const std::string port = getport(addressLabel);
    if (!joinablehost(host) || !joinableport(port)) {
        const std::string shown(withoutdots(addressLabel));
        plan.kind = JoinPlan::Kind::Refused;
        plan.message = "The server address \"" + shown +
                       "\" cannot be joined.\r\n\r\nA host is a dotted quad or a name of letters, digits, \".\" and "
                       "\"-\", and a port is a number from 1 to 65535.";
        return plan;
    }
    plan.file = path;
    plan.parameters = param + host + ":" + port;
    plan.folder = startfolder(path);
    return plan;
}

std::string startfailure(const std::string& path, int code, const std::string& reason) {
    std::string text = "The game could not be started:\r\n" + path + "\r\n\r\n";
    text += reason.empty() ? format("error %d", code) : reason;
    return text;
}

}  // namespace velmora::query
