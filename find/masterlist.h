// The server list a refresh gathers from a game's master servers: which
// entries of which replies are taken. A master's reply is only a list of
// addresses that somebody registered; Velmora asks each of them for its
// status, so the list decides where its datagrams go.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/endpoint.h"

namespace velmora::find {

// At most this many servers of one address (one host running many ports),
// and of one game in all.
constexpr std::size_t kServersPerAddress = 32;
constexpr std::size_t kServersPerGame = 4096;

// A master as a game's "masters" value names it.
struct MasterName {
    std::string host;
    std::uint16_t port = 0;
    std::string text;  // "host:port", as the status line shows it
};
// The masters of a "masters" value: "host:port" pieces separated by blanks
// (commas and tabs too), each once. A piece without a port, or with one
// outside 1..65535, is passed over.
std::vector<MasterName> parsemasters(std::string_view value);

class MasterList {
public:
    // The masters that were asked; replies from anywhere else are dropped.
    explicit MasterList(std::vector<Endpoint> asked);

    // The entries of one reply datagram that came from `from`. Taken in
    // their order: not from a master that was asked, nothing; never an entry
    // in 0.0.0.0/8, in 224.0.0.0/4 or above (multicast, reserved, broadcast),
    // with port 0, or in 127.0.0.0/8 unless the master itself is on
    // loopback; each server once; at most kServersPerAddress of one address
    // and kServersPerGame in all. Returns how many were new.
    std::size_t take(const Endpoint& from, const std::vector<Endpoint>& entries);

    // The servers taken, in the order they came.
    const std::vector<Endpoint>& servers() const { return servers_; }
    bool asked(const Endpoint& from) const;

private:
    std::vector<Endpoint> masters_;
    std::vector<Endpoint> servers_;
    std::set<Endpoint> seen_;
    std::map<std::uint32_t, std::size_t> perAddress_;
};

}  // namespace velmora::find
