#include "ui/form_win.h"

#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "ui/application_win.h"
#include "ui/childwindow_win.h"
#include "ui/dpi_win.h"
#include "ui/handles_win.h"

namespace velmora {

namespace {
DWORD styleFor(FormStyle style) {
    switch (style) {
        case FormStyle::ToolWindow: return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        case FormStyle::Dialog: return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPCHILDREN;
        case FormStyle::FixedDialog: return WS_POPUP | WS_CAPTION | WS_DLGFRAME | WS_CLIPCHILDREN;
        case FormStyle::Sizeable: return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        case FormStyle::Normal: break;
    }
    return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
}
DWORD exStyleFor(FormStyle style) {
    switch (style) {
        case FormStyle::ToolWindow: return WS_EX_TOOLWINDOW;
        case FormStyle::Dialog:
        case FormStyle::FixedDialog: return WS_EX_DLGMODALFRAME;
        case FormStyle::Sizeable:
        case FormStyle::Normal: break;
    }
    return 0;
}
}  // namespace

Form::Form(const char* className, const std::string& caption, int clientWidth, int clientHeight, FormStyle style) {
    // No CS_DBLCLKS: the second press of a double click arrives as a mouse
    // down of its own, so an anchor double-clicked is reported twice.
    registerClass(className, CS_HREDRAW | CS_VREDRAW);
    const DWORD ws = styleFor(style);
    const DWORD exs = exStyleFor(style);
    // Made at the system's density, then sized for the monitor it landed on.
    scale_ = Scale{systemDpi()};
    const RECT frame = frameForClient({0, 0, px(clientWidth), px(clientHeight)}, ws, exs, dpi());
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    createWindow(className, caption.c_str(), ws, exs, x, y, width, height, nullptr);
    const int own = windowDpi(handle());
    if (own != dpi()) {
        scale_ = Scale{own};
        const SIZE outer = outerSize(clientWidth, clientHeight);
        SetWindowPos(handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2, outer.cx, outer.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

RECT Form::pixelRect(const RECT& units) const { return scale_.rect(units); }

SIZE Form::outerSize(int clientWidth, int clientHeight) const {
    const RECT frame = frameForClient({0, 0, px(clientWidth), px(clientHeight)},
                                      static_cast<DWORD>(GetWindowLongA(handle(), GWL_STYLE)),
                                      static_cast<DWORD>(GetWindowLongA(handle(), GWL_EXSTYLE)), dpi());
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void Form::followDpiOf(HWND window) { scale_ = Scale{windowDpi(window)}; }

namespace {
BOOL CALLBACK rescaleChild(HWND child, LPARAM dpi) {
    // Every descendant: a child form (a page) draws at the new density, a
    // system control takes its place and font again.
    if (auto* form = dynamic_cast<Form*>(Window::fromHandle(child))) form->dpiChanged(static_cast<int>(dpi), nullptr);
    if (ChildWindow* control = ChildWindow::fromHandle(child)) control->dpiChanged(static_cast<int>(dpi));
    return TRUE;
}
}  // namespace

void Form::dpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0) return;
    const Scale old = scale_;
    scale_ = Scale{dpi};
    const bool topLevel = !(GetWindowLongA(handle(), GWL_STYLE) & WS_CHILD);
    if (topLevel) {
        RECT place{};
        if (suggested) {
            place = *suggested;
        } else {
            // The client area keeps its size in units inside the frame the
            // window has now.
            RECT client{};
            GetClientRect(handle(), &client);
            GetWindowRect(handle(), &place);
            place.right += px(old.units(client.right)) - client.right;
            place.bottom += px(old.units(client.bottom)) - client.bottom;
        }
        SetWindowPos(handle(), nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        EnumChildWindows(handle(), &rescaleChild, dpi);
    }
    if (hintWindow_) hintWindow_->hide();
    InvalidateRect(handle(), nullptr, FALSE);
}

namespace {
// The forms that run dialog keys, found by their window.
std::vector<Form*>& dialogForms() {
    static std::vector<Form*> forms;
    return forms;
}
}  // namespace

Form::~Form() {
    setDialogKeys(false);
    destroyWindow();
}

void Form::setDialogKeys(bool on) {
    auto& forms = dialogForms();
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (on) forms.push_back(this);
    dialogKeys_ = on;
}

bool Form::dialogMessage(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd) return false;
    const HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    for (Form* form : dialogForms()) {
        if (form->handle() != root) continue;
        if (form->formDialogKey(msg)) return true;
        if (msg.message == WM_SYSCHAR) {
            // Alt and a label's "&" character: the focus to the label's field.
            for (GraphicControl* control : form->controls_) {
                const HWND target = control->visible() ? control->acceleratorTarget(static_cast<char>(msg.wParam))
                                                       : nullptr;
                if (!target || !IsWindowVisible(target) || !IsWindowEnabled(target)) continue;
                if (SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                    SendMessageA(target, EM_SETSEL, 0, -1);
                SetFocus(target);
                return true;
            }
        }
        // Handles the dialog keys, and translates and dispatches every other
        // message of the form's windows itself.
        return IsDialogMessageA(root, &msg) != FALSE;
    }
    return false;
}

namespace {
bool canTakeFocus(HWND form, HWND control) {
    return control && IsWindow(control) && IsChild(form, control) && IsWindowVisible(control) &&
           IsWindowEnabled(control);
}
}  // namespace

void Form::show() {
    if (!visible()) formShow();
    ShowWindow(handle(), SW_SHOW);
    SetForegroundWindow(handle());
}

void Form::hide() { ShowWindow(handle(), SW_HIDE); }

bool Form::visible() const { return IsWindowVisible(handle()) != FALSE; }

void Form::close() {
    bool canClose = true;
    formCloseQuery(canClose);
    if (!canClose) return;
    CloseAction action = CloseAction::Hide;
    formClose(action);
    Application* app = Application::current();
    if (app && app->mainForm() == this && action != CloseAction::None) {
        app->terminate();
        PostQuitMessage(0);
        return;
    }
    if (action == CloseAction::Hide) hide();
    if (action == CloseAction::Free) destroyWindow();
}

std::string Form::caption() const {
    const int length = GetWindowTextLengthA(handle());
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(handle(), text.data(), length + 1)));
    return text;
}

void Form::setCaption(const std::string& caption) { SetWindowTextA(handle(), caption.c_str()); }

void Form::invalidateRect(const RECT& rect) {
    if (!handle()) return;
    const RECT pixels = pixelRect(rect);
    InvalidateRect(handle(), &pixels, FALSE);
}

GraphicControl* Form::controlAt(int x, int y) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        GraphicControl* c = *it;
        if (c->visible() && c->enabled() && x >= c->left() && x < c->left() + c->width() && y >= c->top() &&
            y < c->top() + c->height())
            return c;
    }
    return nullptr;
}

void Form::addControl(GraphicControl* control) { controls_.push_back(control); }

void Form::removeControl(GraphicControl* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    if (captured_ == control) captured_ = nullptr;
    if (hintControl_ == control) {
        hintControl_ = nullptr;
        if (hintWindow_) hintWindow_->hide();
    }
}

namespace {
constexpr UINT_PTR kHintTimer = 1;
}

void Form::restartHintTimer() { SetTimer(handle(), kHintTimer, hintPause, nullptr); }

void Form::cancelHint() {
    if (hintWindow_) hintWindow_->hide();
    restartHintTimer();
}

std::string Form::shownHint() const {
    return hintWindow_ && hintWindow_->visible() ? hintWindow_->text() : std::string();
}

void Form::showHint() {
    KillTimer(handle(), kHintTimer);
    GraphicControl* target = controlAt(lastMouse_.x, lastMouse_.y);
    if (!target || target != hintControl_) return;
    POINT cursor{px(lastMouse_.x), px(lastMouse_.y)};
    ClientToScreen(handle(), &cursor);
    std::string text;
    POINT where{};
    if (!target->hintAt(lastMouse_.x - target->left(), lastMouse_.y - target->top(), cursor, text, where)) return;
    if (!hintWindow_) hintWindow_ = std::make_unique<HintWindow>();
    hintWindow_->showAt(text, where);
}

void Form::paintControls(HDC dc, const RECT& dirty) {
    {
        ScopedGdiObject brush(CreateSolidBrush(toColorRef(color)));
        FillRect(dc, &dirty, static_cast<HBRUSH>(brush.get()));
    }
    // A control's paint may change the list (an auto-sizing label resizes
    // itself): walk a copy.
    const std::vector<GraphicControl*> controls = controls_;
    for (GraphicControl* c : controls) {
        if (!c->visible()) continue;
        const RECT bounds = pixelRect(c->boundsRect());
        RECT overlap;
        if (!IntersectRect(&overlap, &bounds, &dirty)) continue;
        SavedDC saved(dc);
        IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
        SetViewportOrgEx(dc, bounds.left, bounds.top, nullptr);
        c->paint(dc);
    }
}

POINT Form::mouseUnits(LPARAM lParam) const {
    return {scale_.unitsFloor(GET_X_LPARAM(lParam)), scale_.unitsFloor(GET_Y_LPARAM(lParam))};
}

void Form::mouseDown(MouseButton button, LPARAM lParam) {
    const auto [x, y] = mouseUnits(lParam);
    if (hintWindow_) hintWindow_->hide();
    KillTimer(handle(), kHintTimer);
    GraphicControl* target = controlAt(x, y);
    if (!target) return;
    captured_ = target;
    SetCapture(handle());
    target->mouseDown(button, x - target->left(), y - target->top());
}

void Form::mouseUp(MouseButton button, LPARAM lParam) {
    const auto [x, y] = mouseUnits(lParam);
    GraphicControl* target = captured_ ? captured_ : controlAt(x, y);
    captured_ = nullptr;
    if (GetCapture() == handle()) ReleaseCapture();
    if (target) target->mouseUp(button, x - target->left(), y - target->top());
}

void Form::mouseMove(LPARAM lParam) {
    const auto [x, y] = mouseUnits(lParam);
    if (x != lastMouse_.x || y != lastMouse_.y) {
        lastMouse_ = {x, y};
        GraphicControl* under = controlAt(x, y);
        if (under != hintControl_) {
            // A tip belongs to the control it was shown for.
            hintControl_ = under;
            if (hintWindow_) hintWindow_->hide();
        }
        if (!hintWindow_ || !hintWindow_->visible()) restartHintTimer();
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, handle(), 0};
        TrackMouseEvent(&track);
    }
    GraphicControl* target = captured_ ? captured_ : controlAt(x, y);
    if (target) target->mouseMove(x - target->left(), y - target->top());
}

bool Form::setCursor() {
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(handle(), &p);
    const GraphicControl* target = controlAt(scale_.unitsFloor(p.x), scale_.unitsFloor(p.y));
    const bool hand = target && target->cursor() == Cursor::HandPoint;
    SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(hand ? IDC_HAND : IDC_ARROW)));
    return true;
}

LRESULT Form::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (formMessage(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_PAINT: {
            const PaintScope paint(handle());
            paintControls(paint.dc(), paint.area());
            if (onPaint) onPaint();
            return 0;
        }
        case WM_ERASEBKGND: return 1;  // the paint fills the background itself
        case WM_LBUTTONDOWN: mouseDown(MouseButton::Left, lParam); return 0;
        case WM_RBUTTONDOWN: mouseDown(MouseButton::Right, lParam); return 0;
        case WM_MBUTTONDOWN: mouseDown(MouseButton::Middle, lParam); return 0;
        case WM_LBUTTONUP: mouseUp(MouseButton::Left, lParam); return 0;
        case WM_RBUTTONUP: mouseUp(MouseButton::Right, lParam); return 0;
        case WM_MBUTTONUP: mouseUp(MouseButton::Middle, lParam); return 0;
        case WM_MOUSEMOVE: mouseMove(lParam); return 0;
        case WM_MOUSELEAVE:
            hintControl_ = nullptr;
            KillTimer(handle(), kHintTimer);
            if (hintWindow_) hintWindow_->hide();
            return 0;
        case WM_TIMER:
            if (wParam == kHintTimer) {
                showHint();
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == handle() && setCursor()) return TRUE;
            break;
        case WM_CLOSE: close(); return 0;
        case kDpiChangedMessage:
            dpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_COMMAND:
            // The dialog keys' Enter and Escape; the form has no buttons of its own.
            if (dialogKeys_ && HIWORD(wParam) == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
                if (LOWORD(wParam) == IDOK)
                    formEnterKey();
                else
                    formEscapeKey();
                return 0;
            }
            break;
        case WM_ACTIVATE:
            if (!dialogKeys_) break;
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                savedFocus_ = IsChild(handle(), focus) ? focus : nullptr;
                return 0;
            }
            // Back to the control that had the focus; a first activation
            // leaves it on the form, and the first Tab enters the controls.
            if (canTakeFocus(handle(), savedFocus_))
                SetFocus(savedFocus_);
            else
                SetFocus(handle());
            return 0;
        case WM_ACTIVATEAPP:
            if (Application* app = Application::current()) app->activationChanged(wParam != FALSE);
            break;
        default: break;
    }
    return defaultHandling(message, wParam, lParam);
}

}  // namespace velmora
