// The message loop for the Wine tests: one application for the whole
// program, and a pump that runs it for a while or until something happened.
#pragma once
#include <windows.h>

#include <functional>

#include "ui/application_win.h"

namespace velmora::test {

inline Application& app() {
    static Application application;
    return application;
}

// Runs the application's loop (messages and idle steps) until `until` holds
// or `ms` have passed; true when `until` held.
inline bool pump(DWORD ms, const std::function<bool()>& until = nullptr) {
    Application& a = app();
    const DWORD start = GetTickCount();
    for (;;) {
        if (until && until()) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms) return false;
        if (a.hasOnIdle()) {
            a.handleNextMessage();
        } else {
            // Nothing idles: wait for a message, but never past the deadline.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
            a.processMessages();
        }
    }
}

// Runs the loop until everything posted to this thread before the call has
// been handled: a marker posted now comes after them. A test that asserts that
// something did not happen waits for this, not for a time.
inline bool drainPosted(DWORD ms = 10000) {
    static const UINT marker = RegisterWindowMessageA("velmora test marker");
    bool seen = false;
    if (!PostThreadMessageA(GetCurrentThreadId(), marker, 0, 0)) return false;
    const DWORD start = GetTickCount();
    while (!seen && GetTickCount() - start < ms) {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        if (msg.hwnd == nullptr && msg.message == marker) {
            seen = true;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return seen;
}

}  // namespace velmora::test
