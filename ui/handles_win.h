// Scoped owners for the Win32 handles the program takes for one use. None is
// copyable; each releases its handle when it goes out of scope, so an early
// return or an error report never leaks one.
#pragma once
#include <windows.h>

#include <utility>

namespace velmora {

template <typename Handle, typename Traits>
class Scoped {
public:
    Scoped() = default;
    explicit Scoped(Handle handle) : handle_(handle) {}
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : handle_(std::exchange(other.handle_, Traits::none())) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, Traits::none()));
        return *this;
    }
    ~Scoped() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::none(); }
    Handle release() { return std::exchange(handle_, Traits::none()); }
    void reset(Handle handle = Traits::none()) {
        if (handle_ != Traits::none()) Traits::close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::none();
};

struct ModuleTraits {
    static HMODULE none() { return nullptr; }
    static void close(HMODULE h) { FreeLibrary(h); }
};
struct GdiTraits {
    static HGDIOBJ none() { return nullptr; }
    static void close(HGDIOBJ h) { DeleteObject(h); }
};
struct IconTraits {
    static HICON none() { return nullptr; }
    static void close(HICON h) { DestroyIcon(h); }
};
struct AtomTraits {
    static ATOM none() { return 0; }
    static void close(ATOM a) { GlobalDeleteAtom(a); }
};
struct KeyTraits {
    static HKEY none() { return nullptr; }
    static void close(HKEY h) { RegCloseKey(h); }
};

struct FileTraits {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct FindTraits {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};
struct MemoryDCTraits {
    static HDC none() { return nullptr; }
    static void close(HDC dc) { DeleteDC(dc); }
};

using ScopedModule = Scoped<HMODULE, ModuleTraits>;
using ScopedGdiObject = Scoped<HGDIOBJ, GdiTraits>;
using ScopedIcon = Scoped<HICON, IconTraits>;
using ScopedAtom = Scoped<ATOM, AtomTraits>;
using ScopedKey = Scoped<HKEY, KeyTraits>;
// CreateFile's handle; INVALID_HANDLE_VALUE is its "none".
using ScopedFile = Scoped<HANDLE, FileTraits>;
// FindFirstFile's search handle.
using ScopedFind = Scoped<HANDLE, FindTraits>;

// A memory device context compatible with `dc` (the screen's for null).
class MemoryDC : public Scoped<HDC, MemoryDCTraits> {
public:
    explicit MemoryDC(HDC dc) : Scoped(CreateCompatibleDC(dc)) {}
};

// A screen-compatible memory DC that holds one bitmap of its own, kept from
// one use to the next: a new bitmap replaces the old, which leaves the DC
// before it is deleted, and the DC goes before its bitmap.
class BitmapDC {
public:
    HDC get() const { return dc_.get(); }
    explicit operator bool() const { return static_cast<bool>(bitmap_); }
    // Takes `bitmap` (null: keeps the one held); true when it is now held.
    bool hold(HBITMAP bitmap) {
        if (!bitmap || !dc_) {
            if (bitmap) DeleteObject(bitmap);
            return false;
        }
        SelectObject(dc_.get(), bitmap);
        bitmap_.reset(bitmap);
        return true;
    }

private:
    ScopedGdiObject bitmap_;
    MemoryDC dc_{nullptr};
};

// Selects a GDI object into a DC and puts the previous one back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() { SelectObject(dc_, previous_); }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A window's device context from GetDC, released at scope end.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint / EndPaint for one WM_PAINT.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { BeginPaint(window, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { EndPaint(window_, &paint_); }
    HDC dc() const { return paint_.hdc; }
    const RECT& area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

// SaveDC / RestoreDC around a block that changes clip region or origin.
class SavedDC {
public:
    explicit SavedDC(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;
    ~SavedDC() { RestoreDC(dc_, saved_); }

private:
    HDC dc_;
    int saved_;
};

}  // namespace velmora
