#include "markup/threadtimer_win.h"

#include "ui/win32error_win.h"

namespace velmora {

namespace {
constexpr char kThreadTimerClass[] = "TThreadTimerWindow";
constexpr UINT WM_THREADTICK = WM_USER + 1;
}  // namespace

TThreadTimer::TThreadTimer() {
    InitializeCriticalSection(&lock_);
    // Nothing may fail once the thread runs: a constructor that raises has no
    // destructor to stop it.
    try {
        registerClass(kThreadTimerClass);
        createWindow(kThreadTimerClass, "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
        wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (!wake_) raiseLastWin32Error();
        thread_ = CreateThread(nullptr, 0, &TThreadTimer::worker, this, 0, nullptr);
        if (!thread_) raiseLastWin32Error();
    } catch (...) {
        if (wake_) CloseHandle(wake_);  // the window goes with the base class
        DeleteCriticalSection(&lock_);
        throw;
    }
}

TThreadTimer::~TThreadTimer() {
    enabled_ = false;
    onTimer_ = nullptr;
    EnterCriticalSection(&lock_);
    ending_ = true;
    runnable_ = false;
    LeaveCriticalSection(&lock_);
    SetEvent(wake_);
    // The worker may be inside its hand-over, waiting for this thread: keep
    // taking sent messages (the tick is then ignored) until it has ended.
    while (MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread_);
    CloseHandle(wake_);
    destroyWindow();
    DeleteCriticalSection(&lock_);
}

void TThreadTimer::changed() {
    EnterCriticalSection(&lock_);
    runnable_ = enabled_ && interval_ != 0 && onTimer_;
    sleep_ = interval_;
    LeaveCriticalSection(&lock_);
    SetEvent(wake_);
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

DWORD WINAPI TThreadTimer::worker(LPVOID param) {
    auto* self = static_cast<TThreadTimer*>(param);
    for (;;) {
        EnterCriticalSection(&self->lock_);
        const bool ending = self->ending_;
        const bool runnable = self->runnable_;
        const DWORD sleep = self->sleep_;
        LeaveCriticalSection(&self->lock_);
        if (ending) return 0;
        // A change of the settings wakes the worker and starts the wait over.
        if (WaitForSingleObject(self->wake_, runnable ? sleep : INFINITE) != WAIT_TIMEOUT) continue;
        EnterCriticalSection(&self->lock_);
        const bool still = self->runnable_ && !self->ending_;
        LeaveCriticalSection(&self->lock_);
        if (still) SendMessageA(self->handle(), WM_THREADTICK, 0, 0);
    }
}

LRESULT TThreadTimer::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_THREADTICK) {
        if (enabled_ && onTimer_) Timer();
        return 0;
    }
    return defaultHandling(message, wParam, lParam);
}

void TThreadTimer::Timer() {
    // A copy: the handler may replace itself.
    const auto handler = onTimer_;
    if (handler) handler();
}

}  // namespace velmora
