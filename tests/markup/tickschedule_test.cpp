// The shared tick window's timetable: who is due when, and how long until
// the next tick.
#include "markup/tickschedule.h"

#include <algorithm>

#include <gtest/gtest.h>

using velmora::TickSchedule;

// With nothing runnable nothing is due until a change.
TEST(TickSchedule, NothingRunnableMeansNoWakeUp) {
    TickSchedule s;
    EXPECT_FALSE(s.wait(0).has_value());
    s.set(1, false, 100, 0);
    s.set(2, true, 0, 0);  // interval 0 never ticks
    EXPECT_FALSE(s.wait(50).has_value());
    EXPECT_TRUE(s.due(1000).empty());
}

// The sleep ends when the earliest of several timers is due.
TEST(TickSchedule, SleepsUntilTheEarliestTimer) {
    struct Case {
        std::uint64_t now;
        std::uint64_t wait;
        std::vector<std::uint64_t> due;
    };
    TickSchedule s;
    s.set(1, true, 100, 0);  // due at 100
    s.set(2, true, 30, 10);  // due at 40
    s.set(3, false, 5, 0);   // never
    for (const Case& c : {Case{0, 40, {}}, Case{39, 1, {}}, Case{40, 0, {2}}, Case{100, 0, {2, 1}},
                          Case{250, 0, {2, 1}}}) {
        EXPECT_EQ(s.wait(c.now), c.wait) << c.now;
        EXPECT_EQ(s.due(c.now), c.due) << c.now;
    }
}

// A tick's next one comes an interval after the hand-over returned, so a slow
// tick handler stretches the period instead of piling ticks up.
TEST(TickSchedule, NextTickCountsFromTheEndOfTheLast) {
    TickSchedule s;
    s.set(1, true, 100, 0);
    s.ticked(1, 130);
    EXPECT_EQ(s.wait(130), 100u);
    EXPECT_TRUE(s.due(229).empty());
    EXPECT_EQ(s.due(230), std::vector<std::uint64_t>{1});
    s.ticked(99, 500);  // unknown: ignored
    EXPECT_FALSE(s.contains(99));
}

// A change starts the wait over; a removed timer is never due again.
TEST(TickSchedule, ChangesRestartAndRemovalEnds) {
    TickSchedule s;
    s.set(1, true, 100, 0);
    s.set(1, true, 100, 90);  // re-enabled at 90: due at 190, not 100
    EXPECT_TRUE(s.due(150).empty());
    EXPECT_EQ(s.wait(150), 40u);
    s.set(2, true, 10, 0);
    s.remove(1);
    EXPECT_FALSE(s.contains(1));
    EXPECT_EQ(s.due(1000), std::vector<std::uint64_t>{2});
    s.remove(2);
    EXPECT_TRUE(s.empty());
}

// Timers due within the gathering window tick in the round of the one due
// now, so two animations that nearly coincide wake the program once; one due
// later waits for its own round.
TEST(TickSchedule, TicksDueSoonAfterJoinTheRound) {
    struct Case {
        std::uint64_t now;
        std::uint32_t early;
        std::vector<std::uint64_t> due;
    };
    TickSchedule s;
    s.set(1, true, 100, 0);
    s.set(2, true, 200, 0);
    s.set(3, true, 110, 0);
    s.ticked(1, 0);  // due at 100
    s.ticked(2, 3);  // due at 203
    s.ticked(3, 0);  // due at 110
    for (const Case& c : {Case{100, 0, {1}}, Case{100, 9, {1}}, Case{100, 10, {1, 3}}, Case{195, 10, {1, 3, 2}},
                          Case{192, 10, {1, 3}}, Case{90, 10, {1}}, Case{89, 10, {}}})
        EXPECT_EQ(s.due(c.now, c.early), c.due) << c.now << " + " << c.early;
}

// A timer that starts while another runs takes that one's nearest tick for
// its first when it lies within a quarter of its own interval.
TEST(TickSchedule, ATimerStartedLaterFallsIntoTheBeat) {
    struct Case {
        std::uint32_t interval;
        std::uint64_t startedAt;
        std::uint64_t firstDue;
    };
    // The beat: every 100 ms from 100 on.
    for (const Case& c : {Case{200, 45, 200}, Case{200, 55, 300}, Case{1000, 45, 1000}, Case{1000, 80, 1100},
                          Case{20, 45, 65}, Case{100, 10, 100}, Case{100, 30, 130}, Case{40, 65, 100}, Case{40, 90, 130}}) {
        TickSchedule s;
        s.set(1, true, 100, 0);
        s.set(2, true, c.interval, c.startedAt);
        const auto has2 = [](const std::vector<std::uint64_t>& ids) { return std::count(ids.begin(), ids.end(), 2u) == 1; };
        EXPECT_FALSE(has2(s.due(c.firstDue - 1))) << c.interval << " from " << c.startedAt;
        EXPECT_TRUE(has2(s.due(c.firstDue))) << c.interval << " from " << c.startedAt;
    }
    TickSchedule alone, quiet;
    alone.set(2, true, 200, 45);
    EXPECT_EQ(alone.wait(45), 200u) << "no other timer";
    quiet.set(1, false, 100, 0);
    quiet.set(2, true, 200, 45);
    EXPECT_EQ(quiet.wait(45), 200u) << "a stopped timer sets no beat";
}

// The hand (every 100 ms) and the tray icon (every 200 ms) started 45 ms
// apart, their handlers taking a millisecond each: over two seconds the
// program wakes for the hand's ticks only, and each timer keeps its interval.
TEST(TickSchedule, TwoAnimationsStartedApartWakeTheProgramTogether) {
    TickSchedule s;
    s.set(1, true, 100, 0);
    s.set(2, true, 200, 45);
    std::uint64_t now = 45;
    int rounds = 0, ticks[3] = {};
    while (now < 2045) {
        now += *s.wait(now);
        ++rounds;
        for (std::uint64_t id : s.due(now, 10)) {
            ++ticks[id];
            s.ticked(id, ++now);
        }
    }
    EXPECT_GE(ticks[1], 19);
    EXPECT_NEAR(ticks[2] * 2, ticks[1], 1);
    EXPECT_EQ(rounds, ticks[1]);
}

// The tick window keeps its periodic timer while its next wake-up comes at or
// up to the gathering window before the earliest due tick; a wake-up after
// it would tick late, one long before it would wake for nothing. Every
// answer below is written out by hand.
TEST(TickSchedule, AWakeUpServesATickDueSoonAfterIt) {
    struct Case {
        std::uint64_t next, due;
        std::uint32_t early;
        bool serves;
    };
    for (const Case& c : {
             Case{100, 100, 10, true},     // at the very moment
             Case{100, 110, 10, true},     // the gathering window's far edge
             Case{100, 111, 10, false},    // a millisecond beyond it: a wake-up for nothing
             Case{101, 100, 10, false},    // a millisecond late
             Case{0, 10, 10, true},        // from the clock's start
             Case{1000, 1005, 10, true},   // inside the window
             Case{100, 100, 0, true},      // no window: only the moment itself
             Case{100, 101, 0, false},     // no window: a millisecond early is too early
             Case{250, 253, 3, true},      // a narrower window's edge
             Case{250, 254, 3, false},     // and past it
             Case{300, 200, 500, false},   // a wide window never makes a late wake-up serve
         })
        EXPECT_EQ(TickSchedule::wakeServes(c.next, c.due, c.early), c.serves)
            << c.next << " for " << c.due << " gathering " << c.early;
}
