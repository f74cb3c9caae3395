// One UDP socket for many servers, run from a hidden window on the thread
// that made it: datagrams are read when the socket library says they wait,
// and a one-shot wake-up (a window timer, or the system's thread-pool timer
// when the desktop has no window timer left) comes at the next deadline of
// whoever owns the port. The status watcher and "Find a game" each own one.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/endpoint.h"
#include "net/winsock_win.h"

namespace velmora::net {

class DatagramPort {
public:
    using SetTimerCall = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);
    // `setTimer` defaults to the system's SetTimer (tests take it away).
    explicit DatagramPort(SetTimerCall setTimer = nullptr);
    DatagramPort(const DatagramPort&) = delete;
    DatagramPort& operator=(const DatagramPort&) = delete;
    ~DatagramPort();

    // Sends one datagram; the socket is made on the first send, so a port
    // that never sends has none. False when the datagram could not leave.
    bool send(const Endpoint& to, const std::string& bytes);
    // The next wake-up, `ms` from now, replacing any earlier one; nothing
    // cancels it.
    void wakeAfter(std::optional<std::uint32_t> ms);
    // Runs `call` from the message loop, after the caller has returned.
    void later(std::function<void()> call);

    // A datagram arrived (one larger than 64 KB arrives cut).
    std::function<void(const Endpoint& from, const std::string& datagram)> OnDatagram;
    // The wake-up went off.
    std::function<void()> OnWake;
    // After every batch of datagrams, wake-up or later call: the owner sets
    // its next wake-up here.
    std::function<void()> OnSettled;

    std::uint64_t sent() const { return sent_; }
    // The socket's local port (0 before the first send).
    std::uint16_t localport() const { return localPort_; }

private:
    class Receiver;

    bool open();
    void readall();
    void runlater();
    void wake();
    void settled();
    void disarm();

    SetTimerCall setTimer_;
    WinsockUse library_;
    std::unique_ptr<Receiver> receiver_;
    SOCKET socket_ = INVALID_SOCKET;
    std::uint16_t localPort_ = 0;
    std::uint64_t sent_ = 0;
    std::vector<char> buffer_;
    std::vector<std::function<void()>> later_;
    bool armed_ = false;
    // The wake-up's stand-in when no window timer can be had: a timer of the
    // system's thread pool that only posts to the receiver.
    HANDLE poolTimer_ = nullptr;
};

}  // namespace velmora::net
