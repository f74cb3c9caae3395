// One UDP socket for many servers, run from a hidden window on the thread
// that made it: datagrams are read when the socket library says they wait,
// and a one-shot wake-up (a window timer, or the system's thread-pool timer
// when the desktop has no window timer left) comes at the next deadline of
// whoever owns the port. The status watcher and "Find a game" each own one.
//
// A port given a clock reads on a thread of its own instead, which only
// waits for datagrams and stamps each with the clock as it arrives: a ping
// then stays true while the window's thread is busy drawing a long list.
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
    // Must be callable from any thread.
    using Clock = std::uint32_t (*)();
    // `setTimer` defaults to the system's SetTimer (tests take it away);
    // with `stamp`, datagrams are read and stamped on a thread of the port's.
    explicit DatagramPort(SetTimerCall setTimer = nullptr, Clock stamp = nullptr);
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

    // A datagram arrived (one larger than 64 KB arrives cut); `arrived` is
    // its stamp, 0 for a port without a clock.
    std::function<void(const Endpoint& from, const std::string& datagram, std::uint32_t arrived)> OnDatagram;
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
    struct Arrival {
        Endpoint from;
        std::string datagram;
        std::uint32_t arrived;
    };

    bool open();
    void readall();
    // The reading thread's loop, and the arrivals it handed over.
    static DWORD WINAPI reading(void* port);
    void readarrivals();
    void runlater();
    void wake();
    void settled();
    void disarm();

    SetTimerCall setTimer_;
    Clock stamp_;
    WinsockUse library_;
    std::unique_ptr<Receiver> receiver_;
    SOCKET socket_ = INVALID_SOCKET;
    std::uint16_t localPort_ = 0;
    std::uint64_t sent_ = 0;
    std::vector<char> buffer_;
    std::vector<std::function<void()>> later_;
    // The reading thread, the arrivals it has read and the flag that ends it.
    HANDLE reader_ = nullptr;
    CRITICAL_SECTION arrivalsLock_;
    std::vector<Arrival> arrivals_;
    volatile LONG stopping_ = 0;
    // The socket functions the thread calls, looked up before it starts.
    decltype(&::recvfrom) recvfrom_ = nullptr;
    decltype(&::WSAGetLastError) lastError_ = nullptr;
    bool armed_ = false;
    // The wake-up's stand-in when no window timer can be had: a timer of the
    // system's thread pool that only posts to the receiver.
    HANDLE poolTimer_ = nullptr;
};

}  // namespace velmora::net
