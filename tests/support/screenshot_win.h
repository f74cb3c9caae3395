// Test support: a picture of a window's client area, written as a 24-bit BMP,
// and its comparison with a committed reference picture.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace velmora::testing {

struct Bgr {
    BYTE b, g, r;
};
inline bool operator==(const Bgr& a, const Bgr& b) { return a.b == b.b && a.g == b.g && a.r == b.r; }

// A 24-bit BMP of `pixels` (rows top-down, `width` wide), as the golden files are.
inline void writeBitmap(const std::string& path, const std::vector<Bgr>& pixels, int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // bottom-up on disk
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * height);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(&file, sizeof file, 1, f);
    std::fwrite(&header, sizeof header, 1, f);
    std::vector<BYTE> row(static_cast<size_t>(stride), 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const Bgr& p = pixels[static_cast<size_t>(y) * width + x];
            row[static_cast<size_t>(x) * 3] = p.b;
            row[static_cast<size_t>(x) * 3 + 1] = p.g;
            row[static_cast<size_t>(x) * 3 + 2] = p.r;
        }
        std::fwrite(row.data(), row.size(), 1, f);
    }
    std::fclose(f);
}

// Copies the window's client area from the screen (the window may belong to
// another process of the desktop) and, unless `path` is empty, writes it there.
inline std::vector<Bgr> capture(HWND window, int width, int height, const std::string& path) {
    std::vector<Bgr> pixels(static_cast<size_t>(width) * height);
    if (width <= 0 || height <= 0) return pixels;
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
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const BYTE* p = static_cast<const BYTE*>(bits) + y * stride + x * 3;
            pixels[static_cast<size_t>(y) * width + x] = {p[0], p[1], p[2]};
        }
    SelectObject(memory, previous);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(window, source);
    if (!path.empty()) writeBitmap(path, pixels, width, height);
    return pixels;
}

// The window's picture once its painting is over: two pictures 50 ms apart
// agree, and `ready` holds for them when given (at most about ten seconds).
inline std::vector<Bgr> settledCapture(HWND window, int width, int height,
                                       const std::function<bool(const std::vector<Bgr>&)>& ready = nullptr) {
    std::vector<Bgr> picture;
    for (int i = 0; i < 100; ++i) {
        picture = capture(window, width, height, "");
        Sleep(50);
        if (capture(window, width, height, "") == picture && (!ready || ready(picture))) break;
    }
    return picture;
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

// A 24-bit BMP as writeBitmap writes it; false for anything else.
inline bool readBitmap(const std::string& data, std::vector<Bgr>& pixels, int& width, int& height) {
    if (data.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return false;
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER header;
    std::memcpy(&file, data.data(), sizeof file);
    std::memcpy(&header, data.data() + sizeof file, sizeof header);
    if (file.bfType != 0x4D42 || header.biBitCount != 24 || header.biCompression != BI_RGB) return false;
    width = header.biWidth;
    const bool bottomUp = header.biHeight > 0;
    height = bottomUp ? header.biHeight : -header.biHeight;
    const int stride = (width * 3 + 3) & ~3;
    if (width <= 0 || data.size() < file.bfOffBits + static_cast<size_t>(stride) * height) return false;
    pixels.assign(static_cast<size_t>(width) * height, {});
    for (int y = 0; y < height; ++y) {
        const BYTE* row = reinterpret_cast<const BYTE*>(data.data()) + file.bfOffBits +
                          static_cast<size_t>(stride) * (bottomUp ? height - 1 - y : y);
        for (int x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * width + x] = {row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
    }
    return true;
}

// The difference of two pictures of one size: pixels that agree show as a
// faint grey copy of the reference, pixels that differ in pure red.
inline std::vector<Bgr> differenceImage(const std::vector<Bgr>& expected, const std::vector<Bgr>& actual) {
    std::vector<Bgr> out(expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Bgr& e = expected[i];
        const Bgr& a = actual[i];
        if (e.b == a.b && e.g == a.g && e.r == a.r) {
            const BYTE grey = static_cast<BYTE>(192 + (e.r + e.g + e.b) / 12);  // 192..255
            out[i] = {grey, grey, grey};
        } else {
            out[i] = {0, 0, 255};
        }
    }
    return out;
}

// The screenshot must match the committed picture byte for byte: fonts are
// pinned, so any difference is a change in what people see. On a mismatch the
// new picture is kept beside the shot as -FAILED.bmp and, when both are
// pictures of one size, their difference as -DIFF.bmp (differing pixels in
// red); VELMORA_UPDATE_GOLDEN=1 writes the shot as the new reference instead.
// `tolerated` pixels may differ where a picture is known to vary by a pixel
// or two between the 32- and 64-bit builds.
inline void expectGolden(const std::string& shot, const std::string& golden, int tolerated = 0) {
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
    std::vector<Bgr> want, got;
    int ew = 0, eh = 0, aw = 0, ah = 0;
    std::string difference = "no difference image: the golden is missing or of another size";
    if (readBitmap(expected, want, ew, eh) && readBitmap(actual, got, aw, ah) && ew == aw && eh == ah) {
        std::string path = shot;
        path.insert(path.size() - 4, "-DIFF");
        const std::vector<Bgr> diff = differenceImage(want, got);
        writeBitmap(path, diff, ew, eh);
        int changed = 0;
        for (const Bgr& p : diff) changed += p.r == 255 && p.g == 0;
        if (changed <= tolerated) return;
        difference = std::to_string(changed) + " pixels differ, in red in " + path;
    }
    ADD_FAILURE() << "the screenshot differs from " << golden << "; see " << failed << " (" << difference << ")";
}

inline int countColour(const std::vector<Bgr>& pixels, COLORREF c) {
    int n = 0;
    for (const Bgr& p : pixels) n += (p.r == GetRValue(c) && p.g == GetGValue(c) && p.b == GetBValue(c));
    return n;
}

}  // namespace velmora::testing
