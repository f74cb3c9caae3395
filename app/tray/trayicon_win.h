// The icon in the notification area: its tip, the still picture or the
// animation frames, the mouse notifications the shell sends for it (a right
// click opens the popup menu, a double click runs the menu's default item),
// and its return when the shell re-creates the taskbar.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "app/tray/iconlist_win.h"
#include "app/tray/imagemenu_win.h"
#include "app/tray/trayrules.h"
#include "markup/ticktimer_win.h"
#include "ui/control_win.h"

namespace velmora {

// The message the shell sends for the icon; lParam is the mouse message.
constexpr UINT kTrayCallbackMessage = 0xB054;
// The size the shell is told: the notify data's first version.
constexpr DWORD kNotifyDataSize = 88;
// A balloon needs the second version, which adds its texts and flags.
constexpr DWORD kBalloonDataSize = offsetof(NOTIFYICONDATAA, dwInfoFlags) + sizeof(DWORD);
// The callback's lParam when the user clicks the icon's balloon.
constexpr UINT kBalloonUserClick = WM_USER + 5;

// Shift state of a mouse event.
enum : unsigned {
    ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64
};
using TrayMouseEvent = std::function<void(MouseButton button, unsigned shift, int x, int y)>;

class TTrayIcon {
public:
    TTrayIcon();
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;
    virtual ~TTrayIcon();

    bool active() const { return active_; }
    void setActive(bool on);
    bool Enabled = true;
    const std::string& hint() const { return hint_; }
    void setHint(const std::string& hint);
    // The still picture; the icon takes ownership.
    HICON icon() const { return icon_; }
    void setIcon(HICON icon);
    // The animation frames (the icon refreshes whenever they change).
    TIconList& icons() { return icons_; }
    bool animated() const { return animated_; }
    void setAnimated(bool on);
    WORD interval() const { return interval_; }
    void setInterval(WORD ms);
    TImagePopupMenu* PopupMenu = nullptr;

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    TrayMouseEvent OnMouseDown;
    TrayMouseEvent OnMouseUp;
    std::function<void(unsigned shift, int x, int y)> OnMouseMove;
    // The user clicked the balloon the icon showed last.
    std::function<void()> OnBalloonClick;

    // A balloon from the icon: title cut to 63 and text to 255 characters.
    // False when the shell does not hold the icon or refuses.
    bool showballoon(const std::string& title, const std::string& text);
    // Every call to the shell goes through here (Shell_NotifyIconA unless a
    // test looks at the data the shell is handed).
    std::function<BOOL(DWORD message, NOTIFYICONDATAA& data)> ShellNotify;

    // The shell holds the icon now.
    bool added() const { return added_; }
    int frameindex() const { return frame_; }
    // The animation frame while animated, else the still icon; null for none.
    HICON currentpicture() const;
    // The picture the shell was last given.
    HICON shownpicture() const { return shown_; }
    // The hidden window that receives the icon's notifications.
    HWND handle() const;
    NOTIFYICONDATAA notifydata() const;

protected:
    virtual void filldata(NOTIFYICONDATAA& data) const;
    virtual void dblclick();
    virtual void click(MouseButton button);
    virtual void mousedown(MouseButton button, unsigned shift, int x, int y);
    virtual void mousemove(unsigned shift, int x, int y);
    virtual void mouseup(MouseButton button, unsigned shift, int x, int y);

private:
    class Receiver;
    friend class Receiver;
    LRESULT message(UINT message, LPARAM lParam, bool& handled);
    BOOL shell(DWORD message, NOTIFYICONDATAA& data);
    void show();
    void remove();
    void refresh();
    void step();
    void starttimer();
    void stoptimer();
    void mouse(UINT mousemessage);
    bool openmenu();

    std::unique_ptr<Receiver> receiver_;
    bool active_ = true;
    std::string hint_;
    HICON icon_ = nullptr;
    TIconList icons_;
    bool animated_ = false;
    WORD interval_ = 150;
    bool added_ = false;
    bool destroying_ = false;
    int frame_ = -1;
    TrayPressed pressed_;
    HICON shown_ = nullptr;
    // The frames tick from the shared tick source, in the rounds of the
    // query window's hand. Last, so it stops first.
    TTickTimer frames_;
};

}  // namespace velmora
