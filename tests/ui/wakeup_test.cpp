// The message loop's wake-up plan: when it sets, keeps or kills its window
// timer, and when it waits with a time-out instead.
#include "ui/wakeup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using velmora::WakeUp;
using Action = WakeUp::Action;

namespace {

struct Sleep {
    std::uint32_t now;
    std::optional<std::uint32_t> within;
    Action expected;
};

std::string describe(const Sleep& s) {
    return "at " + std::to_string(s.now) + (s.within ? " within " + std::to_string(*s.within) : " no wake-up");
}

}  // namespace

// Each row is one sleep of the loop, in order, on one plan.
TEST(WakeUp, TheTimerIsSetOnceForTheMomentEverySleepAsksFor) {
    const struct {
        const char* name;
        std::vector<Sleep> sleeps;
    } cases[] = {
        {"nothing asked, nothing set", {{0, std::nullopt, Action::Keep}, {50, std::nullopt, Action::Keep}}},
        {"a waiting query: the time-out asked after every frame",
         {{0, 1000, Action::Set}, {97, 903, Action::Keep}, {194, 806, Action::Keep}, {291, 709, Action::Keep}}},
        {"the handler's clock a millisecond off, either way",
         {{0, 1000, Action::Set}, {100, 901, Action::Keep}, {200, 799, Action::Keep}, {300, 702, Action::Keep}}},
        {"a moment beyond the slack sets the timer anew",
         {{0, 1000, Action::Set}, {100, 903, Action::Set}, {200, 800, Action::Set}}},
        {"a sooner moment too", {{0, 1000, Action::Set}, {100, 300, Action::Set}, {150, 250, Action::Keep}}},
        {"nobody waits any more: killed once",
         {{0, 1000, Action::Set}, {100, std::nullopt, Action::Kill}, {200, std::nullopt, Action::Keep}}},
        {"shorter than the timer can: a timed wait, the timer left as it is",
         {{0, 9, Action::TimedWait}, {0, 1000, Action::Set}, {500, 5, Action::TimedWait}, {505, 495, Action::Keep}}},
        {"the last stretch before the set moment sleeps on the timer",
         {{0, 1000, Action::Set}, {995, 5, Action::Keep}, {999, 1, Action::Keep}}},
        {"the shortest period is the timer's", {{0, 10, Action::Set}, {5, 9, Action::TimedWait}}},
        {"across the millisecond clock's wrap",
         {{0xFFFFFF00u, 0x200, Action::Set}, {0xFFFFFFF0u, 0x110, Action::Keep}, {0x10, 0xF2, Action::Keep},
          {0x20, 0xE0, Action::Keep}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WakeUp plan;
        for (const Sleep& s : c.sleeps) EXPECT_EQ(plan.plan(s.now, s.within), s.expected) << describe(s);
    }
}

TEST(WakeUp, ATimerThatWentOffIsSetAgainForTheSameMoment) {
    WakeUp plan;
    EXPECT_EQ(plan.plan(0, 100), Action::Set);
    EXPECT_TRUE(plan.set());
    plan.wentOff();
    EXPECT_FALSE(plan.set());
    // Gone off a millisecond early: the same moment needs a timer again,
    // and a timed wait covers what is left.
    EXPECT_EQ(plan.plan(99, 1), Action::TimedWait);
    EXPECT_EQ(plan.plan(99, 10), Action::Set);
    plan.wentOff();
    EXPECT_EQ(plan.plan(120, std::nullopt), Action::Keep) << "no timer left to kill";
}
