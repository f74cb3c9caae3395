// TFrameTimer: a timer driven by the application's idle processing instead
// of system timer messages. OnTimer fires whenever at least Interval ms have
// passed on the program's clock (clockMilliseconds, which the loop's wake-up
// reads too). Between ticks the loop waits for the next message or
// until the next tick is due, so a running timer does not keep a processor
// busy; with Interval 0 the loop never waits. An owner that draws nothing
// between ticks (the query window's ping reads the clock itself) tells the
// timer how long it may sleep, and the loop then wakes only for messages or
// at that time.
//
// Every enabled timer ticks: the attached timers share one idle handler in the
// application's single idle slot, so two query windows waiting at once each
// count their own ticks and keep their own time-out.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>

#include "net/frametimer.h"

namespace velmora::net {

class TCustomFrameTimer : private IdleStepper {
public:
    using TNotifyEvent = std::function<void(TCustomFrameTimer& sender)>;
    using TFrameTimerEvent = std::function<void(TCustomFrameTimer& sender, int lagCount)>;

    // Needs the application (its idle slot and its window's activation
    // messages). Created with ActiveOnly and Enabled true, Interval 1000,
    // MaxLag 10, and not running: only loading from a form starts it.
    TCustomFrameTimer();
    TCustomFrameTimer(const TCustomFrameTimer&) = delete;
    TCustomFrameTimer& operator=(const TCustomFrameTimer&) = delete;
    virtual ~TCustomFrameTimer();

    bool ActiveOnly() const { return activeOnly_; }
    // On a running timer the change applies at once: it attaches when it may
    // now tick, and detaches when it must wait for the next activation.
    void SetActiveOnly(bool value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    std::uint32_t Interval() const { return clock_.interval(); }
    void SetInterval(std::uint32_t value);
    int MaxLag() const { return clock_.maxLag(); }
    void SetMaxLag(int value) { clock_.setMaxLag(value); }
    // Ticks per second, worked out about once a second.
    int TickRate() const { return clock_.tickRate(); }
    bool Running() const { return running_; }
    // Until the next tick or for `ms`, whichever is later, the loop waits
    // for messages only; set again after each tick (a new start forgets it).
    void SleepFor(std::uint32_t ms);
    // Running and stepped by the idle handler (not waiting for activation).
    bool Attached() const;

    // A form that creates the timer brackets the setting of its stored
    // properties with these; Loaded starts the timer when it is enabled.
    void BeginLoading() { loading_ = true; }
    void Loaded();

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TFrameTimerEvent OnTimer;

protected:
    virtual void DoActivate();
    virtual void DoDeactivate();
    virtual void DoTimer(int lagCount);

private:
    void Start();
    void Stop();
    void Attach();
    void Detach();
    void idleStep(bool& done) override;
    void applicationMessage(UINT message);

    bool activeOnly_ = true;
    bool enabled_ = true;
    bool running_ = false;
    bool loading_ = false;
    FrameClock clock_;
    int hook_ = 0;
};

class TFrameTimer : public TCustomFrameTimer {
public:
    TFrameTimer() = default;
};

// How many frame timers are being stepped from the idle slot.
std::size_t attachedFrameTimers();

}  // namespace velmora::net
