#include "ui/hint_win.h"

#include "ui/dpi_win.h"
#include "ui/handles_win.h"

namespace velmora {

namespace {
constexpr char kHintClass[] = "THintWindow";
constexpr int kPadding = 2;

HFONT hintFont(int dpi) {
    const NONCLIENTMETRICSA metrics = nonclientMetrics(dpi);
    return CreateFontIndirectA(&metrics.lfStatusFont);
}
}  // namespace

HintWindow::HintWindow() {
    registerClass(kHintClass, CS_SAVEBITS);
    createWindow(kHintClass, "", WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, 0, 0, 0, 0, nullptr);
}

void HintWindow::showAt(const std::string& text, POINT where) { showAt(text, where, pointDpi(where)); }

// The tip is drawn at the density of the monitor it shows on: its font, its
// padding and its border.
void HintWindow::showAt(const std::string& text, POINT where, int dpi) {
    text_ = text;
    dpi_ = dpi;
    SetWindowTextA(handle(), text_.c_str());
    RECT r{0, 0, 0, 0};
    {
        const WindowDC dc(handle());
        ScopedGdiObject font(hintFont(dpi_));
        SelectGuard select(dc.get(), font.get());
        DrawTextA(dc.get(), text_.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    const int padding = Scale{dpi_}.px(kPadding);
    const RECT frame = frameForClient({0, 0, r.right + 2 * padding, r.bottom + 2 * padding}, WS_POPUP | WS_BORDER,
                                      WS_EX_TOOLWINDOW, dpi_);
    SetWindowPos(handle(), HWND_TOPMOST, where.x, where.y, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(handle(), nullptr, TRUE);
}

void HintWindow::hide() {
    if (visible()) ShowWindow(handle(), SW_HIDE);
}

bool HintWindow::visible() const { return IsWindowVisible(handle()) != FALSE; }

LRESULT HintWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        const PaintScope paint(handle());
        const HDC dc = paint.dc();
        RECT r;
        GetClientRect(handle(), &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
        ScopedGdiObject font(hintFont(dpi_));
        SelectGuard select(dc, font.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        const int padding = Scale{dpi_}.px(kPadding);
        InflateRect(&r, -padding, -padding);
        DrawTextA(dc, text_.c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX);
        return 0;
    }
    if (message == WM_NCHITTEST) return HTTRANSPARENT;  // the tip never takes the mouse
    return defaultHandling(message, wParam, lParam);
}

}  // namespace velmora
