// The shared tick source under Wine: no thread for any timer, ticks on the
// user-interface thread at each timer's own interval, inside modal loops too,
// and no tick after a timer went.
#include "markup/threadtimer_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
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

// The timers cost no thread: twelve tick, all on this thread, and the
// process has as many threads as before the first of them was made.
TEST(ThreadTimer, TimersTickOnThisThreadAndMakeNoThread) {
    velmora::test::app();
    const int before = threadsOfThisProcess();
    {
        std::vector<std::unique_ptr<Counted>> timers;
        for (int i = 0; i < 12; ++i) timers.push_back(std::make_unique<Counted>(20 + 5 * i));
        ASSERT_TRUE(pump(10000, [&] {
            for (const auto& t : timers)
                if (t->ticks < 2) return false;
            return true;
        }));
        for (const auto& t : timers) EXPECT_EQ(t->thread, GetCurrentThreadId());
        EXPECT_EQ(threadsOfThisProcess(), before);
    }
    Counted later(10);
    EXPECT_TRUE(pump(10000, [&] { return later.ticks >= 2; }));
}

// Ticks go on inside a message box's own loop, as they must while the tray's
// menu is open: a timer closes the box from inside it after five ticks.
TEST(ThreadTimer, TicksGoOnInsideAModalLoop) {
    velmora::test::app();
    static constexpr char kTitle[] = "velmora tick test";
    Counted inside(10);
    inside.timer.SetOnTimer([&] {
        if (++inside.ticks == 5)
            if (HWND box = FindWindowA(nullptr, kTitle)) PostMessageA(box, WM_CLOSE, 0, 0);
    });
    // Should the ticks stop, the box still ends after ten seconds.
    const HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread backstop([done] {
        if (WaitForSingleObject(done, 10000) == WAIT_TIMEOUT)
            if (HWND box = FindWindowA(nullptr, kTitle)) PostMessageA(box, WM_CLOSE, 0, 0);
    });
    MessageBoxA(nullptr, "ticks", kTitle, MB_OK);
    SetEvent(done);
    backstop.join();
    CloseHandle(done);
    EXPECT_GE(inside.ticks, 5);
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
// the others go on ticking.
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
