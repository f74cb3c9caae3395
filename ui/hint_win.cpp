#include "ui/hint_win.h"

#include "ui/handles_win.h"

namespace velmora {

namespace {
constexpr char kHintClass[] = "THintWindow";
constexpr int kPadding = 2;

HFONT hintFont() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return CreateFontIndirectA(&metrics.lfStatusFont);
}
}  // namespace

HintWindow::HintWindow() {
    registerClass(kHintClass, CS_SAVEBITS);
    createWindow(kHintClass, "", WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, 0, 0, 0, 0, nullptr);
}

void HintWindow::showAt(const std::string& text, POINT where) {
    text_ = text;
    SetWindowTextA(handle(), text_.c_str());
    RECT r{0, 0, 0, 0};
    {
        const WindowDC dc(handle());
        ScopedGdiObject font(hintFont());
        SelectGuard select(dc.get(), font.get());
        DrawTextA(dc.get(), text_.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    RECT frame{0, 0, r.right + 2 * kPadding, r.bottom + 2 * kPadding};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_BORDER, FALSE, WS_EX_TOOLWINDOW);
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
        ScopedGdiObject font(hintFont());
        SelectGuard select(dc, font.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        InflateRect(&r, -kPadding, -kPadding);
        DrawTextA(dc, text_.c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX);
        return 0;
    }
    if (message == WM_NCHITTEST) return HTTRANSPARENT;  // the tip never takes the mouse
    return defaultHandling(message, wParam, lParam);
}

}  // namespace velmora
