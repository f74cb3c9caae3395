// Test support: how many GDI and USER objects the process holds, for tests
// that check a window or an animation leaves none behind.
//
// Windows keeps the count itself (GetGuiResources). Wine 8 does not: its
// GetGuiResources answers 0 with ERROR_CALL_NOT_IMPLEMENTED. There the
// objects are counted by walking the handle tables, which Wine keeps per
// process and which accept a handle's table index without its generation:
// every GDI index that GetObjectType knows (bitmaps, DCs, brushes, pens,
// fonts, regions, palettes, stock objects); and for USER, the process's own
// windows (message-only ones too), menus, icons and cursors. Hooks,
// accelerator tables and timers are not counted there.
#pragma once
#include <windows.h>

namespace velmora::testing {

struct GuiObjects {
    DWORD gdi = 0;
    DWORD user = 0;
    // Counted by walking the handle tables (Wine) rather than by the system.
    bool walked = false;
};

namespace guiresources_detail {

// Wine's USER handles: even values from 0x20 up to 0xffef, generation bits
// above.
constexpr UINT_PTR kFirstUserHandle = 0x20, kLastUserHandle = 0xffef;

inline BOOL CALLBACK countChild(HWND, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

// A window of this process, with every window below it.
inline void countWindowTree(HWND window, DWORD& count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return;
    ++count;
    EnumChildWindows(window, &countChild, reinterpret_cast<LPARAM>(&count));
}

inline BOOL CALLBACK countTopLevel(HWND window, LPARAM count) {
    countWindowTree(window, *reinterpret_cast<DWORD*>(count));
    return TRUE;
}

inline DWORD walkUserObjects() {
    DWORD count = 0;
    EnumWindows(&countTopLevel, reinterpret_cast<LPARAM>(&count));
    for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr));)
        countWindowTree(window, count);
    // Menus and icons of another process, or no object at all, are refused
    // without a call to the server; an icon is drawn onto one pixel.
    const HDC probe = CreateCompatibleDC(nullptr);
    const HBITMAP pixel = CreateCompatibleBitmap(probe, 1, 1);
    const HGDIOBJ old = SelectObject(probe, pixel);
    for (UINT_PTR handle = kFirstUserHandle; handle <= kLastUserHandle; handle += 2) {
        if (IsMenu(reinterpret_cast<HMENU>(handle)) ||
            DrawIconEx(probe, 0, 0, reinterpret_cast<HICON>(handle), 1, 1, 0, nullptr, DI_NORMAL))
            ++count;
    }
    SelectObject(probe, old);
    DeleteObject(pixel);
    DeleteDC(probe);
    return count;
}

inline DWORD walkGdiObjects() {
    DWORD count = 0;
    for (UINT_PTR index = 0; index <= 0xFFFF; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++count;
    return count;
}

}  // namespace guiresources_detail

// The process's GDI and USER objects now.
inline GuiObjects guiObjects() {
    const HANDLE self = GetCurrentProcess();
    SetLastError(ERROR_SUCCESS);
    GuiObjects counted{GetGuiResources(self, GR_GDIOBJECTS), GetGuiResources(self, GR_USEROBJECTS), false};
    if (counted.gdi != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return counted;
    // The USER walk makes and deletes GDI objects of its own: it goes first.
    counted.user = guiresources_detail::walkUserObjects();
    counted.gdi = guiresources_detail::walkGdiObjects();
    counted.walked = true;
    return counted;
}

}  // namespace velmora::testing
