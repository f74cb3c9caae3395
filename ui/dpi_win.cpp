#include "ui/dpi_win.h"

namespace velmora {

namespace {
// Windows 10's per-window calls, looked up once: Windows 7 and 8 lack them.
template <typename Call>
Call user32Call(const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}
using DpiForWindow = UINT(WINAPI*)(HWND);
using DpiForSystem = UINT(WINAPI*)();
using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

int screenDpi() {
    const HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}
}  // namespace

int windowDpi(HWND window) {
    static const auto call = user32Call<DpiForWindow>("GetDpiForWindow");
    if (call && window) {
        if (const UINT dpi = call(window)) return static_cast<int>(dpi);
    }
    return systemDpi();
}

int systemDpi() {
    static const auto call = user32Call<DpiForSystem>("GetDpiForSystem");
    if (call) {
        if (const UINT dpi = call()) return static_cast<int>(dpi);
    }
    return screenDpi();
}

RECT frameForClient(RECT client, DWORD style, DWORD exStyle, int dpi) {
    static const auto call = user32Call<AdjustForDpi>("AdjustWindowRectExForDpi");
    if (!call || !call(&client, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&client, style, FALSE, exStyle);
    return client;
}

}  // namespace velmora
