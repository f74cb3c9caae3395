// The performance counter as a clock in microseconds, for the ping and the
// animation's tick schedule (the multimedia clock is too coarse for both).
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

}  // namespace velmora
