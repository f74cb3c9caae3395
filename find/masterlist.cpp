#include "find/masterlist.h"

#include <algorithm>

namespace velmora::find {

namespace {
bool loopback(std::uint32_t ip) { return ip >> 24 == 127; }
}  // namespace

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
