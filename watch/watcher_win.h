// The status watcher on Windows Sockets: one datagram port for every
// watched server, name lookups off the thread (the program's shared lookups,
// as the query window's), waking only for a datagram, a finished lookup or
// the next deadline of the schedule (the port's one-shot wake-up, set anew
// after every event). Everything runs on the thread that created it.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/datagramport_win.h"
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
    using SetTimerCall = net::DatagramPort::SetTimerCall;
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
    std::uint64_t sent() const { return port_.sent(); }
    // The socket's local port (0 before the first send).
    std::uint16_t localport() const { return port_.localport(); }

    std::function<void()> OnChange;
    std::function<void(const Balloon&)> OnBalloon;

private:
    void send(const Endpoint& to, const std::string& bytes) override;
    void resolve(std::uint32_t ticket, const std::string& host) override;
    // Sets the port's one-shot wake-up to the schedule's next deadline.
    void arm();
    std::uint32_t now() const;

    Clock clock_;
    Watch rules_;
    net::DatagramPort port_;
    net::HostLookups lookups_;
};

}  // namespace velmora::watch
