#include "markup/threadtimer_win.h"

#include <algorithm>
#include <map>

#include "markup/tickschedule.h"
#include "ui/clock_win.h"
#include "ui/win32error_win.h"
#include "ui/window_win.h"

namespace velmora {

namespace {
constexpr char kTickWindowClass[] = "TThreadTimerWindow";
constexpr UINT_PTR kTickTimer = 1;
// A timer due before the window timer could go off again ticks in this
// round, with the others: ticks that nearly coincide (the hand's and the tray
// icon's) wake the program once, not twice 10 ms apart.
constexpr std::uint32_t kGatherMs = USER_TIMER_MINIMUM;

std::uint64_t clockMs() { return static_cast<std::uint64_t>(clockMicroseconds() / 1000); }
}  // namespace

// The hidden window every timer's ticks arrive at, made with the first timer
// and kept for the rest of the run. Its one window timer is set to go off
// when the earliest timer is due, and is off while no timer may tick.
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
        schedule_.set(id, runnable, interval, clockMs());
        rearm();
    }

private:
    TickScheduler() {
        registerClass(kTickWindowClass);
        createWindow(kTickWindowClass, "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
    }
    std::uint64_t insert(TThreadTimer* timer) {
        const std::uint64_t id = nextId_++;
        timers_[id] = timer;
        update(id, false, 0);
        return id;
    }
    void erase(std::uint64_t id) {
        timers_.erase(id);
        schedule_.remove(id);
        rearm();
    }

    void rearm() {
        if (ticking_) return;  // the round of ticks sets it when it ends
        const std::uint64_t now = clockMs();
        const auto wait = schedule_.wait(now);
        if (!wait) {
            KillTimer(handle(), kTickTimer);
            armed_ = 0;
            return;
        }
        // The window timer goes off every `armed_` ms from when it last did:
        // when its next time falls in the gathering window before the
        // earliest due tick, that round ticks it, and the timer stays as it
        // is. A steady animation sets it once instead of at every tick.
        if (armed_ && TickSchedule::wakeServes(lastGoneOff_ + armed_, now + *wait, kGatherMs)) return;
        // The system's window timers go off 10 ms after being set at the soonest.
        const UINT ms = static_cast<UINT>(std::clamp<std::uint64_t>(*wait, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
        if (!SetTimer(handle(), kTickTimer, ms, nullptr)) raiseLastWin32Error();
        armed_ = ms;
        lastGoneOff_ = now;
    }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_TIMER || wParam != kTickTimer) return defaultHandling(message, wParam, lParam);
        // A handler that runs a modal loop (a message box) holds the others
        // until it returns, and is not ticked again meanwhile.
        if (ticking_) return 0;
        lastGoneOff_ = clockMs();
        ticking_ = true;
        try {
            for (const std::uint64_t id : schedule_.due(clockMs(), kGatherMs)) {
                // A timer that went during an earlier tick of this round is not ticked.
                const auto found = timers_.find(id);
                if (found == timers_.end()) continue;
                found->second->tick();
                // The next tick is one interval after this one was handled.
                schedule_.ticked(id, clockMs());
            }
        } catch (...) {
            ticking_ = false;
            rearm();
            throw;
        }
        ticking_ = false;
        rearm();
        return 0;
    }

    std::map<std::uint64_t, TThreadTimer*> timers_;
    std::uint64_t nextId_ = 1;
    TickSchedule schedule_;
    bool ticking_ = false;
    UINT armed_ = 0;                  // the window timer's interval, 0 while it is off
    std::uint64_t lastGoneOff_ = 0;   // when it was set or last went off
};

TickScheduler* TickScheduler::current = nullptr;

TThreadTimer::TThreadTimer() { id_ = TickScheduler::add(this); }

TThreadTimer::~TThreadTimer() {
    enabled_ = false;
    onTimer_ = nullptr;
    TickScheduler::remove(id_);
}

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
