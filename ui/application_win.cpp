#include "ui/application_win.h"

#include "base/error.h"
#include "ui/clock_win.h"
#include "ui/form_win.h"

namespace velmora {

Application* Application::current_ = nullptr;

namespace {
constexpr char kApplicationClass[] = "TApplication";
// The window timer that wakes the loop when the idle handler asked to be.
constexpr UINT_PTR kWakeUpTimer = 1;
}

Application::Application() {
    if (current_) throw Error("one application per process");
    registerClass(kApplicationClass);
    // A hidden top-level window, never shown: it receives the application-wide
    // messages. (A message-only window would not see broadcasts.)
    createWindow(kApplicationClass, title_.c_str(), WS_POPUP, 0, 0, 0, 0, 0, nullptr);
    current_ = this;
}

Application::~Application() {
    destroyWindow();
    current_ = nullptr;
}

int Application::addHook(Hook hook) {
    const int id = nextHook_++;
    hooks_.emplace(id, std::move(hook));
    return id;
}

void Application::removeHook(int id) { hooks_.erase(id); }

void Application::activationChanged(bool active) {
    PostMessageA(handle(), active ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0);
}

LRESULT Application::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == CM_ACTIVATE) active_ = true;
    if (message == CM_DEACTIVATE) active_ = false;
    if (message == WM_TIMER && wParam == kWakeUpTimer) {
        KillTimer(handle(), kWakeUpTimer);
        wakeUp_.wentOff();
    }
    // A hook may remove itself or others while it runs: walk a copy.
    const auto hooks = hooks_;
    for (const auto& [id, hook] : hooks) hook(message, wParam, lParam);
    if (message == CM_ACTIVATE || message == CM_DEACTIVATE) return 0;
    return defaultHandling(message, wParam, lParam);
}

bool Application::processMessage() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    dispatch(msg);
    return true;
}

void Application::dispatch(MSG& msg) {
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return;
    }
    if (Form::dialogMessage(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void Application::processMessages() {
    while (processMessage()) {
    }
}

void Application::idle() {
    bool done = true;
    wakeWithin_ = INFINITE;
    if (onIdle_) {
        try {
            // Copy: the handler may replace or clear the slot while it runs.
            const IdleHandler handler = onIdle_;
            handler(done);
        } catch (...) {
            reportCurrentError();
        }
    }
    if (!done || terminated_) return;
    sleep();
}

// Sleeps in GetMessage and handles the message that ends the sleep. That
// costs less than a wait for the queue's state, which under Wine changes the
// queue's wake mask, one more request to the wineserver, at every sleep: a
// query window waiting out its time-out sleeps between every two frames of
// its animation.
void Application::sleep() {
    const auto within = wakeWithin_ == INFINITE ? std::nullopt : std::optional<std::uint32_t>(wakeWithin_);
    switch (wakeUp_.plan(static_cast<std::uint32_t>(clockMicroseconds() / 1000), within)) {
    case WakeUp::Action::Set:
        if (SetTimer(handle(), kWakeUpTimer, wakeWithin_, nullptr)) break;
        // No timer to wake the loop: it waits with a time-out instead.
        wakeUp_.wentOff();
        [[fallthrough]];
    case WakeUp::Action::TimedWait:
        MsgWaitForMultipleObjectsEx(0, nullptr, wakeWithin_, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        return;
    case WakeUp::Action::Kill:
        KillTimer(handle(), kWakeUpTimer);
        break;
    case WakeUp::Action::Keep:
        break;
    }
    MSG msg;
    // GetMessage fails only for a window handle it cannot use; it is given none.
    if (GetMessageA(&msg, nullptr, 0, 0) == -1) return;
    dispatch(msg);
}

void Application::handleNextMessage() {
    if (!processMessage()) idle();
}

void Application::run() {
    while (!terminated_) handleNextMessage();
}

void Application::showMessage(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), title_.c_str(), MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

void Application::reportError(const std::exception& error) {
    const char* title = current_ ? current_->title_.c_str() : "Velmora";
    MessageBoxA(nullptr, error.what(), title, MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

void Application::reportCurrentError() noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        reportError(e);
    } catch (...) {
        reportError(Error("Unknown error"));
    }
}

}  // namespace velmora
