#include "markup/ticktimer_win.h"

#include <algorithm>
#include <map>

#include "base/error.h"
#include "markup/tickschedule.h"
#include "ui/clock_win.h"
#include "ui/window_win.h"

namespace velmora {

namespace {
constexpr char kTickWindowClass[] = "TTickTimerWindow";
constexpr UINT_PTR kTickTimer = 1;
// A timer due before the window timer could go off again ticks in this
// round, with the others: ticks that nearly coincide (the hand's and the tray
// icon's) wake the program once, not twice 10 ms apart.
constexpr std::uint32_t kGatherMs = USER_TIMER_MINIMUM;
// The runtime's text for a window timer the system does not give.
constexpr char kNoTimers[] = "Not enough timers available";

std::uint64_t clockMs() { return static_cast<std::uint64_t>(clockMicroseconds() / 1000); }
}  // namespace

// The hidden window every timer's ticks arrive at, made with the first timer
// and kept for the rest of the run (made again should it go). Its one window
// timer is set to go off when the earliest timer is due, and is off while no
// timer may tick.
class TickScheduler : private Window {
public:
    static TickScheduler* current;

    static std::uint64_t add(TTickTimer* timer) {
        if (!current) current = new TickScheduler;
        return current->insert(timer);
    }
    // On every timer's way out: nothing here raises.
    static void remove(std::uint64_t id) noexcept {
        if (current) current->erase(id);
    }
    void update(std::uint64_t id, bool runnable, UINT interval) {
        schedule_.set(id, runnable, interval, clockMs());
        // A timer that stops needs no window timer: should the old one stay
        // set, it goes off once for nothing and its round sets it anew.
        if (!rearm() && runnable) throw Error(kNoTimers);
    }

private:
    TickScheduler() { makeWindow(); }
    std::uint64_t insert(TTickTimer* timer) {
        const std::uint64_t id = nextId_++;
        timers_[id] = timer;
        update(id, false, 0);
        return id;
    }
    void erase(std::uint64_t id) noexcept {
        timers_.erase(id);
        schedule_.remove(id);
        rearm();
    }

    void makeWindow() {
        // A window that went took its window timer with it.
        armed_ = 0;
        registerClass(kTickWindowClass);
        createWindow(kTickWindowClass, "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
    }
    // The tick window again after it was destroyed (by a DestroyWindow, or
    // with the thread that made it); false when it cannot be made.
    bool windowBack() noexcept {
        try {
            makeWindow();
            return true;
        } catch (...) {
            return false;
        }
    }
    bool setTimer(UINT ms) noexcept {
        if (SetTimer(handle(), kTickTimer, ms, nullptr)) return true;
        // A window destroyed behind its object's back leaves a stale handle.
        return !IsWindow(handle()) && windowBack() && SetTimer(handle(), kTickTimer, ms, nullptr);
    }

    // Sets the window timer for the earliest due tick, or kills it when no
    // timer may tick. False when a tick is due and the system gives no timer
    // for it; nothing here raises, so every way out of a timer can use it.
    bool rearm() noexcept {
        if (ticking_) return true;  // the round of ticks sets it when it ends
        const std::uint64_t now = clockMs();
        const auto wait = schedule_.wait(now);
        if (!wait) {
            // Failing to kill it is harmless: its round finds nothing due.
            if (handle()) KillTimer(handle(), kTickTimer);
            armed_ = 0;
            return true;
        }
        if (!handle() && !windowBack()) return false;
        // The window timer goes off every `armed_` ms from when it last did:
        // when its next time falls in the gathering window before the
        // earliest due tick, that round ticks it, and the timer stays as it
        // is. A steady animation sets it once instead of at every tick.
        if (armed_ && TickSchedule::wakeServes(lastGoneOff_ + armed_, now + *wait, kGatherMs)) return true;
        // The system's window timers go off 10 ms after being set at the soonest.
        const UINT ms = static_cast<UINT>(std::clamp<std::uint64_t>(*wait, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
        if (!setTimer(ms)) return false;
        armed_ = ms;
        lastGoneOff_ = now;
        return true;
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
        // Should the system refuse a new period, the old one stays set and
        // the timers tick at it: no report at every round.
        rearm();
        return 0;
    }

    std::map<std::uint64_t, TTickTimer*> timers_;
    std::uint64_t nextId_ = 1;
    TickSchedule schedule_;
    bool ticking_ = false;
    UINT armed_ = 0;                  // the window timer's interval, 0 while it is off
    std::uint64_t lastGoneOff_ = 0;   // when it was set or last went off
};

TickScheduler* TickScheduler::current = nullptr;

TTickTimer::TTickTimer() { id_ = TickScheduler::add(this); }

TTickTimer::~TTickTimer() {
    enabled_ = false;
    onTimer_ = nullptr;
    TickScheduler::remove(id_);
}

void TTickTimer::changed() {
    if (TickScheduler::current) TickScheduler::current->update(id_, enabled_ && onTimer_, interval_);
}

void TTickTimer::SetEnabled(bool value) {
    enabled_ = value;
    changed();
}
void TTickTimer::SetInterval(UINT value) {
    interval_ = value;
    changed();
}
void TTickTimer::SetOnTimer(std::function<void()> handler) {
    onTimer_ = std::move(handler);
    changed();
}

void TTickTimer::tick() {
    if (enabled_ && onTimer_) Timer();
}

void TTickTimer::Timer() {
    // A copy: the handler may replace itself.
    const auto handler = onTimer_;
    if (handler) handler();
}

}  // namespace velmora
