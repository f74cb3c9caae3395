// The watch's callbacks may change the watch itself: the tray's balloon and
// tip go through the shell, inside which a second copy's hand-off sets new
// targets. So OnChange and OnBalloon run once a walk over the servers has
// ended, and see its whole outcome. (Run under AddressSanitizer natively: a
// callback inside the walk frees the servers being walked.)
#include <gtest/gtest.h>

#include <functional>

#include "tests/watch/testreplies.h"
#include "watch/watchrules.h"

using namespace velmora::watch;

namespace {
constexpr std::uint32_t kLoop = 0x7F000001;  // 127.0.0.1
using test::decode;
using test::reply;

struct CountingNet : WatchTransport {
    int sent = 0;
    void send(const Endpoint&, const std::string&) override { ++sent; }
    void resolve(std::uint32_t, const std::string&) override {}
};

std::vector<WatchTarget> servers(int count, std::uint16_t firstPort = 27500) {
    std::vector<WatchTarget> targets;
    for (int k = 0; k < count; ++k) {
        const auto port = static_cast<std::uint16_t>(firstPort + k);
        const std::string entry = "127.0.0.1:" + std::to_string(port);
        targets.push_back({0, entry, entry, "127.0.0.1", port, test::kPrefix + "status"});
    }
    return targets;
}

// What a callback does to the watch it was called by.
struct Reentry {
    const char* name;
    std::function<void(Watch&, std::uint32_t now)> act;
};
const Reentry reentries[] = {
    {"the history rebuilt", [](Watch& w, std::uint32_t now) { w.settargets(servers(4), now); }},
    {"the history emptied", [](Watch& w, std::uint32_t now) { w.settargets({}, now); }},
    {"other servers", [](Watch& w, std::uint32_t now) { w.settargets(servers(2, 26000), now); }},
    {"watching switched off", [](Watch& w, std::uint32_t now) { w.setinterval(0, now); }},
};
}  // namespace

// Four queries time out in one wake; the first change rebuilds the targets,
// which once freed the servers the wake was still walking.
TEST(WatchReentry, OnChangeMayResetTheTargetsWhileDeadlinesPass) {
    for (const Reentry& r : reentries) {
        SCOPED_TRACE(r.name);
        CountingNet net;
        Watch watch(net, decode);
        std::uint32_t now = 1000;
        int changes = 0;
        watch.OnChange = [&] {
            if (++changes == 1) r.act(watch, now);
        };
        watch.settargets(servers(4), now);
        watch.setinterval(60000, now);
        ASSERT_EQ(watch.inflight(), 4);
        now += kAnswerDeadlineMs;
        watch.wake(now);
        EXPECT_GE(changes, 1);
    }
}

// A change is told once the wake is done: the first call already sees every
// server whose deadline passed in it, not one of them.
TEST(WatchReentry, OnChangeSeesTheWholeWake) {
    CountingNet net;
    Watch watch(net, decode);
    const std::vector<WatchTarget> targets = servers(3);
    std::vector<std::vector<std::string>> seen;
    watch.OnChange = [&] {
        seen.emplace_back();
        for (const WatchTarget& t : targets) seen.back().push_back(watch.status(t.game, t.entry));
    };
    watch.settargets(targets, 1000);
    watch.setinterval(60000, 1000);
    watch.wake(1000 + kAnswerDeadlineMs);
    ASSERT_EQ(seen.size(), 1u) << "one change for one wake";
    EXPECT_EQ(seen[0], (std::vector<std::string>{"no answer", "no answer", "no answer"}));
}

// An answer that gives a balloon: the balloon's callback rebuilds the targets
// and the change is still told, after it; the rebuilt watch goes on asking.
TEST(WatchReentry, OnBalloonMayResetTheTargetsWhileAnAnswerIsTaken) {
    for (const Reentry& r : reentries) {
        SCOPED_TRACE(r.name);
        CountingNet net;
        Watch watch(net, decode);
        std::uint32_t now = 1000;
        std::vector<std::string> calls;
        watch.OnChange = [&] { calls.push_back("change"); };
        watch.OnBalloon = [&](const Balloon& b) {
            calls.push_back("balloon " + b.text);
            r.act(watch, now);
        };
        watch.settargets(servers(3), now);
        watch.setinterval(1000 * 60, now);
        watch.received({kLoop, 27500}, reply("0", "8", "dm4"), now);  // empty first
        now += 60000;
        watch.wake(now);
        calls.clear();
        watch.received({kLoop, 27500}, reply("2", "8", "dm4"), now);
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls.front(), "balloon 2 playing on dm4");
        EXPECT_EQ(calls.back(), "change") << "the answer's change comes after the balloon";
    }
}

// A callback that wakes the watch again tells its own results there, and the
// outer wake does not tell them a second time.
TEST(WatchReentry, ANestedWakeTellsItsOwnResultsOnce) {
    CountingNet net;
    Watch watch(net, decode);
    std::uint32_t now = 1000;
    int changes = 0;
    watch.OnChange = [&] {
        if (++changes == 1) {
            now += kAnswerDeadlineMs;
            watch.wake(now);  // the second server's deadline passes in here
        }
    };
    watch.settargets(servers(1), now);
    watch.setinterval(60000, now);
    watch.settargets(servers(2), now + 500);  // the second asked half a second later
    now += kAnswerDeadlineMs;
    watch.wake(now);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(watch.status(0, "127.0.0.1:27501"), "no answer");
}
