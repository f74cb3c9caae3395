// The shared tick source under Wine: no thread for any timer, ticks on the
// user-interface thread at each timer's own interval, inside modal loops too,
// no tick after a timer went, and no error on a timer's way out.
#include "markup/ticktimer_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
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

// The hidden window every timer's ticks come from.
HWND tickWindow() { return FindWindowExA(HWND_MESSAGE, nullptr, "TTickTimerWindow", nullptr); }

struct Counted {
    TTickTimer timer;
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
TEST(TickTimer, TimersTickOnThisThreadAndMakeNoThread) {
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
TEST(TickTimer, TicksGoOnInsideAModalLoop) {
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
TEST(TickTimer, EachTimerKeepsItsOwnInterval) {
    velmora::test::app();
    Counted fast(10), slow(400);
    ASSERT_TRUE(pump(10000, [&] { return slow.ticks >= 1; }));
    EXPECT_GE(fast.ticks, 5);
}

// A disabled timer, or one without a handler, does not tick while others do;
// enabling it again makes it tick.
TEST(TickTimer, DisabledTimersStayQuiet) {
    velmora::test::app();
    Counted off(10), on(10);
    TTickTimer bare;
    bare.SetInterval(10);  // enabled, but no handler
    off.timer.SetEnabled(false);
    ASSERT_TRUE(pump(10000, [&] { return on.ticks >= 5; }));
    EXPECT_EQ(off.ticks, 0);
    off.timer.SetEnabled(true);
    EXPECT_TRUE(pump(10000, [&] { return off.ticks >= 1; }));
}

// A timer destroyed by another timer's tick gets no tick after it went, not
// even in the round it was due in too (it falls into the killer's beat and
// comes after it there), and the others go on ticking. Its ticks are counted
// outside it, so a late tick shows even though the timer is gone.
TEST(TickTimer, ATimerThatGoesGetsNoLateTick) {
    velmora::test::app();
    int victimTicks = 0, victimTicksAtDeath = -1, witnessTicksAtDeath = -1;
    Counted killer(10), witness(10);
    auto victim = std::make_unique<TTickTimer>();
    victim->SetInterval(10);
    victim->SetOnTimer([&] { ++victimTicks; });
    victim->SetEnabled(true);
    killer.timer.SetOnTimer([&] {
        ++killer.ticks;
        if (victim && victimTicks >= 3) {
            victimTicksAtDeath = victimTicks;
            witnessTicksAtDeath = witness.ticks;
            victim.reset();
        }
    });
    ASSERT_TRUE(pump(10000, [&] { return !victim && witness.ticks >= witnessTicksAtDeath + 5; }));
    EXPECT_EQ(victimTicks, victimTicksAtDeath) << "ticked after it went";
}

// Should the tick window be destroyed, timers tick on from a window made
// again, and one that goes meanwhile leaves quietly.
TEST(TickTimer, TimersTickOnAfterTheTickWindowWent) {
    velmora::test::app();
    Counted witness(10);
    ASSERT_TRUE(pump(10000, [&] { return witness.ticks >= 2; }));
    const HWND gone = tickWindow();
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    { Counted brief(15); }
    const int before = witness.ticks;
    EXPECT_TRUE(pump(10000, [&] { return witness.ticks >= before + 3; }));
    EXPECT_NE(tickWindow(), nullptr);
}

// A timer's way out raises nothing, even when the system refuses the window
// timer its going needs: here the tick window was destroyed without its
// procedure hearing of it, which leaves its object a dead handle, so the fast
// timer's going asks a dead window for the slow one's period. The slow timer
// then ticks on from a window made again.
TEST(TickTimer, ATimerGoesQuietlyWhenItsWindowTimerIsRefused) {
    velmora::test::app();
    Counted slow(200);
    auto fast = std::make_unique<Counted>(10);
    ASSERT_TRUE(pump(10000, [&] { return fast->ticks >= 2; }));
    const HWND window = tickWindow();
    ASSERT_NE(window, nullptr);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
    ASSERT_TRUE(DestroyWindow(window));
    fast.reset();  // raising here would end the test program
    const int before = slow.ticks;
    EXPECT_TRUE(pump(10000, [&] { return slow.ticks >= before + 2; }));
    EXPECT_NE(tickWindow(), nullptr);
}

// A timer that the system gives no window timer says so with the runtime's
// text instead of standing still, and stopping it raises nothing: here the
// tick window went behind its object's back and a hook refuses a new one.
// Once windows can be made again, it ticks.
TEST(TickTimer, ATimerWithoutAWindowTimerSaysSo) {
    velmora::test::app();
    {
        Counted first(10);  // the tick window is there
        ASSERT_TRUE(pump(10000, [&] { return first.ticks >= 1; }));
    }
    const HWND window = tickWindow();
    ASSERT_NE(window, nullptr);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
    ASSERT_TRUE(DestroyWindow(window));
    TTickTimer refused;
    int ticks = 0;
    refused.SetEnabled(false);
    refused.SetInterval(10);
    refused.SetOnTimer([&] { ++ticks; });
    std::string raised;
    {
        struct NoNewWindows {
            static LRESULT CALLBACK refuse(int code, WPARAM wParam, LPARAM lParam) {
                return code == HCBT_CREATEWND ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
            }
            const HHOOK hook = SetWindowsHookExA(WH_CBT, &refuse, nullptr, GetCurrentThreadId());
            ~NoNewWindows() { UnhookWindowsHookEx(hook); }
        } noNewWindows;
        ASSERT_NE(noNewWindows.hook, nullptr);
        try {
            refused.SetEnabled(true);
        } catch (const std::exception& e) {
            raised = e.what();
        }
        refused.SetEnabled(false);
    }
    EXPECT_EQ(raised, "Not enough timers available");
    refused.SetEnabled(true);
    EXPECT_TRUE(pump(10000, [&] { return ticks >= 2; }));
}
