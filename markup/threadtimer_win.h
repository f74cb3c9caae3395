// TThreadTimer: a tick source whose worker thread only sleeps the interval;
// each tick is handed to the thread that made the timer (the user-interface
// thread) through a hidden window and runs there while the worker waits.
#pragma once
#include <windows.h>

#include <functional>

#include "ui/window_win.h"

namespace velmora {

class TThreadTimer : private Window {
public:
    TThreadTimer();
    ~TThreadTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    UINT Interval() const { return interval_; }
    void SetInterval(UINT value);
    // The tick handler; setting it (or clearing it) restarts the wait.
    void SetOnTimer(std::function<void()> handler);
    bool HasOnTimer() const { return static_cast<bool>(onTimer_); }

protected:
    virtual void Timer();
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static DWORD WINAPI worker(LPVOID self);
    void changed();

    std::function<void()> onTimer_;
    bool enabled_ = true;
    UINT interval_ = 1000;
    // Read by the worker under the lock: whether it may tick, and how often.
    CRITICAL_SECTION lock_;
    bool runnable_ = false;
    DWORD sleep_ = 1000;
    bool ending_ = false;
    HANDLE wake_ = nullptr;
    HANDLE thread_ = nullptr;
};

}  // namespace velmora
