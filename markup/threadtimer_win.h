// TThreadTimer: a tick source whose ticks run on the thread that made the
// timer (the user-interface thread), handed over while the tick thread waits.
//
// Every timer of the process shares one tick thread and one hidden window:
// the thread sleeps until the earliest timer is due, hands that tick over,
// and schedules the timer's next one Interval after the hand-over returned.
// So each query window's hand costs no thread of its own; the thread is made
// with the first timer and stays for the rest of the run.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>

namespace velmora {

class TThreadTimer {
public:
    TThreadTimer();
    TThreadTimer(const TThreadTimer&) = delete;
    TThreadTimer& operator=(const TThreadTimer&) = delete;
    virtual ~TThreadTimer();

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    UINT Interval() const { return interval_; }
    void SetInterval(UINT value);
    // The tick handler; setting it (or clearing it) restarts the wait.
    void SetOnTimer(std::function<void()> handler);
    bool HasOnTimer() const { return static_cast<bool>(onTimer_); }

    // The shared tick thread's id once a timer has been made, otherwise 0.
    static DWORD tickThreadId();

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
