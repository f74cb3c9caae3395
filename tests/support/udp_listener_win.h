// Test support: a loopback UDP socket on a port the system picks, standing in
// for a game server that receives the query and never answers.
#pragma once
#include <winsock2.h>

#include <string>

namespace velmora::testing {

class Listener {
public:
    Listener() {
        sock_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(sock_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        int len = sizeof a;
        getsockname(sock_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~Listener() { closesocket(sock_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    int port() const { return port_; }
    // The first datagram to arrive within `ms`, or nothing.
    std::string receive(int ms) const {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(sock_, &set);
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        if (select(0, &set, nullptr, nullptr, &tv) != 1) return {};
        char buffer[1500];
        const int n = recv(sock_, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }

private:
    SOCKET sock_ = INVALID_SOCKET;
    int port_ = 0;
};

}  // namespace velmora::testing
