#include "ui/dpi_win.h"

#include <initializer_list>

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
// shcore's GetDpiForMonitor (Windows 8.1 and later); the type of density
// asked for is the effective one (0).
using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

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

int pointDpi(POINT where) {
    static const auto call = [] {
        const HMODULE shcore = LoadLibraryA("shcore.dll");  // kept for the run
        return shcore ? reinterpret_cast<DpiForMonitor>(
                            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    UINT x = 0, y = 0;
    if (call && SUCCEEDED(call(MonitorFromPoint(where, MONITOR_DEFAULTTONEAREST), 0, &x, &y)) && y > 0)
        return static_cast<int>(y);
    return systemDpi();
}

NONCLIENTMETRICSA nonclientMetrics(int dpi) {
    // The system gives its fonts at the system's density; another monitor's
    // are the same fonts scaled, as the system's own per-density call does.
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const int from = systemDpi();
    if (from != dpi)
        for (LOGFONTA* f : {&metrics.lfMenuFont, &metrics.lfStatusFont, &metrics.lfMessageFont, &metrics.lfCaptionFont,
                            &metrics.lfSmCaptionFont})
            f->lfHeight = MulDiv(f->lfHeight, dpi, from);
    return metrics;
}

RECT frameForClient(RECT client, DWORD style, DWORD exStyle, int dpi) {
    static const auto call = user32Call<AdjustForDpi>("AdjustWindowRectExForDpi");
    if (!call || !call(&client, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&client, style, FALSE, exStyle);
    return client;
}

}  // namespace velmora
