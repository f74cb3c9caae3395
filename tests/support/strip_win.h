// Test support: what a frame of a strip looks like once drawn transparently
// over a background, compared pixel by pixel with a captured window.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/screenshot_win.h"

namespace velmora::testing {

// The strip's pixels, top row first.
struct StripPixels {
    int width = 0, height = 0;
    std::vector<COLORREF> rgb;
    COLORREF at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

inline StripPixels readStrip(HBITMAP strip) {
    StripPixels s;
    BITMAP info{};
    GetObjectA(strip, sizeof info, &info);
    s.width = info.bmWidth;
    s.height = info.bmHeight;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = s.width;
    bi.bmiHeader.biHeight = -s.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> bits(static_cast<size_t>(s.width) * s.height);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, strip, 0, static_cast<UINT>(s.height), bits.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    for (DWORD p : bits) s.rgb.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    return s;
}

// Checks the control's rectangle (`left`, `top`, `w` x `h` in a capture
// `captureWidth` wide): frame `frame` of a horizontal strip of `frameWidth`
// wide frames at offset (`dx`, `dy`) in the control, its `transparent`
// pixels and everything around it showing `background`. Returns the number
// of wrong pixels (the first few are reported).
inline int frameMismatches(const std::vector<Bgr>& pixels, int captureWidth, int left, int top, int w, int h,
                           const StripPixels& strip, int frame, int frameWidth, int dx, int dy,
                           COLORREF transparent, COLORREF background) {
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF expected = background;
            const int fx = x - dx, fy = y - dy;
            if (fx >= 0 && fx < frameWidth && fy >= 0 && fy < strip.height) {
                const COLORREF s = strip.at(frame * frameWidth + fx, fy);
                if (s != transparent) expected = s;
            }
            const Bgr& p = pixels[static_cast<size_t>(top + y) * captureWidth + left + x];
            const COLORREF got = RGB(p.r, p.g, p.b);
            if (got != expected && ++wrong <= 3)
                ADD_FAILURE() << "frame " << frame << " pixel (" << x << "," << y << ") is " << std::hex << got
                              << ", expected " << expected;
        }
    return wrong;
}

}  // namespace velmora::testing
