#include "ui/childwindow_win.h"

#include <commctrl.h>

#include <exception>

#include "ui/application_win.h"
#include "ui/dpi_win.h"
#include "ui/win32error_win.h"

namespace velmora {

namespace {
// Where a subclassed control keeps its wrapper.
constexpr char kWrapperProperty[] = "VelmoraChild";

ChildWindow* wrapperOf(HWND hwnd) {
    return hwnd ? static_cast<ChildWindow*>(GetPropA(hwnd, kWrapperProperty)) : nullptr;
}
}  // namespace

ChildWindow::ChildWindow(HWND parent, const char* className, DWORD style, DWORD exStyle, int left, int top,
                         int width, int height)
    : scale_(windowScale(parent)), bounds_{left, top, left + width, top + height} {
    const RECT at = scale_.rect(bounds_);
    hwnd_ = CreateWindowExA(exStyle, className, "", style | WS_CHILD, at.left, at.top, at.right - at.left,
                            at.bottom - at.top, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!hwnd_) raiseLastWin32Error();
    SetPropA(hwnd_, kWrapperProperty, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ChildWindow::subclassProc)));
    setFont(font_);
}

ChildWindow::~ChildWindow() {
    if (hwnd_) {
        // Unbound before it goes: nothing the destruction sends reaches a half-destroyed wrapper.
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropA(hwnd_, kWrapperProperty);
        DestroyWindow(hwnd_);
    }
    if (gdiFont_) DeleteObject(gdiFont_);
}

ChildWindow* ChildWindow::fromHandle(HWND hwnd) { return wrapperOf(hwnd); }

void ChildWindow::dpiChanged(int dpi) {
    scale_ = Scale{dpi};
    place();
    setFont(font_);
}

LRESULT CALLBACK ChildWindow::subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ChildWindow* self = wrapperOf(hwnd);
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
    try {
        LRESULT result = 0;
        if (self->ownMessage(message, wParam, lParam, result)) return result;
    } catch (...) {
        Application::reportCurrentError();
        return 0;
    }
    return self->systemHandling(message, wParam, lParam);
}

bool ChildWindow::reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND child = nullptr;
    switch (message) {
        case WM_COMMAND: child = reinterpret_cast<HWND>(lParam); break;
        case WM_NOTIFY: child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom; break;
        case WM_DRAWITEM: child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem; break;
        default: return false;
    }
    ChildWindow* target = wrapperOf(child);
    return target && target->notified(message, wParam, lParam, result);
}

void ChildWindow::setFont(const Font& font) {
    font_ = font;
    HFONT made = createFont(font_, scale_.dpi);
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    if (gdiFont_) DeleteObject(gdiFont_);
    gdiFont_ = made;
}

std::string ChildWindow::text() const {
    const int length = GetWindowTextLengthA(hwnd_);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hwnd_, text.data(), length + 1)));
    return text;
}

void ChildWindow::setText(const std::string& text) { SetWindowTextA(hwnd_, text.c_str()); }

void ChildWindow::setBounds(int left, int top, int width, int height) {
    bounds_ = {left, top, left + width, top + height};
    place();
}

void ChildWindow::place() {
    const RECT at = scale_.rect(bounds_);
    SetWindowPos(hwnd_, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void ChildWindow::setVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
bool ChildWindow::visible() const { return IsWindowVisible(hwnd_) != FALSE; }
void ChildWindow::setFocus() { SetFocus(hwnd_); }

void ChildWindow::setTabOrderAfter(HWND previous) {
    SetWindowPos(hwnd_, previous ? previous : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// --- edit field ---

EditBox::EditBox(HWND parent, int left, int top, int width, int height, const std::string& text)
    : ChildWindow(parent, "EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, left, top, width,
                  height) {
    setText(text);
}

bool EditBox::notified(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || HIWORD(wParam) != EN_CHANGE) return false;
    if (OnChange) OnChange(*this);
    result = 0;
    return true;
}

// --- tab control ---

namespace {
// The common controls' window classes exist once their library has been
// initialised, which a program that loads it on first use has not always done.
const char* tabControlClass() {
    static const bool initialised = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)initialised;
    return WC_TABCONTROLA;
}
}  // namespace

TabControl::TabControl(HWND parent, int left, int top, int width, int height)
    : ChildWindow(parent, tabControlClass(), WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, left,
                  top, width, height) {}

void TabControl::addTab(const std::string& caption) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(caption.c_str());
    const int count = static_cast<int>(SendMessageA(handle(), TCM_GETITEMCOUNT, 0, 0));
    SendMessageA(handle(), TCM_INSERTITEMA, count, reinterpret_cast<LPARAM>(&item));
}

int TabControl::activeTab() const { return static_cast<int>(SendMessageA(handle(), TCM_GETCURSEL, 0, 0)); }

void TabControl::setActiveTab(int index) {
    SendMessageA(handle(), TCM_SETCURSEL, index, 0);
    if (OnChange) OnChange(*this);
}

RECT TabControl::pageRect() const {
    RECT r{};
    GetClientRect(handle(), &r);
    SendMessageA(handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    // Inwards: the page never covers the strip's edges.
    return {scale().unitsCeil(r.left), scale().unitsCeil(r.top), scale().unitsFloor(r.right),
            scale().unitsFloor(r.bottom)};
}

bool TabControl::notified(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lParam)->code != TCN_SELCHANGE) return false;
    if (OnChange) OnChange(*this);
    result = 0;
    return true;
}

// --- panel ---

namespace {
constexpr char kPanelClass[] = "Tpanel";
}

Panel::Panel(HWND parent, const RECT& bounds)
    : Form(kPanelClass, "", 0, 0, FormStyle::FixedDialog), bounds_(bounds) {
    // Made as the framework's hidden form, then turned into a plain child.
    SetWindowLongPtrA(handle(), GWL_EXSTYLE, WS_EX_CONTROLPARENT);
    SetWindowLongPtrA(handle(), GWL_STYLE, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    SetParent(handle(), parent);
    followDpiOf(parent);
    const RECT pixels = pixelRect(bounds_);
    SetWindowPos(handle(), HWND_TOP, pixels.left, pixels.top, pixels.right - pixels.left, pixels.bottom - pixels.top,
                 SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Panel::setBounds(const RECT& bounds) {
    bounds_ = bounds;
    const RECT pixels = pixelRect(bounds_);
    SetWindowPos(handle(), nullptr, pixels.left, pixels.top, pixels.right - pixels.left, pixels.bottom - pixels.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Panel::dpiChanged(int dpi, const RECT* suggested) {
    Form::dpiChanged(dpi, suggested);
    setBounds(bounds_);
}

void Panel::setVisible(bool visible) { ShowWindow(handle(), visible ? SW_SHOWNA : SW_HIDE); }

bool Panel::formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return ChildWindow::reflect(message, wParam, lParam, result);
}

}  // namespace velmora
