// The shared tick window's timetable: who is due when, and how long until
// the next tick.
#include "markup/tickschedule.h"

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
