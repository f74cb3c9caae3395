// A small UDP peer on 127.0.0.1 for the socket tests: a blocking ws2_32
// socket on its own thread that records every datagram it gets and answers
// each with the reply its rule makes, after an optional delay.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace velmora::test {

class UdpResponder {
public:
    // `reply` gives the answers to one datagram (none, one or several).
    using Rule = std::function<std::vector<std::string>(const std::string& datagram)>;

    // `bindAddress` (host byte order) is loopback unless a test inside a
    // loopback-only network namespace needs the wildcard to hear a broadcast.
    explicit UdpResponder(Rule rule = nullptr, int delayMs = 0, unsigned long bindAddress = INADDR_LOOPBACK)
        : rule_(std::move(rule)), delayMs_(delayMs) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(bindAddress);
        a.sin_port = 0;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("bind");
        int len = sizeof a;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        DWORD timeout = 50;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        thread_ = std::thread([this] { serve(); });
    }
    ~UdpResponder() {
        stop_ = true;
        thread_.join();
        closesocket(socket_);
        WSACleanup();
    }
    UdpResponder(const UdpResponder&) = delete;
    UdpResponder& operator=(const UdpResponder&) = delete;

    int port() const { return port_; }
    void setDelay(int ms) { delayMs_ = ms; }
    std::vector<std::string> received() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    // The source port of the last datagram.
    int lastSourcePort() const { return lastSourcePort_; }

    // Sends `text` to 127.0.0.1:`port` from the responder's socket.
    void sendTo(int port, const std::string& text) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<u_short>(port));
        ::sendto(socket_, text.data(), static_cast<int>(text.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

private:
    void serve() {
        std::vector<char> buffer(65536);
        while (!stop_) {
            sockaddr_in from{};
            int len = sizeof from;
            const int n = ::recvfrom(socket_, buffer.data(), static_cast<int>(buffer.size()), 0,
                                     reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) continue;
            const std::string datagram(buffer.data(), static_cast<std::size_t>(n));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                received_.push_back(datagram);
            }
            lastSourcePort_ = ntohs(from.sin_port);
            // Answers go to loopback senders only.
            if (!rule_ || (ntohl(from.sin_addr.s_addr) >> 24) != 127) continue;
            const auto replies = rule_(datagram);
            if (delayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_.load()));
            for (const auto& r : replies)
                ::sendto(socket_, r.data(), static_cast<int>(r.size()), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    }

    Rule rule_;
    std::atomic<int> delayMs_;
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<int> lastSourcePort_{0};
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    std::thread thread_;
};

// The answer of a game server: four FF bytes, then the question.
inline std::vector<std::string> answerWithPrefix(const std::string& datagram) {
    return {std::string("\xFF\xFF\xFF\xFF", 4) + datagram};
}

}  // namespace velmora::test
