#include "find/masterlist.h"

#include <algorithm>
#include <string>

namespace velmora::find {

namespace {
bool loopback(std::uint32_t ip) { return ip >> 24 == 127; }
}  // namespace

std::vector<MasterName> parsemasters(std::string_view value) {
    std::vector<MasterName> masters;
    std::size_t at = 0;
    while (at < value.size()) {
        const std::size_t end = value.find_first_of(" \t\r\n,", at);
        const std::string_view piece = value.substr(at, end == std::string_view::npos ? end : end - at);
        at = end == std::string_view::npos ? value.size() : end + 1;
        const std::size_t colon = piece.rfind(':');
        if (piece.empty() || colon == std::string_view::npos || colon == 0) continue;
        const std::string_view port = piece.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) continue;
        const unsigned long number = std::stoul(std::string(port));
        if (number == 0 || number > 65535) continue;
        MasterName m{std::string(piece.substr(0, colon)), static_cast<std::uint16_t>(number), std::string(piece)};
        if (std::none_of(masters.begin(), masters.end(), [&](const MasterName& n) { return n.text == m.text; }))
            masters.push_back(std::move(m));
    }
    return masters;
}

MasterList::MasterList(std::vector<Endpoint> asked) : masters_(std::move(asked)) {}

bool MasterList::asked(const Endpoint& from) const {
    return std::find(masters_.begin(), masters_.end(), from) != masters_.end();
}

std::size_t MasterList::take(const Endpoint& from, const std::vector<Endpoint>& entries) {
    if (!asked(from)) return 0;
    std::size_t added = 0;
    for (const Endpoint& e : entries) {
        if (servers_.size() >= kServersPerGame) break;
        const std::uint32_t first = e.ip >> 24;
        if (e.port == 0 || first == 0 || first >= 224) continue;
        // A public master that lists loopback servers would have Velmora ask
        // the player's own machine.
        if (loopback(e.ip) && !loopback(from.ip)) continue;
        if (perAddress_[e.ip] >= kServersPerAddress) continue;
        if (!seen_.insert(e).second) continue;
        ++perAddress_[e.ip];
        servers_.push_back(e);
        ++added;
    }
    return added;
}

}  // namespace velmora::find
