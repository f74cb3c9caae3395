#include "app/tray/trayicon_win.h"

#include <cstring>

#include "ui/application_win.h"
#include "ui/form_win.h"
#include "ui/window_win.h"

namespace velmora {

namespace {
constexpr char kReceiverClass[] = "TTrayIconWindow";

// The shell announces a new taskbar (after it restarts) with this message.
UINT taskbarcreated() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

unsigned keystate() {
    unsigned shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    return shift;
}

MouseButton button(TrayButton b) {
    switch (b) {
        case TrayButton::Right: return MouseButton::Right;
        case TrayButton::Middle: return MouseButton::Middle;
        case TrayButton::Left: break;
    }
    return MouseButton::Left;
}

unsigned buttonflag(TrayButton b) {
    switch (b) {
        case TrayButton::Right: return ssRight;
        case TrayButton::Middle: return ssMiddle;
        case TrayButton::Left: break;
    }
    return ssLeft;
}

bool traymouse(UINT message, TrayMouse& out) {
    switch (message) {
        case WM_MOUSEMOVE: out = TrayMouse::Move; return true;
        case WM_LBUTTONDOWN: out = TrayMouse::LeftDown; return true;
        case WM_LBUTTONUP: out = TrayMouse::LeftUp; return true;
        case WM_LBUTTONDBLCLK: out = TrayMouse::LeftDouble; return true;
        case WM_RBUTTONDOWN: out = TrayMouse::RightDown; return true;
        case WM_RBUTTONUP: out = TrayMouse::RightUp; return true;
        case WM_RBUTTONDBLCLK: out = TrayMouse::RightDouble; return true;
        case WM_MBUTTONDOWN: out = TrayMouse::MiddleDown; return true;
        case WM_MBUTTONUP: out = TrayMouse::MiddleUp; return true;
        case WM_MBUTTONDBLCLK: out = TrayMouse::MiddleDouble; return true;
        default: return false;
    }
}
}  // namespace

// A hidden top-level window (a message-only one would not hear the
// shell's "TaskbarCreated" broadcast).
class TTrayIcon::Receiver : public Window {
public:
    explicit Receiver(TTrayIcon& owner) : owner_(owner) {
        registerClass(kReceiverClass);
        createWindow(kReceiverClass, "", WS_POPUP, 0, 0, 0, 0, 0, nullptr);
    }
    ~Receiver() override { destroyWindow(); }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        bool handled = false;
        const LRESULT result = owner_.message(message, lParam, handled);
        return handled ? result : defaultHandling(message, wParam, lParam);
    }

private:
    TTrayIcon& owner_;
};

TTrayIcon::TTrayIcon() : receiver_(std::make_unique<Receiver>(*this)) {
    taskbarcreated();
    icons_.onChange = [this] { refresh(); };
    frames_.SetEnabled(false);
    frames_.SetOnTimer([this] { step(); });
}

TTrayIcon::~TTrayIcon() {
    destroying_ = true;
    Enabled = false;
    icons_.onChange = nullptr;
    setAnimated(false);
    remove();
    receiver_.reset();
    if (icon_) DestroyIcon(icon_);
}

HWND TTrayIcon::handle() const { return receiver_ ? receiver_->handle() : nullptr; }

void TTrayIcon::setActive(bool on) {
    if (on == active_) return;
    active_ = on;
    if (on) show();
    else remove();
}

void TTrayIcon::setHint(const std::string& hint) {
    hint_ = hint;
    refresh();
}

void TTrayIcon::setIcon(HICON icon) {
    if (icon_ && icon_ != icon) DestroyIcon(icon_);
    icon_ = icon;
    refresh();
}

HICON TTrayIcon::currentpicture() const {
    if (animated_ && icons_.count() > 0) return icons_.item(clampframe(frame_, icons_.count()));
    return icon_;
}

void TTrayIcon::filldata(NOTIFYICONDATAA& data) const {
    std::memset(&data, 0, sizeof data);
    data.cbSize = kNotifyDataSize;
    data.hWnd = handle();
    data.uID = 0;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = currentpicture();
    const std::string tip = shorthint(hint_);
    std::memcpy(data.szTip, tip.c_str(), tip.size() + 1);
}

NOTIFYICONDATAA TTrayIcon::notifydata() const {
    NOTIFYICONDATAA data;
    filldata(data);
    return data;
}

BOOL TTrayIcon::shell(DWORD message, NOTIFYICONDATAA& data) {
    return ShellNotify ? ShellNotify(message, data) : Shell_NotifyIconA(message, &data);
}

bool TTrayIcon::showballoon(const std::string& title, const std::string& text) {
    if (!added_) return false;
    NOTIFYICONDATAA data;
    filldata(data);
    data.cbSize = kBalloonDataSize;
    data.uFlags = NIF_INFO;
    const std::string t = title.substr(0, sizeof data.szInfoTitle - 1);
    const std::string x = text.substr(0, sizeof data.szInfo - 1);
    std::memcpy(data.szInfoTitle, t.c_str(), t.size() + 1);
    std::memcpy(data.szInfo, x.c_str(), x.size() + 1);
    data.uTimeout = 10000;
    data.dwInfoFlags = NIIF_INFO;
    return shell(NIM_MODIFY, data) != FALSE;
}

void TTrayIcon::show() {
    remove();
    const HICON picture = currentpicture();
    if (!picture) return;
    pressed_ = {};
    NOTIFYICONDATAA data;
    filldata(data);
    added_ = shell(NIM_ADD, data) != FALSE;
    if (added_) shown_ = picture;
    if (animated_ && added_) starttimer();
}

void TTrayIcon::remove() {
    if (handle()) {
        NOTIFYICONDATAA data;
        filldata(data);
        shell(NIM_DELETE, data);
    }
    added_ = false;
    shown_ = nullptr;
    pressed_ = {};
    // An icon the shell does not hold shows no frames: they start again when
    // the icon is shown again.
    stoptimer();
}

void TTrayIcon::refresh() {
    if (icons_.count() == 0 && animated_) {
        animated_ = false;
        stoptimer();
    }
    if (added_) {
        const HICON picture = currentpicture();
        if (!picture) {
            remove();
            return;
        }
        NOTIFYICONDATAA data;
        filldata(data);
        if (shell(NIM_MODIFY, data)) shown_ = picture;
    } else if (active_ && !destroying_) {
        show();
    }
}

void TTrayIcon::setAnimated(bool on) {
    const bool effective = on && icons_.count() > 0;
    if (effective == animated_) return;
    animated_ = effective;
    if (!effective) stoptimer();
    frame_ = 0;
    refresh();
    // The next frame comes an interval after this one is shown, so frames
    // started together (the query window's hand) tick together.
    if (animated_ && added_) starttimer();
}

void TTrayIcon::setInterval(WORD ms) {
    interval_ = ms;
    if (frames_.Enabled()) starttimer();  // the next frame comes `ms` after now
}

// The frames tick on the user-interface thread between its other messages,
// so a step can never interleave with a start, stop or refresh.
void TTrayIcon::starttimer() {
    frames_.SetInterval(interval_);
    frames_.SetEnabled(true);
}

void TTrayIcon::stoptimer() { frames_.SetEnabled(false); }

void TTrayIcon::step() {
    if (destroying_ || !animated_) return;
    frame_ = nextframe(frame_, icons_.count());
    refresh();
}

LRESULT TTrayIcon::message(UINT message, LPARAM lParam, bool& handled) {
    handled = false;
    if (message == taskbarcreated()) {
        // The shell's notification area was made anew and holds no icons.
        added_ = false;
        if (active_) show();
        handled = true;
        return 0;
    }
    if (PopupMenu && (message == WM_MEASUREITEM || message == WM_DRAWITEM) && PopupMenu->ownerdraw(message, lParam)) {
        handled = true;
        return TRUE;
    }
    if (message == kTrayCallbackMessage && Enabled) {
        handled = true;
        mouse(static_cast<UINT>(lParam));
        return 0;
    }
    return 0;
}

void TTrayIcon::mouse(UINT mousemessage) {
    if (mousemessage == kBalloonUserClick) {
        if (OnBalloonClick) OnBalloonClick();
        return;
    }
    TrayMouse kind;
    if (!traymouse(mousemessage, kind)) return;
    POINT at{};
    GetCursorPos(&at);
    const unsigned keys = keystate();
    for (const TrayEvent& e : trayevents(kind, pressed_)) {
        const unsigned shift = keys | (e.doubled ? ssDouble : buttonflag(e.button));
        switch (e.kind) {
            case TrayEventKind::MouseMove: mousemove(keys, at.x, at.y); break;
            case TrayEventKind::MouseDown: mousedown(button(e.button), shift, at.x, at.y); break;
            case TrayEventKind::MouseUp: mouseup(button(e.button), shift, at.x, at.y); break;
            case TrayEventKind::Click: click(button(e.button)); break;
            case TrayEventKind::DblClick: dblclick(); break;
        }
    }
}

void TTrayIcon::click(MouseButton b) {
    if (b == MouseButton::Right && openmenu()) return;
    if (OnClick) OnClick();
}

void TTrayIcon::dblclick() {
    if (active_ && PopupMenu && PopupMenu->clickdefault()) return;
    if (OnDblClick) OnDblClick();
}

void TTrayIcon::mousedown(MouseButton b, unsigned shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(b, shift, x, y);
}

void TTrayIcon::mousemove(unsigned shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(shift, x, y);
}

void TTrayIcon::mouseup(MouseButton b, unsigned shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(b, shift, x, y);
}

bool TTrayIcon::openmenu() {
    if (!active_ || !PopupMenu || !PopupMenu->AutoPopup) return false;
    HWND capturer = GetActiveWindow();
    if (!capturer) {
        Application* app = Application::current();
        if (app && app->mainForm()) capturer = app->mainForm()->handle();
    }
    if (capturer) SendMessageA(capturer, WM_CANCELMODE, 0, 0);
    // The menu closes on a click elsewhere only when its owner is in front.
    SetForegroundWindow(handle());
    if (Application* app = Application::current()) app->processMessages();
    POINT at{};
    GetCursorPos(&at);
    struct Front {
        HWND hwnd;
        ~Front() { SetForegroundWindow(hwnd); }
    } front{handle()};
    PopupMenu->popup(handle(), at.x, at.y);
    return true;
}

}  // namespace velmora
