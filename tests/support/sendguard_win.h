// Test support: the datagrams the send guard ("sendguard.dll", a stand-in for
// wsock32.dll) saw, which of them it let go (loopback only), and how a test
// reads them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct GuardedSend {
    unsigned long address;  // host byte order
    unsigned short port;
    int broadcast;  // SO_BROADCAST at the time of the send: 1, 0, or -1 when unreadable
    int bytes;
    int passed;  // 1: sent to loopback; 0: held back
};

namespace velmora::testing {

// Every datagram the guard loaded as `dll` saw, in order.
inline std::vector<GuardedSend> guardedSends(const char* dll) {
    std::vector<GuardedSend> out;
    const HMODULE module = GetModuleHandleA(dll);
    if (!module) return out;
    using Count = int(__cdecl*)();
    using Record = int(__cdecl*)(int, GuardedSend*);
    auto count = reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(module, "sendguard_count")));
    auto record = reinterpret_cast<Record>(reinterpret_cast<void*>(GetProcAddress(module, "sendguard_record")));
    if (!count || !record) return out;
    for (int i = 0, n = count(); i < n; ++i) {
        GuardedSend r{};
        if (record(i, &r)) out.push_back(r);
    }
    return out;
}

}  // namespace velmora::testing
