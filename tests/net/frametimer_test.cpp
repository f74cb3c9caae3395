// The frame timer's idle step, on a clock the tests move by hand.
#include "net/frametimer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace velmora::net;

namespace {
// Steps the clock at each of `times`; returns the lags of the ticks.
std::vector<int> ticksAt(FrameClock& clock, const std::vector<std::uint32_t>& times) {
    std::vector<int> lags;
    for (std::uint32_t t : times)
        if (auto lag = clock.step(t)) lags.push_back(*lag);
    return lags;
}
}  // namespace

// A tick needs at least Interval ms since the previous tick, never fewer.
TEST(FrameClock, TicksNeverCloserThanInterval) {
    FrameClock clock;
    clock.setInterval(10);
    clock.restart(100);
    std::vector<std::uint32_t> times;
    for (std::uint32_t t = 100; t <= 160; ++t) times.push_back(t);
    EXPECT_EQ(ticksAt(clock, times), (std::vector<int>{1, 1, 1, 1, 1, 1}));
}

// Interval 1 on a coarse clock: a tick per clock change, LagCount the ms that passed.
TEST(FrameClock, IntervalOneGivesElapsedMillisecondsAsLag) {
    FrameClock clock;
    clock.setInterval(1);
    clock.restart(0);
    EXPECT_EQ(ticksAt(clock, {0, 0, 16, 16, 31, 47, 47}), (std::vector<int>{16, 15, 16}));
}

// Interval 0: every idle step ticks, and the lag is still at least 1.
TEST(FrameClock, IntervalZeroTicksEveryStep) {
    FrameClock clock;
    clock.setInterval(0);
    clock.restart(5);
    EXPECT_EQ(ticksAt(clock, {5, 5, 5, 8}), (std::vector<int>{1, 1, 1, 3}));
}

// LagCount counts whole intervals since the previous tick.
TEST(FrameClock, LagIsWholeIntervals) {
    FrameClock clock;
    clock.setInterval(10);
    clock.restart(0);
    EXPECT_EQ(ticksAt(clock, {9, 10, 29, 59, 60}), (std::vector<int>{1, 1, 3}));
}

// MaxLag records the largest lag, never decreases, and never limits the lag.
TEST(FrameClock, MaxLagOnlyGrows) {
    FrameClock clock;
    clock.setInterval(1);
    clock.setMaxLag(10);
    clock.restart(0);
    const std::vector<std::uint32_t> times = {3, 40, 41, 45, 145, 146};
    const std::vector<int> expectedMax = {10, 37, 37, 37, 100, 100};
    int previous = clock.maxLag();
    for (std::size_t i = 0; i < times.size(); ++i) {
        const auto lag = clock.step(times[i]);
        ASSERT_TRUE(lag);
        EXPECT_EQ(clock.maxLag(), expectedMax[i]) << i;
        EXPECT_GE(clock.maxLag(), previous);
        previous = clock.maxLag();
    }
    EXPECT_EQ(*clock.step(1146), 1000) << "the lag passed on is not capped by MaxLag";
}

// A MaxLag of 0 or less is left alone: it records nothing.
TEST(FrameClock, NonPositiveMaxLagStaysAsSet) {
    FrameClock clock;
    clock.setInterval(1);
    clock.setMaxLag(0);
    clock.restart(0);
    clock.step(500);
    EXPECT_EQ(clock.maxLag(), 0);
}

// The millisecond clock wraps after 49.7 days; timing goes on across the wrap.
TEST(FrameClock, TimingSurvivesClockWrap) {
    FrameClock clock;
    clock.setInterval(10);
    clock.restart(0xFFFFFFF0u);
    EXPECT_EQ(ticksAt(clock, {0xFFFFFFF5u, 0xFFFFFFFAu, 4u, 30u}), (std::vector<int>{1, 1, 2}));
}

// The tick rate is worked out once at least a second has passed, to the nearest even on halves.
TEST(FrameClock, TickRateEverySecond) {
    FrameClock clock;
    clock.setInterval(1);
    clock.restart(0);
    for (std::uint32_t t = 2; t <= 1000; t += 2) clock.step(t);
    EXPECT_EQ(clock.tickRate(), 500);
    for (std::uint32_t t = 1010; t <= 2000; t += 10) clock.step(t);
    EXPECT_EQ(clock.tickRate(), 100);
}

TEST(FrameClock, RateRoundsHalvesToEven) {
    struct Case {
        std::uint32_t ticks, ms;
        int rate;
    };
    const Case cases[] = {{1, 2000, 0}, {3, 2000, 2}, {5, 2000, 2}, {7, 2000, 4}, {1001, 1000, 1001},
                          {2, 3000, 1}, {999, 1001, 998}, {0, 1000, 0}};
    for (const Case& c : cases) EXPECT_EQ(FrameClock::ratePerSecond(c.ticks, c.ms), c.rate) << c.ticks << "/" << c.ms;
}

// Restarting (enable again) times from the moment of the restart.
TEST(FrameClock, RestartResetsTiming) {
    FrameClock clock;
    clock.setInterval(100);
    clock.restart(0);
    clock.restart(90);
    EXPECT_FALSE(clock.step(150));
    EXPECT_TRUE(clock.step(190));
}

// An owner that draws nothing between ticks lets the loop sleep past the
// ticks that are due, until its own wake-up time; a restart forgets it.
TEST(FrameClock, SleepForStretchesTheWaitButNeverShortensIt) {
    struct Case {
        std::uint32_t interval;
        std::uint32_t sleep;  // from time 0
        std::uint32_t now;
        std::uint32_t wait;
    } cases[] = {
        {1, 1000, 0, 1000},   // the query's wait: until its time-out
        {1, 1000, 400, 600},
        {1, 1000, 999, 1},
        {1, 1000, 1000, 0},   // reached: the due tick counts
        {1, 1000, 1500, 0},   // passed
        {100, 30, 10, 90},    // a shorter sleep never hides the next tick
        {100, 300, 250, 50},
    };
    for (const auto& c : cases) {
        FrameClock clock;
        clock.setInterval(c.interval);
        clock.restart(0);
        clock.sleepFor(c.sleep, 0);
        EXPECT_EQ(clock.untilWake(c.now), c.wait) << c.interval << " " << c.sleep << " " << c.now;
        clock.restart(c.now);
        EXPECT_EQ(clock.untilWake(c.now), clock.untilDue(c.now)) << "a restart wakes for every tick again";
    }
    // Across the clock's wrap.
    FrameClock wrapping;
    wrapping.setInterval(1);
    wrapping.restart(0xFFFFFF00u);
    wrapping.sleepFor(1000, 0xFFFFFF00u);
    EXPECT_EQ(wrapping.untilWake(0x00000010u), 1000u - 0x110u);
    EXPECT_EQ(wrapping.untilWake(0x00000400u), 0u);
}

namespace {
struct Member : IdleStepper {
    int steps = 0;
    std::function<void()> action;
    void idleStep(bool& done) override {
        done = false;
        ++steps;
        if (action) action();
    }
};
}  // namespace

// Two attached timers both step: the point of sharing the idle slot.
TEST(IdleGroup, EveryMemberSteps) {
    IdleGroup group;
    Member a, b;
    EXPECT_TRUE(group.attach(&a)) << "first member: install the handler";
    EXPECT_FALSE(group.attach(&b));
    EXPECT_FALSE(group.attach(&a)) << "attaching twice adds nothing";
    bool done = true;
    group.step(done, nullptr);
    group.step(done, nullptr);
    EXPECT_EQ(a.steps, 2);
    EXPECT_EQ(b.steps, 2);
    EXPECT_FALSE(done);
}

// Only the last member leaving empties the slot.
TEST(IdleGroup, DetachReportsEmptyOnlyForTheLast) {
    IdleGroup group;
    Member a, b;
    group.attach(&a);
    group.attach(&b);
    EXPECT_FALSE(group.detach(&a));
    EXPECT_FALSE(group.detach(&a)) << "detaching a non-member changes nothing";
    EXPECT_TRUE(group.detach(&b));
    EXPECT_TRUE(group.empty());
}

// A tick handler that stops another timer: that timer is not stepped after it left.
TEST(IdleGroup, MemberDetachedDuringStepIsSkipped) {
    IdleGroup group;
    Member a, b;
    a.action = [&] { group.detach(&b); };
    group.attach(&a);
    group.attach(&b);
    bool done = true;
    group.step(done, nullptr);
    EXPECT_EQ(a.steps, 1);
    EXPECT_EQ(b.steps, 0);
}

// A member attached during a step starts with the next step.
TEST(IdleGroup, MemberAttachedDuringStepWaitsForNextStep) {
    IdleGroup group;
    Member a, b;
    a.action = [&] { group.attach(&b); };
    group.attach(&a);
    bool done = true;
    group.step(done, nullptr);
    EXPECT_EQ(b.steps, 0);
    group.step(done, nullptr);
    EXPECT_EQ(b.steps, 1);
}

// One failing tick handler is reported; the other timers still tick.
TEST(IdleGroup, ErrorOfOneMemberIsReportedAndOthersStep) {
    IdleGroup group;
    Member a, b;
    a.action = [] { throw std::runtime_error("tick failed"); };
    group.attach(&a);
    group.attach(&b);
    std::vector<std::string> reports;
    bool done = true;
    group.step(done, [&](const std::exception& e) { reports.push_back(e.what()); });
    EXPECT_EQ(reports, std::vector<std::string>{"tick failed"});
    EXPECT_EQ(b.steps, 1);
    EXPECT_TRUE(group.contains(&a)) << "the failing timer stays attached";
}
