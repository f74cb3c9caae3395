// Test support: a picture of a window's client area, written as a 24-bit BMP,
// and its comparison with a committed reference picture.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velmora::testing {

struct Bgr {
    BYTE b, g, r;
};

// Copies the window's client area from the screen and writes it to `path`.
inline std::vector<Bgr> capture(HWND window, int width, int height, const std::string& path) {
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    const int stride = (width * 3 + 3) & ~3;
    std::vector<Bgr> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const BYTE* p = static_cast<const BYTE*>(bits) + y * stride + x * 3;
            pixels[static_cast<size_t>(y) * width + x] = {p[0], p[1], p[2]};
        }
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * height);
        BITMAPINFOHEADER header = info.bmiHeader;
        header.biHeight = height;  // bottom-up on disk
        std::fwrite(&file, sizeof file, 1, f);
        std::fwrite(&header, sizeof header, 1, f);
        for (int y = height - 1; y >= 0; --y) std::fwrite(static_cast<const BYTE*>(bits) + y * stride, stride, 1, f);
        std::fclose(f);
    }
    SelectObject(memory, previous);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return pixels;
}

inline std::vector<Bgr> captureClient(HWND window, const std::string& path) {
    RECT r{};
    GetClientRect(window, &r);
    return capture(window, r.right, r.bottom, path);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The screenshot must match the committed picture byte for byte: fonts are
// pinned, so any difference is a change in what people see. On a mismatch the
// new picture is kept beside the shot as -FAILED.bmp; VELMORA_UPDATE_GOLDEN=1
// writes it as the new reference instead.
inline void expectGolden(const std::string& shot, const std::string& golden) {
    const std::string actual = readFile(shot);
    ASSERT_FALSE(actual.empty()) << "no screenshot at " << shot;
    if (std::getenv("VELMORA_UPDATE_GOLDEN")) {
        std::ofstream(golden, std::ios::binary) << actual;
        return;
    }
    const std::string expected = readFile(golden);
    if (actual == expected) return;
    std::string failed = shot;
    failed.insert(failed.size() - 4, "-FAILED");
    std::ofstream(failed, std::ios::binary) << actual;
    ADD_FAILURE() << "the screenshot differs from " << golden << "; see " << failed;
}

inline int countColour(const std::vector<Bgr>& pixels, COLORREF c) {
    int n = 0;
    for (const Bgr& p : pixels) n += (p.r == GetRValue(c) && p.g == GetGValue(c) && p.b == GetBValue(c));
    return n;
}

}  // namespace velmora::testing
