#include "query/gameplugin.h"

namespace velmora::query {

namespace {
const std::string kMarker("\xFF\xFF\xFF\xFF", 4);
}  // namespace

std::vector<std::string> statusreplyprefixes(std::string_view sendstr) {
    // A query without the marker is no out-of-band question the table knows.
    if (sendstr.substr(0, kMarker.size()) != kMarker) return {kMarker};
    sendstr.remove_prefix(kMarker.size());
    // The engines read the question's first word ("status 23\n" is "status").
    const std::string_view word = sendstr.substr(0, sendstr.find_first_of(" \t\r\n"));
    if (word == "getstatus") return {kMarker + "statusResponse"};
    if (word == "status") return {kMarker + "n", kMarker + "print\n"};
    return {kMarker};
}

bool isstatusreply(std::string_view sendstr, std::string_view datagram) {
    for (const std::string& prefix : statusreplyprefixes(sendstr))
        if (datagram.substr(0, prefix.size()) == prefix) return true;
    return false;
}

DecodedTexts unreadtexts() { return {"???", "???", "???", "???", "???", "???"}; }

DecodedTexts GamePlugin::decodeserver(const std::string& text) const {
    if (!game_.calls || !game_.calls->decodedata) return unreadtexts();
    ServerInfo info{};
    game_.calls->decodedata(&info, text.c_str());
    // The texts may live in the library's storage until its next call: copied now.
    const auto copied = [](const char* p) { return p ? std::string(p) : std::string(); };
    return {copied(info.name),    copied(info.game),    copied(info.mod),
            copied(info.map),     copied(info.players), copied(info.maxplayers)};
}

std::vector<PlayerEntry> GamePlugin::decodeplayers(const std::string& reply) const {
    if (!game_.calls || !game_.calls->decodedata) return {};
    return askplayers(game_.calls->decodeplayers, reply);
}

std::optional<DecodedTexts> GamePlugin::decodereply(const std::string& datagram) const {
    if (!isreply(datagram)) return std::nullopt;
    return decodeserver(datagram);
}

}  // namespace velmora::query
