// The status watcher on Windows Sockets: one UDP socket for every watched
// server, name lookups off the thread (the program's shared lookups, as the
// query window's), and a hidden window that wakes only for a datagram, a
// finished lookup or the next deadline of the schedule (a one-shot window
// timer, set anew after every event). Everything runs on the thread that
// created it.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/winsock_win.h"
#include "watch/watchrules.h"

namespace velmora {
struct tplugin;
}

namespace velmora::watch {

// The plug-ins' decoders for the rows of a game table, through the library
// each row keeps loaded, as the query window decodes. The rows are read when
// called.
WatchDecoder plugindecoder(const std::vector<tplugin>& games);

class Watcher : private WatchTransport {
public:
    using Clock = std::function<std::uint32_t()>;
    using SetTimerCall = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);
    // `clock` defaults to the program's clock (clockMilliseconds), `setTimer`
    // to the system's SetTimer.
    explicit Watcher(WatchDecoder decoder, Clock clock = nullptr, SetTimerCall setTimer = nullptr);
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;
    ~Watcher() override;

    void setinterval(std::uint32_t ms);
    void setnotify(bool on) { rules_.setnotify(on); }
    void settargets(std::vector<WatchTarget> targets);
    void menuopened();

    const Watch& rules() const { return rules_; }
    std::string status(int game, const std::string& entry) const { return rules_.status(game, entry); }
    std::string tip() const { return rules_.tip(); }
    // Datagrams sent since creation.
    std::uint64_t sent() const { return sent_; }
    // The socket's local port (0 before the first send).
    std::uint16_t localport() const { return localPort_; }

    std::function<void()> OnChange;
    std::function<void(const Balloon&)> OnBalloon;

private:
    class Receiver;

    void send(const Endpoint& to, const std::string& bytes) override;
    void resolve(std::uint32_t ticket, const std::string& host) override;
    bool open();
    void readall();
    // Lookups the library refused to start end as unknown names.
    void unstarted();
    // Sets the one-shot timer to the schedule's next wake-up.
    void arm();
    void disarm();
    void timer();
    std::uint32_t now() const;

    Clock clock_;
    SetTimerCall setTimer_;
    Watch rules_;
    net::WinsockUse library_;
    std::unique_ptr<Receiver> receiver_;
    SOCKET socket_ = INVALID_SOCKET;
    std::uint16_t localPort_ = 0;
    net::HostLookups lookups_;
    std::vector<std::uint32_t> unstarted_;
    std::vector<char> buffer_;
    std::uint64_t sent_ = 0;
    bool armed_ = false;
    // The wake-up's stand-in when no window timer can be had: a timer of the
    // system's thread pool that only posts to the receiver.
    HANDLE poolTimer_ = nullptr;
};

}  // namespace velmora::watch
