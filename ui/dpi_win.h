// The dots per inch a window is drawn at, from the calls today's Windows
// has, or from the screen's on older systems (where every window shares it).
#pragma once
#include <windows.h>

#include "base/scale.h"

namespace velmora {

// Sent to a window whose monitor's density changed (WM_DPICHANGED, not in
// the headers for the Windows versions the program builds for).
constexpr UINT kDpiChangedMessage = 0x02E0;

int windowDpi(HWND window);
int systemDpi();
// The density of the monitor that holds the screen point: where a popup
// that belongs to no window yet (a menu, a tip) is drawn.
int pointDpi(POINT where);
// The system's fonts for menus, tips and captions at `dpi`.
NONCLIENTMETRICSA nonclientMetrics(int dpi);
inline Scale windowScale(HWND window) { return Scale{windowDpi(window)}; }
// The outer rectangle of a window whose client area is `client` pixels, at `dpi`.
RECT frameForClient(RECT client, DWORD style, DWORD exStyle, int dpi);

}  // namespace velmora
