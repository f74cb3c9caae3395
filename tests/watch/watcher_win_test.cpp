// The watcher on real Windows Sockets (under Wine) against UDP peers on
// 127.0.0.1: one socket for all servers, answers matched by address and
// port, "no answer" for silence, nothing sent when off, one balloon.
#include "watch/watcher_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "tests/net/netloop_win.h"
#include "tests/net/slowresolver_win.h"
#include "tests/net/udpresponder_win.h"
#include "tests/watch/testreplies.h"

using namespace velmora::watch;
using velmora::test::pump;
using velmora::test::UdpResponder;

namespace {
using velmora::watch::test::decode;
using velmora::watch::test::kPrefix;
using velmora::watch::test::reply;

// Replies reply(players(), max, map) to every query.
UdpResponder::Rule answers(std::function<std::string()> players, std::string max, std::string map) {
    return [=](const std::string&) { return std::vector<std::string>{reply(players(), max, map)}; };
}

WatchTarget loopback(int game, int port, const std::string& host = "127.0.0.1") {
    const std::string entry = host + ":" + std::to_string(port);
    return {game, entry, entry, host, static_cast<std::uint16_t>(port), kPrefix + "status"};
}

std::string statusof(const Watcher& w, const WatchTarget& t) { return w.status(t.game, t.entry); }
}  // namespace

TEST(Watcher, OneSocketAsksEveryServerAndTakesOnlyTheirAnswers) {
    UdpResponder players(answers([] { return "2"; }, "16", "e1m1"));
    UdpResponder empty(answers([] { return "0"; }, "8", "oasago2"));
    UdpResponder silent;
    UdpResponder elsewhere;  // answers for `spoofed` from its own port
    std::atomic<int> watcherPort{0};
    UdpResponder spoofed([&](const std::string&) {
        elsewhere.sendTo(watcherPort, kPrefix + "9\n9\nfake");
        return std::vector<std::string>{};
    });
    Watcher watcher(decode);
    const std::vector<WatchTarget> targets = {loopback(0, players.port()), loopback(1, empty.port()),
                                              loopback(0, silent.port()), loopback(1, spoofed.port())};
    int changes = 0;
    watcher.OnChange = [&] { ++changes; };
    watcher.settargets(targets);
    watcher.setinterval(60000);
    watcherPort = watcher.localport();
    ASSERT_NE(watcherPort, 0);
    ASSERT_TRUE(pump(10000, [&] { return statusof(watcher, targets[2]) == "no answer"; }));
    pump(5000, [&] { return statusof(watcher, targets[3]) != ""; });
    EXPECT_EQ(statusof(watcher, targets[0]), "2/16 e1m1");
    EXPECT_EQ(statusof(watcher, targets[1]), "0/8 oasago2");
    EXPECT_EQ(statusof(watcher, targets[2]), "no answer");
    EXPECT_EQ(statusof(watcher, targets[3]), "no answer") << "an answer from another port is no answer";
    EXPECT_EQ(watcher.tip(), "the Velmora: 2 on " + targets[0].entry);
    // One change per answer, and one for the deadlines that pass in one wake.
    EXPECT_GE(changes, 3);
    // One socket: every query came from the same port.
    for (const UdpResponder* r : {&players, &empty, &silent, &spoofed}) {
        EXPECT_EQ(r->received().size(), 1u);
        EXPECT_EQ(r->lastSourcePort(), watcherPort);
    }
    EXPECT_EQ(watcher.sent(), 4u);
}

// "0" sends nothing, seen while a watcher that is on goes through rounds.
TEST(Watcher, OffSendsNothingWhileAnotherWatcherGoesOn) {
    UdpResponder counted(answers([] { return "1"; }, "8", "dm4"));
    UdpResponder other(answers([] { return "1"; }, "8", "dm4"));
    Watcher off(decode), on(decode);
    off.settargets({loopback(0, counted.port())});
    off.setinterval(0);
    on.settargets({loopback(0, other.port())});
    on.setinterval(200);
    ASSERT_TRUE(pump(20000, [&] { return other.received().size() >= 3; }));
    EXPECT_TRUE(counted.received().empty());
    EXPECT_EQ(off.sent(), 0u);
    EXPECT_EQ(off.localport(), 0) << "no socket while off";
    EXPECT_EQ(off.status(0, "127.0.0.1:" + std::to_string(counted.port())), "");
}

// A player joins between two rounds: one balloon; later rounds with the same
// player give none.
TEST(Watcher, OneBalloonWhenAnEmptyServerGetsAPlayer) {
    std::atomic<int> count{0};
    UdpResponder server(answers([&] { return std::to_string(count.load()); }, "8", "dm4"));
    Watcher watcher(decode);
    std::vector<Balloon> balloons;
    watcher.OnBalloon = [&](const Balloon& b) { balloons.push_back(b); };
    const WatchTarget t = loopback(3, server.port());
    watcher.settargets({t});
    watcher.setinterval(200);
    ASSERT_TRUE(pump(10000, [&] { return statusof(watcher, t) == "0/8 dm4"; }));
    count = 1;
    ASSERT_TRUE(pump(10000, [&] { return statusof(watcher, t) == "1/8 dm4"; }));
    const size_t asked = server.received().size();
    ASSERT_TRUE(pump(10000, [&] { return server.received().size() >= asked + 2; }));
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].game, 3);
    EXPECT_EQ(balloons[0].title, t.entry);
    EXPECT_EQ(balloons[0].text, "1 playing on dm4");
}

// A host name is looked up by the socket library while the loop runs on.
TEST(Watcher, LocalhostIsLookedUpWithoutBlocking) {
    UdpResponder server(answers([] { return "5"; }, "12", "q2dm1"));
    Watcher watcher(decode);
    const WatchTarget t = loopback(0, server.port(), "localhost");
    watcher.settargets({t});
    watcher.setinterval(60000);
    EXPECT_EQ(watcher.sent(), 0u) << "the query waits for the lookup";
    ASSERT_TRUE(pump(10000, [&] { return statusof(watcher, t) != ""; }));
    EXPECT_EQ(statusof(watcher, t), "5/12 q2dm1");
}

namespace {
const std::string kSlowName = "slow.velmora-test";
}  // namespace

// A watched server's name is looked up while the thread goes on; its server
// is asked once the name is found.
TEST(Watcher, ASlowNameLeavesTheThreadFreeAndItsServerIsAskedOnceFound) {
    velmora::test::SlowResolver resolver;
    resolver.know(kSlowName, 0x7F000001);
    UdpResponder server(answers([] { return "3"; }, "8", "dm6"));
    velmora::test::TickingWindowTimer timer;
    Watcher watcher(decode);
    const WatchTarget t = loopback(0, server.port(), kSlowName);
    watcher.settargets({t});
    watcher.setinterval(60000);
    ASSERT_TRUE(pump(10000, [&] { return !resolver.asked().empty(); }));
    const int before = timer.ticks();
    ASSERT_TRUE(pump(10000, [&] { return timer.ticks() >= before + 5; })) << "the thread stood still";
    EXPECT_EQ(watcher.sent(), 0u);
    resolver.releaseAll();
    ASSERT_TRUE(pump(10000, [&] { return statusof(watcher, t) == "3/8 dm6"; }));
    EXPECT_EQ(server.received().size(), 1u);
}

// The watcher torn down while a lookup runs: the late answer calls nothing
// back, and the socket library is let go once the lookup has ended.
TEST(Watcher, TheWatcherTornDownWhileALookupRunsCallsNothingBack) {
    auto resolver = std::make_unique<velmora::test::SlowResolver>();
    resolver->know(kSlowName, 0x7F000001);
    UdpResponder server(answers([] { return "3"; }, "8", "dm6"));
    int calls = 0;
    {
        Watcher watcher(decode);
        watcher.OnChange = [&] { ++calls; };
        watcher.OnBalloon = [&](const Balloon&) { ++calls; };
        watcher.settargets({loopback(0, server.port(), kSlowName)});
        watcher.setinterval(60000);
        ASSERT_TRUE(pump(10000, [&] { return !resolver->asked().empty(); }));
    }
    EXPECT_EQ(resolver->cancelled(), 1);
    resolver->releaseAll();
    ASSERT_TRUE(pump(10000, [&] { return velmora::net::HostLookups::running() == 0; }));
    EXPECT_EQ(resolver->answered(), 1);
    EXPECT_EQ(calls, 0);
    resolver.reset();
    EXPECT_EQ(velmora::net::WinsockLibrary::liveComponents(), 0);
}

namespace {
// The desktop's window timers are used up.
UINT_PTR WINAPI noWindowTimer(HWND, UINT_PTR, UINT, TIMERPROC) { return 0; }
}  // namespace

// Without a window timer the schedule still wakes: a silent server turns to
// "no answer" at its deadline (no datagram comes to wake the watcher), and
// the rounds go on.
TEST(Watcher, WithoutAWindowTimerTheScheduleStillWakes) {
    UdpResponder silent;
    UdpResponder server(answers([] { return "1"; }, "8", "dm4"));
    Watcher watcher(decode, nullptr, &noWindowTimer);
    const WatchTarget quiet = loopback(0, silent.port()), answering = loopback(1, server.port());
    watcher.settargets({quiet, answering});
    watcher.setinterval(200);
    ASSERT_TRUE(pump(10000, [&] { return statusof(watcher, quiet) == "no answer"; }));
    ASSERT_TRUE(pump(10000, [&] { return server.received().size() >= 3; })) << "the rounds stopped";
    EXPECT_EQ(statusof(watcher, answering), "1/8 dm4");
}
