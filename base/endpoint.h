// An IPv4 address and a port, as sockets and master server lists name a
// server.
#pragma once
#include <cstdint>

namespace velmora {

// The address in host order (127.0.0.1 is 0x7F000001).
struct Endpoint {
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
    auto operator<=>(const Endpoint&) const = default;
};

}  // namespace velmora
