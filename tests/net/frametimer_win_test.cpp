// The frame timer in the real message loop, ticking from the application's idle slot.
#include "net/frametimer_win.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/net/netloop_win.h"
#include "ui/clock_win.h"

using namespace velmora::net;
using velmora::CM_ACTIVATE;
using velmora::CM_DEACTIVATE;
using velmora::test::app;
using velmora::test::pump;

namespace {

struct Ticks {
    std::vector<DWORD> times;
    std::vector<int> lags;
    void attach(TCustomFrameTimer& t) {
        t.OnTimer = [this](TCustomFrameTimer&, int lag) {
            times.push_back(velmora::clockMilliseconds());
            lags.push_back(lag);
        };
    }
};

// A timer as the query window stores it, started by its loading.
void loadLikeQueryWindow(TCustomFrameTimer& t, bool enabled) {
    t.BeginLoading();
    t.SetActiveOnly(false);
    t.SetEnabled(enabled);
    t.SetInterval(1);
    t.SetMaxLag(10);
    t.Loaded();
}

// Runs the loop until a witness timer that ticks freely has ticked `count`
// times: a timer that should stay silent would have ticked in that time too,
// however slow the machine. Tests that assert "no tick" wait for this.
void pumpWitnessTicks(int count = 20) {
    TFrameTimer witness;
    int ticked = 0;
    witness.OnTimer = [&](TCustomFrameTimer&, int) { ++ticked; };
    loadLikeQueryWindow(witness, true);
    EXPECT_TRUE(pump(20000, [&] { return ticked >= count; })) << "the witness timer never ticked";
    witness.SetEnabled(false);
}

}  // namespace

class FrameTimer : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        // Each test starts with the application inactive and the slot free.
        PostMessageA(app().handle(), CM_DEACTIVATE, 0, 0);
        app().processMessages();
        ASSERT_FALSE(app().active());
        ASSERT_FALSE(app().hasOnIdle());
    }
    void TearDown() override { EXPECT_EQ(attachedFrameTimers(), 0u) << "a destroyed timer leaves the slot"; }
};

// Ticks never come closer together than Interval on the program's clock.
TEST_F(FrameTimer, TicksNeverCloserThanInterval) {
    for (std::uint32_t interval : {1u, 7u, 25u}) {
        TFrameTimer t;
        Ticks ticks;
        ticks.attach(t);
        loadLikeQueryWindow(t, true);
        t.SetInterval(interval);
        const DWORD start = velmora::clockMilliseconds();
        pump(10000, [&] { return ticks.times.size() >= 5; });
        t.SetEnabled(false);
        ASSERT_GE(ticks.times.size(), 5u) << interval;
        EXPECT_GE(ticks.times.front() - start, interval);
        for (std::size_t i = 1; i < ticks.times.size(); ++i)
            EXPECT_GE(ticks.times[i] - ticks.times[i - 1], interval) << interval << " at tick " << i;
        for (int lag : ticks.lags) EXPECT_GE(lag, 1);
    }
}

// Interval 0: every idle step is a tick, so several ticks fall within one clock millisecond.
TEST_F(FrameTimer, IntervalZeroTicksEveryIdleStep) {
    TFrameTimer t;
    Ticks ticks;
    ticks.attach(t);
    loadLikeQueryWindow(t, true);
    t.SetInterval(0);
    auto sameMillisecond = [&] {
        for (std::size_t i = 1; i < ticks.times.size(); ++i)
            if (ticks.times[i] == ticks.times[i - 1]) return true;
        return false;
    };
    EXPECT_TRUE(pump(10000, sameMillisecond));
    t.SetEnabled(false);
    for (int lag : ticks.lags) EXPECT_GE(lag, 1);
}

// Enabled set while the form loads takes effect only once loading is complete.
TEST_F(FrameTimer, EnabledWhileLoadingStartsAfterLoading) {
    TFrameTimer t;
    Ticks ticks;
    ticks.attach(t);
    t.BeginLoading();
    t.SetActiveOnly(false);
    t.SetInterval(1);
    t.SetEnabled(false);
    t.SetEnabled(true);
    EXPECT_FALSE(t.Running());
    pumpWitnessTicks();
    EXPECT_TRUE(ticks.times.empty());
    t.Loaded();
    EXPECT_TRUE(t.Running());
    EXPECT_TRUE(pump(1000, [&] { return !ticks.times.empty(); }));
    t.SetEnabled(false);
}

// The query window's stored Enabled false: loading does not start it, enabling does.
TEST_F(FrameTimer, StoredDisabledWaitsForEnable) {
    TFrameTimer t;
    Ticks ticks;
    ticks.attach(t);
    loadLikeQueryWindow(t, false);
    EXPECT_FALSE(t.Running());
    EXPECT_FALSE(app().hasOnIdle());
    t.SetEnabled(true);
    EXPECT_TRUE(pump(1000, [&] { return !ticks.times.empty(); }));
    t.SetEnabled(false);
    EXPECT_FALSE(app().hasOnIdle()) << "the last timer to stop empties the slot";
}

// Created in code, Enabled is already true and nothing runs until it is toggled.
TEST_F(FrameTimer, CreatedInCodeRunsOnlyAfterToggle) {
    TFrameTimer t;
    Ticks ticks;
    ticks.attach(t);
    t.SetActiveOnly(false);
    t.SetInterval(1);
    EXPECT_TRUE(t.Enabled());
    t.SetEnabled(true);
    pumpWitnessTicks();
    EXPECT_FALSE(t.Running());
    EXPECT_TRUE(ticks.times.empty());
    t.SetEnabled(false);
    t.SetEnabled(true);
    EXPECT_TRUE(pump(1000, [&] { return !ticks.times.empty(); }));
    t.SetEnabled(false);
}

// MaxLag records the largest lag and never decreases; a slow handler shows up as lag.
TEST_F(FrameTimer, MaxLagNeverDecreases) {
    TFrameTimer t;
    std::vector<int> maxLags;
    std::vector<int> lags;
    int n = 0;
    t.OnTimer = [&](TCustomFrameTimer& sender, int lag) {
        lags.push_back(lag);
        maxLags.push_back(sender.MaxLag());
        if (++n % 10 == 0) Sleep(30);  // a long handler delays the next tick
    };
    loadLikeQueryWindow(t, true);
    pump(10000, [&] { return maxLags.size() >= 40; });
    t.SetEnabled(false);
    ASSERT_GE(maxLags.size(), 40u);
    EXPECT_EQ(maxLags.front(), 10);
    for (std::size_t i = 1; i < maxLags.size(); ++i) EXPECT_GE(maxLags[i], maxLags[i - 1]) << i;
    int largest = 0;
    for (int lag : lags) largest = std::max(largest, lag);
    EXPECT_GE(largest, 25) << "the sleep shows as a lag of about 30";
    EXPECT_EQ(maxLags.back(), std::max(10, largest));
}

// Two enabled timers both tick; stopping one leaves the other ticking.
TEST_F(FrameTimer, TwoEnabledTimersBothTick) {
    TFrameTimer a, b;
    Ticks ta, tb;
    ta.attach(a);
    tb.attach(b);
    loadLikeQueryWindow(a, false);
    loadLikeQueryWindow(b, false);
    a.SetEnabled(true);
    b.SetEnabled(true);
    EXPECT_TRUE(pump(10000, [&] { return ta.times.size() > 10 && tb.times.size() > 10; }));
    b.SetEnabled(false);
    const std::size_t before = ta.times.size(), beforeB = tb.times.size();
    EXPECT_TRUE(app().hasOnIdle());
    EXPECT_TRUE(pump(10000, [&] { return ta.times.size() > before + 10; })) << "stopping b must not stop a";
    EXPECT_EQ(tb.times.size(), beforeB);
    a.SetEnabled(false);
    EXPECT_FALSE(app().hasOnIdle());
}

// Two query windows waiting at once: each counts its own 1000 ticks to its own time-out.
TEST_F(FrameTimer, TwoWaitingQueriesEachTimeOut) {
    TFrameTimer first, second;
    int firstTicks = 0, secondTicks = 0;
    bool firstTimedOut = false, secondTimedOut = false;
    first.OnTimer = [&](TCustomFrameTimer& t, int) {
        if (++firstTicks > 999) {
            firstTimedOut = true;
            t.SetEnabled(false);
        }
    };
    second.OnTimer = [&](TCustomFrameTimer& t, int) {
        if (++secondTicks > 999) {
            secondTimedOut = true;
            t.SetEnabled(false);
        }
    };
    loadLikeQueryWindow(first, false);
    loadLikeQueryWindow(second, false);
    first.SetEnabled(true);
    pump(100);
    second.SetEnabled(true);
    EXPECT_TRUE(pump(20000, [&] { return firstTimedOut && secondTimedOut; }));
    EXPECT_EQ(firstTicks, 1000);
    EXPECT_EQ(secondTicks, 1000);
}

// A timer told to sleep wakes the loop at that time, not every millisecond:
// its next tick carries the whole sleep as its lag.
TEST_F(FrameTimer, ASleepingTimerTicksAtItsWakeUpTime) {
    TFrameTimer t;
    Ticks ticks;
    t.OnTimer = [&](TCustomFrameTimer& sender, int lag) {
        ticks.times.push_back(velmora::clockMilliseconds());
        ticks.lags.push_back(lag);
        sender.SleepFor(60);
    };
    loadLikeQueryWindow(t, true);
    ASSERT_TRUE(pump(10000, [&] { return ticks.lags.size() >= 4; }));
    t.SetEnabled(false);
    for (std::size_t i = 1; i < ticks.lags.size(); ++i) EXPECT_GE(ticks.lags[i], 60) << "tick " << i;
}

// A message arriving while the timer sleeps still brings a tick at once, so
// an owner that counts on ticks after its messages gets them.
TEST_F(FrameTimer, AMessageWakesASleepingTimer) {
    TFrameTimer t;
    int count = 0;
    UINT_PTR message = 0;
    t.OnTimer = [&](TCustomFrameTimer& sender, int) {
        ++count;
        sender.SleepFor(600000);  // ten minutes: only a message can bring the next tick
        // A system timer's message comes later than the next Interval, so the tick is due when it wakes the loop.
        if (count == 1) message = SetTimer(nullptr, 0, 50, nullptr);
    };
    loadLikeQueryWindow(t, true);
    EXPECT_TRUE(pump(10000, [&] { return count >= 2; }));
    KillTimer(nullptr, message);
    t.SetEnabled(false);
}

// A tick handler may stop or destroy another timer while the timers are being stepped.
TEST_F(FrameTimer, HandlerDestroyingAnotherTimerIsSafe) {
    auto victim = std::make_unique<TFrameTimer>();
    TFrameTimer killer;
    int victimTicks = 0;
    victim->OnTimer = [&](TCustomFrameTimer&, int) { ++victimTicks; };
    bool killed = false;
    killer.OnTimer = [&](TCustomFrameTimer&, int) {
        if (!killed) {
            victim.reset();
            killed = true;
        }
    };
    loadLikeQueryWindow(killer, true);
    loadLikeQueryWindow(*victim, true);
    EXPECT_TRUE(pump(1000, [&] { return killed; }));
    pump(50);
    killer.SetEnabled(false);
}

// ActiveOnly: a running timer waits for activation, ticks while active, and waits again after deactivation.
TEST_F(FrameTimer, ActiveOnlyFollowsTheApplicationsActivation) {
    TFrameTimer t;
    Ticks ticks;
    ticks.attach(t);
    int activations = 0, deactivations = 0;
    t.OnActivate = [&](TCustomFrameTimer&) { ++activations; };
    t.OnDeactivate = [&](TCustomFrameTimer&) { ++deactivations; };
    t.BeginLoading();
    t.SetInterval(1);
    t.Loaded();  // ActiveOnly true by default, application inactive
    EXPECT_TRUE(t.Running());
    EXPECT_FALSE(t.Attached());
    pumpWitnessTicks();
    EXPECT_TRUE(ticks.times.empty());

    PostMessageA(app().handle(), CM_ACTIVATE, 0, 0);
    EXPECT_TRUE(pump(1000, [&] { return !ticks.times.empty(); }));
    EXPECT_EQ(activations, 1);
    EXPECT_TRUE(t.Attached());

    PostMessageA(app().handle(), CM_DEACTIVATE, 0, 0);
    pump(1000, [&] { return deactivations > 0; });
    EXPECT_EQ(deactivations, 1);
    EXPECT_FALSE(t.Attached());
    EXPECT_TRUE(t.Running());
    const std::size_t before = ticks.times.size();
    pumpWitnessTicks();
    EXPECT_EQ(ticks.times.size(), before);
    t.SetEnabled(false);
    EXPECT_FALSE(t.Running());
}

// An ActiveOnly false timer ignores deactivation, but still announces it.
TEST_F(FrameTimer, NotActiveOnlyTicksThroughDeactivation) {
    TFrameTimer t;
    Ticks ticks;
    ticks.attach(t);
    int deactivations = 0;
    t.OnDeactivate = [&](TCustomFrameTimer&) { ++deactivations; };
    loadLikeQueryWindow(t, true);
    PostMessageA(app().handle(), CM_DEACTIVATE, 0, 0);
    pump(1000, [&] { return deactivations > 0; });
    const std::size_t before = ticks.times.size();
    EXPECT_TRUE(pump(10000, [&] { return ticks.times.size() > before; }));
    t.SetEnabled(false);
}

// Enabling a running timer again changes nothing; disabling and enabling restarts the timing.
TEST_F(FrameTimer, ReEnableRestartsTiming) {
    TFrameTimer t;
    Ticks ticks;
    ticks.attach(t);
    loadLikeQueryWindow(t, true);
    t.SetInterval(100);
    const DWORD start = velmora::clockMilliseconds();
    pump(60);
    t.SetEnabled(false);
    t.SetEnabled(true);
    const DWORD restarted = velmora::clockMilliseconds();
    // A busy machine may let a tick through before the restart: the first after it counts.
    const std::size_t before = ticks.times.size();
    ASSERT_TRUE(pump(10000, [&] { return ticks.times.size() > before; }));
    EXPECT_GE(ticks.times[before] - restarted, 100u);
    EXPECT_GE(ticks.times[before] - start, 160u);
    t.SetEnabled(false);
}
