#include "query/join.h"

#include "app/velmoraglobal.h"
#include "base/text.h"

namespace velmora::query {

const char kNoPathMessage[] = "The path for this game hasn't been setup.\r\n\r\nset it up now.";

namespace {
bool digit(char c) { return c >= '0' && c <= '9'; }
bool letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool dottedquad(std::string_view host) {
    int parts = 0;
    size_t pos = 0;
    for (;;) {
        const size_t end = host.find('.', pos);
        const std::string_view part = host.substr(pos, end == std::string_view::npos ? end : end - pos);
        if (part.empty() || part.size() > 3) return false;
        int value = 0;
        for (const char c : part) {
            if (!digit(c)) return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255) return false;
        ++parts;
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    return parts == 4;
}
}  // namespace

bool joinablehost(std::string_view host) {
    if (host.empty()) return false;
    bool allDigitsAndDots = true;
    for (const char c : host) {
        if (!(digit(c) || letter(c) || c == '.' || c == '-')) return false;
        if (!(digit(c) || c == '.')) allDigitsAndDots = false;
    }
    // Digits and dots alone must make a real dotted quad.
    if (allDigitsAndDots) return dottedquad(host);
    // A name never begins with "-", which a game could read as an option.
    return host.front() != '-';
}

bool joinableport(std::string_view port) {
    if (port.empty() || port.size() > 5) return false;
    int value = 0;
    for (const char c : port) {
        if (!digit(c)) return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

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
        std::string shown(addressLabel);
        if (shown.size() >= 3 && shown.compare(shown.size() - 3, 3, "...") == 0) shown.resize(shown.size() - 3);
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
