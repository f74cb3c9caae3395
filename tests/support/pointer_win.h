// The real pointer, moved as a user's hand would move it, for tests that
// hover over this thread's windows.
//
// Two things make hovering tests flaky under Wine, and this helper removes
// both:
// - A window that appears under the pointer is told of the pointer where it
//   rests, and that report can arrive after the test's own first move: a
//   fresh session's pointer sits at the screen centre, where every centred
//   test window appears. `park` puts the pointer in a corner where no test
//   window ever is; call it before showing the window.
// - Moving the pointer reaches the window a while later, longer on a busy
//   machine. `moveTo` waits until the window has been told (its WM_MOUSEMOVE
//   for that point was handled), never for a fixed time.
#pragma once
#include <windows.h>

#include <functional>
#include <map>

namespace velmora::test {

class Pointer {
public:
    // Sees every message this thread takes from its queue.
    Pointer() {
        current_ = this;
        hook_ = SetWindowsHookExA(WH_GETMESSAGE, &Pointer::seen, nullptr, GetCurrentThreadId());
    }
    ~Pointer() {
        if (hook_) UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    Pointer(const Pointer&) = delete;
    Pointer& operator=(const Pointer&) = delete;

    bool hooked() const { return hook_ != nullptr; }

    // The top-left corner of the screen: test windows are centred and never
    // reach it.
    static void park() { SetCursorPos(0, 0); }

    // Tells `window` and its child windows that the pointer has left them, so
    // no control of a picture is drawn hot (a tab under the pointer lights
    // up) whatever a late report of an earlier pointer place said.
    static void leave(HWND window) {
        SendMessageA(window, WM_MOUSELEAVE, 0, 0);
        EnumChildWindows(window, &Pointer::leaveChild, 0);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }

    // Moves the pointer onto client point (x, y) of `hwnd` and pumps until
    // the window has handled a mouse move at that point; false when that has
    // not happened within `timeoutMs` (a broken test, not a slow machine).
    bool moveTo(HWND hwnd, int x, int y, const std::function<void()>& pump, DWORD timeoutMs = 10000) {
        return restUntil(hwnd, x, y, pump, [] { return true; }, timeoutMs);
    }

    // Keeps the pointer resting on client point (x, y) of `hwnd` until
    // `done` holds while the window's last mouse move is that point.
    // Under Wine a warp's echo from the X server can reach the window after
    // the next warp, telling it of the pointer's previous place; the pointer
    // is then moved back, so the window always ends up told of the rest.
    bool restUntil(HWND hwnd, int x, int y, const std::function<void()>& pump, const std::function<bool()>& done,
                   DWORD timeoutMs = 10000) {
        POINT screen{x, y};
        ClientToScreen(hwnd, &screen);
        const DWORD start = GetTickCount();
        DWORD lastTry = start;
        moves_.erase(hwnd);
        warpTo(screen, pump);
        for (;;) {
            pump();
            const auto it = moves_.find(hwnd);
            const bool told = it != moves_.end() && it->second.x == x && it->second.y == y;
            if (told && done()) return true;
            const DWORD now = GetTickCount();
            if (now - start > timeoutMs) {
                GetCursorPos(&now_);
                under_ = WindowFromPoint(now_);
                return false;
            }
            // Told of somewhere else, or of nothing for a long while: again.
            if ((it != moves_.end() && !told) || (!told && now - lastTry > 1000)) {
                lastTry = now;
                moves_.erase(hwnd);
                warpTo(screen, pump);
            }
            Sleep(1);
        }
    }

    // After a failed move: where the pointer was and the window under it.
    POINT failedAt() const { return now_; }
    HWND failedUnder() const { return under_; }

private:
    // A move onto the point where the pointer already is tells nobody: step
    // aside first.
    static void warpTo(POINT screen, const std::function<void()>& pump) {
        POINT now{};
        GetCursorPos(&now);
        if (now.x == screen.x && now.y == screen.y) {
            SetCursorPos(screen.x + 1, screen.y);
            pump();
        }
        SetCursorPos(screen.x, screen.y);
    }

    static BOOL CALLBACK leaveChild(HWND child, LPARAM) {
        // A move outside the control ends its hot item (a themed tab control
        // tracks the pointer whatever its style), then the pointer leaves.
        SendMessageA(child, WM_MOUSEMOVE, 0, MAKELPARAM(-1, -1));
        SendMessageA(child, WM_MOUSELEAVE, 0, 0);
        return TRUE;
    }

    static LRESULT CALLBACK seen(int code, WPARAM wParam, LPARAM lParam) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (code == HC_ACTION && wParam == PM_REMOVE && current_ && msg->message == WM_MOUSEMOVE)
            current_->moves_[msg->hwnd] = POINT{static_cast<short>(LOWORD(msg->lParam)),
                                                static_cast<short>(HIWORD(msg->lParam))};
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline Pointer* current_ = nullptr;
    HHOOK hook_ = nullptr;
    std::map<HWND, POINT> moves_;
    POINT now_{};
    HWND under_ = nullptr;
};

}  // namespace velmora::test
