// A stand-in for "wsock32.dll" that the socket component loads in tests which
// must not reach the network. Every function but sendto forwards to the real
// library (see sendguard_win.def). sendto passes datagrams for 127.0.0.0/8 on;
// any other destination (the broadcast address above all) is recorded with
// the socket's SO_BROADCAST option as the library reports it, and reported as
// sent without leaving the machine.
#include <winsock2.h>
#include <windows.h>

#include <mutex>
#include <vector>

#include "tests/support/sendguard_win.h"

namespace {

std::mutex mutex;
std::vector<GuardedSend> records;

bool loopback(const sockaddr* to, int tolen) {
    if (!to || tolen < static_cast<int>(sizeof(sockaddr_in)) || to->sa_family != AF_INET) return false;
    const unsigned long host = ntohl(reinterpret_cast<const sockaddr_in*>(to)->sin_addr.s_addr);
    return (host >> 24) == 127;
}

}  // namespace

extern "C" int WSAAPI guardSendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen) {
    GuardedSend record{};
    if (to && tolen >= static_cast<int>(sizeof(sockaddr_in)) && to->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(to);
        record.address = ntohl(in->sin_addr.s_addr);
        record.port = ntohs(in->sin_port);
    }
    BOOL on = FALSE;
    int size = sizeof on;
    record.broadcast = getsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&on), &size) == 0
                           ? (on ? 1 : 0)
                           : -1;
    record.bytes = len;
    record.passed = loopback(to, tolen) ? 1 : 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        records.push_back(record);
    }
    return record.passed ? sendto(s, buf, len, flags, to, tolen) : len;
}

extern "C" __declspec(dllexport) int __cdecl sendguard_count() {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(records.size());
}

extern "C" __declspec(dllexport) int __cdecl sendguard_record(int index, GuardedSend* out) {
    std::lock_guard<std::mutex> lock(mutex);
    if (index < 0 || static_cast<size_t>(index) >= records.size()) return 0;
    *out = records[static_cast<size_t>(index)];
    return 1;
}
