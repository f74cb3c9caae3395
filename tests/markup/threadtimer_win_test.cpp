// The shared tick thread under Wine: one thread for every timer, ticks on the
// user-interface thread at each timer's own interval, and no tick after a
// timer went.
#include "markup/threadtimer_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/net/netloop_win.h"

using namespace velmora;
using velmora::test::pump;

namespace {

int threadsOfThisProcess() {
    const HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snap);
    return count;
}

struct Counted {
    TThreadTimer timer;
    int ticks = 0;
    DWORD thread = 0;
    explicit Counted(UINT interval) {
        timer.SetInterval(interval);
        timer.SetOnTimer([this] {
            ++ticks;
            thread = GetCurrentThreadId();
        });
        timer.SetEnabled(true);
    }
};

}  // namespace

// Many timers share one thread, and the timers made later find it again.
TEST(ThreadTimer, EveryTimerSharesOneThread) {
    velmora::test::app();
    auto first = std::make_unique<Counted>(20);
    const DWORD tickThread = TThreadTimer::tickThreadId();
    ASSERT_NE(tickThread, 0u);
    const int before = threadsOfThisProcess();
    {
        std::vector<std::unique_ptr<Counted>> timers;
        for (int i = 0; i < 12; ++i) timers.push_back(std::make_unique<Counted>(20 + 5 * i));
        EXPECT_EQ(threadsOfThisProcess(), before) << "no thread of its own for any timer";
        // Every one of them ticks, on this thread.
        ASSERT_TRUE(pump(10000, [&] {
            for (const auto& t : timers)
                if (t->ticks < 2) return false;
            return true;
        }));
        for (const auto& t : timers) EXPECT_EQ(t->thread, GetCurrentThreadId());
    }
    first.reset();
    Counted later(10);
    EXPECT_EQ(TThreadTimer::tickThreadId(), tickThread);
    EXPECT_TRUE(pump(10000, [&] { return later.ticks >= 2; }));
    EXPECT_EQ(threadsOfThisProcess(), before);
}

// Each timer keeps its own interval: a fast one ticks several times while a
// slow one ticks once.
TEST(ThreadTimer, EachTimerKeepsItsOwnInterval) {
    velmora::test::app();
    Counted fast(10), slow(400);
    ASSERT_TRUE(pump(10000, [&] { return slow.ticks >= 1; }));
    EXPECT_GE(fast.ticks, 5);
}

// A disabled timer, or one without a handler, does not tick while others do;
// enabling it again makes it tick.
TEST(ThreadTimer, DisabledTimersStayQuiet) {
    velmora::test::app();
    Counted off(10), on(10);
    TThreadTimer bare;
    bare.SetInterval(10);  // enabled, but no handler
    off.timer.SetEnabled(false);
    ASSERT_TRUE(pump(10000, [&] { return on.ticks >= 5; }));
    EXPECT_EQ(off.ticks, 0);
    off.timer.SetEnabled(true);
    EXPECT_TRUE(pump(10000, [&] { return off.ticks >= 1; }));
}

// A timer destroyed by another timer's tick gets no tick after it went, and
// the thread goes on serving the others.
TEST(ThreadTimer, ATimerThatGoesGetsNoLateTick) {
    velmora::test::app();
    auto victim = std::make_unique<Counted>(1);
    Counted killer(1), witness(5);
    int victimTicksAtDeath = -1;
    killer.timer.SetOnTimer([&] {
        if (victim) {
            victimTicksAtDeath = victim->ticks;
            victim.reset();
        }
        ++killer.ticks;
    });
    ASSERT_TRUE(pump(10000, [&] { return !victim && witness.ticks >= 5; }));
    EXPECT_GE(victimTicksAtDeath, 0);
    EXPECT_GE(killer.ticks, 2);
}
