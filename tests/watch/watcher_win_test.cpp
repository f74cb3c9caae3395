// The watcher on real Windows Sockets (under Wine) against UDP peers on
// 127.0.0.1: one socket for all servers, answers matched by address and
// port, "no answer" for silence, nothing sent when off, one balloon.
#include "watch/watcher_win.h"

#include <gtest/gtest.h>

#include <atomic>

#include "tests/net/netloop_win.h"
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
    EXPECT_GE(changes, 4);
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
