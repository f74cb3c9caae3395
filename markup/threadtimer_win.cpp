#include "markup/threadtimer_win.h"

#include <map>

#include "markup/tickschedule.h"
#include "ui/clock_win.h"
#include "ui/win32error_win.h"
#include "ui/window_win.h"

namespace velmora {

namespace {
constexpr char kTickWindowClass[] = "TThreadTimerWindow";
constexpr UINT WM_THREADTICK = WM_USER + 1;

std::uint64_t clockMs() { return static_cast<std::uint64_t>(clockMicroseconds() / 1000); }
}  // namespace

// The one tick thread and the hidden window its ticks arrive at, made with
// the first timer and kept for the rest of the run: a query window opened
// later finds them ready, and while no timer may tick the thread only waits.
// The timers it knows are touched on the user-interface thread only, the
// timetable under the lock by both threads.
class TickScheduler : private Window {
public:
    static TickScheduler* current;

    static std::uint64_t add(TThreadTimer* timer) {
        if (!current) current = new TickScheduler;
        return current->insert(timer);
    }
    static void remove(std::uint64_t id) {
        if (current) current->erase(id);
    }
    void update(std::uint64_t id, bool runnable, UINT interval) {
        EnterCriticalSection(&lock_);
        schedule_.set(id, runnable, interval, clockMs());
        LeaveCriticalSection(&lock_);
        SetEvent(wake_);
    }
    DWORD threadId() const { return threadId_; }

private:
    TickScheduler() {
        InitializeCriticalSection(&lock_);
        registerClass(kTickWindowClass);
        createWindow(kTickWindowClass, "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
        wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (!wake_) raiseLastWin32Error();
        // The thread comes last: nothing may fail once it runs. A small stack:
        // it only waits and sends.
        thread_ = CreateThread(nullptr, 64 * 1024, &TickScheduler::worker, this, STACK_SIZE_PARAM_IS_A_RESERVATION,
                               &threadId_);
        if (!thread_) {
            const DWORD error = GetLastError();
            CloseHandle(wake_);  // the window goes with the base class
            DeleteCriticalSection(&lock_);
            SetLastError(error);
            raiseLastWin32Error();
        }
    }
    std::uint64_t insert(TThreadTimer* timer) {
        const std::uint64_t id = nextId_++;
        timers_[id] = timer;
        update(id, false, 0);
        return id;
    }
    void erase(std::uint64_t id) {
        timers_.erase(id);
        EnterCriticalSection(&lock_);
        schedule_.remove(id);
        LeaveCriticalSection(&lock_);
        SetEvent(wake_);
    }

    static DWORD WINAPI worker(LPVOID self) {
        static_cast<TickScheduler*>(self)->run();
        return 0;
    }
    void run() {
        for (;;) {
            EnterCriticalSection(&lock_);
            const auto wait = schedule_.wait(clockMs());
            LeaveCriticalSection(&lock_);
            const DWORD ms = !wait ? INFINITE : *wait >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(*wait);
            // A change of any timer wakes the thread and starts the wait over.
            if (ms != 0 && WaitForSingleObject(wake_, ms) != WAIT_TIMEOUT) continue;
            EnterCriticalSection(&lock_);
            const auto due = schedule_.due(clockMs());
            LeaveCriticalSection(&lock_);
            for (const std::uint64_t id : due) {
                SendMessageA(handle(), WM_THREADTICK, static_cast<WPARAM>(id), 0);
                // The next tick is one interval after this one was handled.
                EnterCriticalSection(&lock_);
                schedule_.ticked(id, clockMs());
                LeaveCriticalSection(&lock_);
            }
        }
    }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_THREADTICK) return defaultHandling(message, wParam, lParam);
        // A timer that went while the tick was on its way is not ticked.
        const auto found = timers_.find(static_cast<std::uint64_t>(wParam));
        if (found == timers_.end()) return 0;
        found->second->tick();
        return 0;
    }

    std::map<std::uint64_t, TThreadTimer*> timers_;
    std::uint64_t nextId_ = 1;
    CRITICAL_SECTION lock_;
    TickSchedule schedule_;
    HANDLE wake_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

TickScheduler* TickScheduler::current = nullptr;

TThreadTimer::TThreadTimer() { id_ = TickScheduler::add(this); }

TThreadTimer::~TThreadTimer() {
    enabled_ = false;
    onTimer_ = nullptr;
    TickScheduler::remove(id_);
}

DWORD TThreadTimer::tickThreadId() { return TickScheduler::current ? TickScheduler::current->threadId() : 0; }

void TThreadTimer::changed() {
    if (TickScheduler::current) TickScheduler::current->update(id_, enabled_ && onTimer_, interval_);
}

void TThreadTimer::SetEnabled(bool value) {
    enabled_ = value;
    changed();
}
void TThreadTimer::SetInterval(UINT value) {
    interval_ = value;
    changed();
}
void TThreadTimer::SetOnTimer(std::function<void()> handler) {
    onTimer_ = std::move(handler);
    changed();
}

void TThreadTimer::tick() {
    if (enabled_ && onTimer_) Timer();
}

void TThreadTimer::Timer() {
    // A copy: the handler may replace itself.
    const auto handler = onTimer_;
    if (handler) handler();
}

}  // namespace velmora
