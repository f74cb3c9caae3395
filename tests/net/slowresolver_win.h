// A name resolver for the tests, in place of the socket library's (no test
// asks a name server): it knows the names it is told, and each lookup waits
// on a thread of its own until the test lets it answer, as a slow name server
// would. Like the library's, it writes the answer into the buffer and posts
// it even for a lookup that was cancelled.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/winsock_win.h"

namespace velmora::test {

class SlowResolver : public net::NameResolver {
public:
    // Put in place of the library's while it lives.
    SlowResolver() { net::setNameResolver(this); }
    ~SlowResolver() override {
        releaseAll();
        for (std::thread& t : threads_) t.join();
        net::setNameResolver(nullptr);
    }
    SlowResolver(const SlowResolver&) = delete;
    SlowResolver& operator=(const SlowResolver&) = delete;

    // `name` is found at `ip` (host order, 127.0.0.1 is 0x7F000001); any other name is not.
    void know(const std::string& name, std::uint32_t ip) { known_[name] = ip; }

    // Lets every lookup started so far, and every later one, answer.
    void releaseAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }

    // The names asked for, in order.
    std::vector<std::string> asked() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return asked_;
    }
    int cancelled() const { return cancelled_; }
    // Lookups that have posted their answer.
    int answered() const { return answered_; }

    HANDLE start(HWND window, UINT message, const char* host, char* buffer, int size, int& error) override {
        if (size < static_cast<int>(sizeof(Answer))) {
            error = WSAENOBUFS;
            return nullptr;
        }
        const HANDLE task = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(++tasks_));
        const auto found = known_.find(host);
        const bool known = found != known_.end();
        const std::uint32_t ip = known ? found->second : 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            asked_.push_back(host);
        }
        threads_.emplace_back([=, this] {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return released_; });
            }
            if (known) write(buffer, ip);
            ++answered_;
            PostMessageA(window, message, reinterpret_cast<WPARAM>(task),
                         WSAMAKEASYNCREPLY(0, known ? 0 : WSAHOST_NOT_FOUND));
        });
        return task;
    }
    void cancel(HANDLE) override { ++cancelled_; }

private:
    // A hostent with one IPv4 address, laid out in the buffer as the library does.
    struct Answer {
        hostent host;
        char* aliases[1];
        char* addresses[2];
        std::uint32_t address;
        char name[8];
    };
    static void write(char* buffer, std::uint32_t ip) {
        auto* a = reinterpret_cast<Answer*>(buffer);
        std::memset(a, 0, sizeof *a);
        std::strcpy(a->name, "slow");
        a->address = htonl(ip);
        a->aliases[0] = nullptr;
        a->addresses[0] = reinterpret_cast<char*>(&a->address);
        a->addresses[1] = nullptr;
        a->host.h_name = a->name;
        a->host.h_aliases = a->aliases;
        a->host.h_addrtype = AF_INET;
        a->host.h_length = 4;
        a->host.h_addr_list = a->addresses;
    }

    std::map<std::string, std::uint32_t> known_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
    std::vector<std::string> asked_;
    std::vector<std::thread> threads_;
    std::atomic<int> tasks_{0};
    std::atomic<int> cancelled_{0};
    std::atomic<int> answered_{0};
};

// Counts the ticks of a window timer on this thread: while they come, the
// thread is not blocked.
class TickingWindowTimer {
public:
    TickingWindowTimer() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VelmoraTestTicks";
        RegisterClassA(&wc);
        window_ = CreateWindowExA(0, "VelmoraTestTicks", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc));
        SetTimer(window_, 1, 20, nullptr);
    }
    ~TickingWindowTimer() {
        KillTimer(window_, 1);
        DestroyWindow(window_);
    }
    TickingWindowTimer(const TickingWindowTimer&) = delete;
    TickingWindowTimer& operator=(const TickingWindowTimer&) = delete;
    int ticks() const { return ticks_; }

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
        if (msg == WM_TIMER) {
            ++reinterpret_cast<TickingWindowTimer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))->ticks_;
            return 0;
        }
        return DefWindowProcA(hwnd, msg, w, l);
    }
    HWND window_ = nullptr;
    int ticks_ = 0;
};

}  // namespace velmora::test
