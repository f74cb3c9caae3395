// Test support: the popup menus of this process, and a driver that works an
// open menu from a thread of its own while the test's thread sits in the
// menu's loop.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velmora::testing {

// The visible popup menus of this process, top-most sub-menu last.
inline BOOL CALLBACK collectMenu(HWND hwnd, LPARAM found) {
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    auto* menus = reinterpret_cast<std::vector<HWND>*>(found);
    // Windows come top-most first: the newest sub-menu goes last.
    if (std::string(cls) == "#32768" && pid == GetCurrentProcessId() && IsWindowVisible(hwnd))
        menus->insert(menus->begin(), hwnd);
    return TRUE;
}
inline std::vector<HWND> menuWindows() {
    std::vector<HWND> found;
    EnumWindows(&collectMenu, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Works an open menu from a thread of its own while the test's thread sits
// in the menu's loop: waits for `count` menus, then runs `step` on the top one.
class MenuDriver {
public:
    using Step = std::function<void(HWND menu)>;
    explicit MenuDriver(std::vector<std::pair<size_t, Step>> steps)
        : thread_([this, steps = std::move(steps)] {
              for (const auto& [count, step] : steps) {
                  HWND top = waitMenus(count);
                  if (!top) return;
                  seen_ = true;
                  step(top);
              }
          }) {}
    ~MenuDriver() {
        stop_ = true;
        thread_.join();
    }
    bool seen() const { return seen_; }
    // The visible popup window drawing `menu`: the z-order alone does not say
    // which popup is the newest sub-menu.
    static HWND showing(HMENU menu) {
        for (int i = 0; i < 1000; ++i, Sleep(10))
            for (HWND window : menuWindows()) {
                DWORD_PTR shown = 0;
                if (SendMessageTimeoutA(window, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 1000, &shown) &&
                    reinterpret_cast<HMENU>(shown) == menu)
                    return window;
            }
        return nullptr;
    }
    static void key(HWND menu, WPARAM vk) {
        PostMessageA(menu, WM_KEYDOWN, vk, 0);
        PostMessageA(menu, WM_KEYUP, vk, 0xC0000000);
    }

private:
    HWND waitMenus(size_t count) {
        for (int i = 0; i < 1000 && !stop_; ++i) {
            const auto menus = menuWindows();
            if (menus.size() >= count) return menus.back();
            Sleep(10);
        }
        return nullptr;
    }
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
    std::thread thread_;
};

}  // namespace velmora::testing
