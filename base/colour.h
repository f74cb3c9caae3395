// The one colour value of the program: 0x00BBGGRR for an RGB colour, or
// 0x80000000 | index for a system colour. The markup engine, the window
// framework and the GDI surface all use it.
#pragma once
#include <cstdint>

namespace velmora {

using Colour = std::uint32_t;
constexpr Colour kSystemColourFlag = 0x80000000u;
constexpr bool isSystemColour(Colour c) { return (c & kSystemColourFlag) != 0; }

}  // namespace velmora
