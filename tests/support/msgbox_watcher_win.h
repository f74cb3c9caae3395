// Test support: answers the message boxes this process shows. A thread looks
// for them, records caption and text, and presses OK, so a test can run code
// that reports to the user and then check exactly what was reported.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::testing {

struct ShownMessage {
    std::string caption;
    std::string text;
};

class MessageBoxWatcher {
public:
    // Watches the boxes of `processId`: this process unless told otherwise.
    explicit MessageBoxWatcher(DWORD processId = GetCurrentProcessId())
        : processId_(processId), thread_([this] { watch(); }) {}
    ~MessageBoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<ShownMessage> messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : messages()) out.push_back(m.text);
        return out;
    }
    // Waits until at least `count` boxes were answered and are gone, at most
    // `ms`. Gone, not only answered: a message the test posts next must not
    // reach a box's own loop, which drops what is queued as it ends.
    bool waitFor(size_t count, DWORD ms = 10000) const {
        for (DWORD waited = 0; waited < ms; waited += 20) {
            if (closed_ >= count) return true;
            Sleep(20);
        }
        return closed_ >= count;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.clear();
        closed_ = 0;
    }

private:
    static BOOL CALLBACK visit(HWND hwnd, LPARAM self) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        char cls[32] = {};
        GetClassNameA(hwnd, cls, sizeof cls);
        auto* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
        if (pid == watcher->processId_ && std::string(cls) == "#32770" && IsWindowVisible(hwnd))
            watcher->answer(hwnd);
        return TRUE;
    }
    void answer(HWND box) {
        char caption[256] = {}, text[4096] = {};
        GetWindowTextA(box, caption, sizeof caption);
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // a message box's text is static 65535
        {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back({caption, text});
        }
        const HWND ok = GetDlgItem(box, IDOK);
        if (ok) SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
        else SendMessageA(box, WM_CLOSE, 0, 0);
        // Wait until it is destroyed, which the box's loop does once it has
        // ended, so it is not recorded twice.
        for (int i = 0; i < 2000 && IsWindow(box); ++i) Sleep(5);
        ++closed_;
    }
    void watch() {
        while (!stop_) {
            EnumWindows(&visit, reinterpret_cast<LPARAM>(this));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    const DWORD processId_;
    mutable std::mutex mutex_;
    std::vector<ShownMessage> messages_;
    std::atomic<size_t> closed_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace velmora::testing
