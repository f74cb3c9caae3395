#include "watch/watcher_win.h"

#include "ui/clock_win.h"

namespace velmora::watch {

Watcher::Watcher(WatchDecoder decoder, Clock clock, SetTimerCall setTimer)
    : clock_(clock ? std::move(clock) : Clock(&clockMilliseconds)), rules_(*this, std::move(decoder)), port_(setTimer) {
    rules_.OnChange = [this] {
        if (OnChange) OnChange();
    };
    rules_.OnBalloon = [this](const Balloon& b) {
        if (OnBalloon) OnBalloon(b);
    };
    port_.OnDatagram = [this](const Endpoint& from, const std::string& datagram, std::uint32_t) {
        rules_.received(from, datagram, now());
    };
    port_.OnWake = [this] { rules_.wake(now()); };
    port_.OnSettled = [this] { arm(); };
}

Watcher::~Watcher() {
    OnChange = nullptr;
    OnBalloon = nullptr;
    // A lookup still running never calls back: its answer finds no owner.
    lookups_.cancelAll();
}

std::uint32_t Watcher::now() const { return clock_(); }

void Watcher::setinterval(std::uint32_t ms) {
    rules_.setinterval(ms, now());
    arm();
}

void Watcher::settargets(std::vector<WatchTarget> targets) {
    rules_.settargets(std::move(targets), now());
    arm();
}

void Watcher::menuopened() {
    rules_.menuopened(now());
    arm();
}

// A datagram that cannot leave is a query without answer: its deadline ends it.
void Watcher::send(const Endpoint& to, const std::string& bytes) { port_.send(to, bytes); }

void Watcher::resolve(std::uint32_t ticket, const std::string& host) {
    int error = 0;
    std::uint32_t started = 0;
    try {
        started = lookups_.start(
            host,
            [this, ticket](int failed, const std::vector<std::uint32_t>& addresses) {
                std::optional<std::uint32_t> ip;
                if (!failed && !addresses.empty()) ip = WS(ntohl)(addresses.front());
                rules_.resolved(ticket, ip, now());
                arm();
            },
            error);
    } catch (const net::ESocketException&) {
        // The library cannot be had: the name is as unknown as one not found.
    }
    // The schedule is inside a call of its own here: a failed start is
    // reported back through the window, after this call has returned.
    if (!started) port_.later([this, ticket] { rules_.resolved(ticket, std::nullopt, now()); });
}

void Watcher::arm() { port_.wakeAfter(rules_.nextwake(now())); }

}  // namespace velmora::watch
