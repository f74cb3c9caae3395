#include "net/frametimer_win.h"

#include "base/error.h"
#include "ui/application_win.h"
#include "ui/clock_win.h"

namespace velmora::net {

namespace {

IdleGroup& attachedTimers() {
    static IdleGroup group;
    return group;
}

Application& application() {
    Application* app = Application::current();
    if (!app) throw Error("The frame timer needs the application");
    return *app;
}

// The one idle handler of all attached timers. A tick handler that raises is
// reported like any other error of the message loop; the others tick on.
void stepAttachedTimers(bool& done) {
    attachedTimers().step(done, [](const std::exception& e) { Application::reportError(e); });
}

}  // namespace

std::size_t attachedFrameTimers() { return attachedTimers().size(); }

TCustomFrameTimer::TCustomFrameTimer() {
    SetInterval(1000);
    hook_ = application().addHook([this](UINT message, WPARAM, LPARAM) { applicationMessage(message); });
}

TCustomFrameTimer::~TCustomFrameTimer() {
    Stop();
    if (Application* app = Application::current()) app->removeHook(hook_);
}

void TCustomFrameTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    if (loading_) return;
    if (value)
        Start();
    else
        Stop();
}

void TCustomFrameTimer::SetInterval(std::uint32_t value) {
    if (value == clock_.interval()) return;
    clock_.setInterval(value);
}

void TCustomFrameTimer::SetActiveOnly(bool value) {
    if (value == activeOnly_) return;
    activeOnly_ = value;
    // A running timer follows the new choice at once: it ticks now if it may
    // tick while the application is inactive or the application is active.
    if (!running_) return;
    const bool mayTick = !activeOnly_ || application().active();
    if (mayTick && !Attached())
        Attach();
    else if (!mayTick)
        Detach();
}

void TCustomFrameTimer::SleepFor(std::uint32_t ms) { clock_.sleepFor(ms, clockMilliseconds()); }

bool TCustomFrameTimer::Attached() const { return attachedTimers().contains(this); }

void TCustomFrameTimer::Loaded() {
    loading_ = false;
    if (enabled_) Start();
}

void TCustomFrameTimer::Start() {
    Stop();
    if (!activeOnly_ || application().active()) Attach();
    running_ = true;
}

void TCustomFrameTimer::Stop() {
    if (running_) Detach();
    running_ = false;
}

void TCustomFrameTimer::Attach() {
    clock_.restart(clockMilliseconds());
    attachedTimers().attach(this);
    // Attaching takes the slot, replacing whatever handler was there.
    application().setOnIdle(&stepAttachedTimers);
}

void TCustomFrameTimer::Detach() {
    if (attachedTimers().detach(this))
        if (Application* app = Application::current()) app->clearOnIdle();
}

void TCustomFrameTimer::idleStep(bool& done) {
    if (const auto lag = clock_.step(clockMilliseconds())) DoTimer(*lag);
    // A tick handler that stopped the timer may have left the loop nothing to
    // wake it: this step does not wait, so whoever pumps sees the change.
    if (!Attached() || clock_.interval() == 0) {
        done = false;
        return;
    }
    const std::uint32_t wait = clock_.untilWake(clockMilliseconds());
    if (wait == 0)
        done = false;
    else
        application().wakeWithin(wait);
}

void TCustomFrameTimer::applicationMessage(UINT message) {
    if (message == CM_ACTIVATE) {
        DoActivate();
        if (running_ && activeOnly_) Attach();
    } else if (message == CM_DEACTIVATE) {
        DoDeactivate();
        if (running_ && activeOnly_) Detach();
    }
}

void TCustomFrameTimer::DoActivate() {
    if (OnActivate) OnActivate(*this);
}
void TCustomFrameTimer::DoDeactivate() {
    if (OnDeactivate) OnDeactivate(*this);
}
void TCustomFrameTimer::DoTimer(int lagCount) {
    if (OnTimer) OnTimer(*this, lagCount);
}

}  // namespace velmora::net
