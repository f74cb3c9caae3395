// TTickTimer: a tick source whose ticks run on the user-interface thread.
//
// Every timer of the process shares one hidden window and its one window
// timer, set to the earliest timer's due time: a tick is that window's
// WM_TIMER, so it comes between the thread's other messages and inside every
// modal loop (menus, message boxes, a window being moved), and each timer's
// next tick is due one Interval after its tick returned. Ticks that nearly
// coincide come in one round (one a few ms early), and a timer that starts
// while another runs falls into its beat, so the query window's hand and the
// tray icon's frames wake the program once. No timer has a thread of its own.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>

namespace velmora {

class TTickTimer {
public:
    TTickTimer();
    TTickTimer(const TTickTimer&) = delete;
    TTickTimer& operator=(const TTickTimer&) = delete;
    // Never raises: a window timer that cannot be changed on the way out is
    // left to go off, and its round finds nothing of this timer.
    virtual ~TTickTimer();

    bool Enabled() const { return enabled_; }
    // Enabling, a new interval or a new handler raises "Not enough timers
    // available" when the system gives the tick window no timer; disabling
    // never raises.
    void SetEnabled(bool value);
    UINT Interval() const { return interval_; }
    void SetInterval(UINT value);
    // The tick handler; setting it (or clearing it) restarts the wait.
    void SetOnTimer(std::function<void()> handler);
    bool HasOnTimer() const { return static_cast<bool>(onTimer_); }

protected:
    virtual void Timer();

private:
    friend class TickScheduler;
    void changed();
    void tick();

    std::function<void()> onTimer_;
    bool enabled_ = true;
    UINT interval_ = 1000;
    std::uint64_t id_ = 0;
};

}  // namespace velmora
