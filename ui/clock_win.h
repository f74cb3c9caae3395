// The program's one clock: the performance counter, in microseconds for the
// ping and the animation's tick schedule (the multimedia clock is too coarse
// for both), and in milliseconds for the wake-up chain (the frame timer, the
// watcher's schedule), so every deadline is read off the same counter.
#pragma once
#include <windows.h>

#include <cstdint>

namespace velmora {

inline std::int64_t clockMicroseconds() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    // Whole seconds and the rest apart, so the product never overflows.
    return count.QuadPart / frequency * 1000000 + count.QuadPart % frequency * 1000000 / frequency;
}

// The same clock in whole milliseconds, on 32 bits: it wraps after 49.7 days,
// and every user compares times by their unsigned difference.
inline std::uint32_t clockMilliseconds() { return static_cast<std::uint32_t>(clockMicroseconds() / 1000); }

}  // namespace velmora
