// A top-level window with window-less controls. It paints its controls,
// routes mouse input and cursor changes to the one under the mouse, and turns
// the close box into the form's close action (hide, unless told otherwise).
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/scale.h"
#include "ui/control_win.h"
#include "ui/hint_win.h"
#include "ui/window_win.h"

namespace velmora {

enum class FormStyle {
    Normal,      // caption, system menu, minimise box
    ToolWindow,  // small caption, close box only
    Dialog,      // caption and close box, fixed frame
    FixedDialog, // fixed frame and a caption without buttons
    Sizeable,    // caption, system menu, minimise and maximise boxes, a frame to size it by
};
enum class CloseAction { None, Hide, Free };

class Form : public Window {
public:
    // `className` is the window class, the form's name with a "T" prefix
    // ("Tloadform"). The window is created hidden, its client area
    // clientWidth x clientHeight, centred on the screen.
    //
    // Everything a form holds is laid out in 96-dpi units: the client size,
    // the controls' bounds and fonts, the mouse positions they get. The form
    // turns them into pixels at its own dots per inch, which it takes from
    // its monitor and again whenever the window moves to another.
    Form(const char* className, const std::string& caption, int clientWidth, int clientHeight,
         FormStyle style = FormStyle::Normal);
    ~Form() override;

    void show();
    void hide();
    bool visible() const;
    // Closing asks closeQuery, then the close action: hide, free, or nothing.
    // Closing the application's main form ends the message loop.
    void close();

    std::string caption() const;
    void setCaption(const std::string& caption);
    Color color = clBtnFace;
    Font font;

    // Dialog keys, as in the system's dialog boxes: Tab and Shift+Tab move
    // the focus through the child controls that take it (WS_TABSTOP, in
    // their order among the form's children, into panels that hold
    // controls), an edit field reached so has its text selected, Enter and
    // Escape reach formEnterKey and formEscapeKey, Alt and a label's "&"
    // character focus the label's field (Label::focusControl), and the
    // control that had the focus gets it back when the form is activated
    // again. Off unless set.
    void setDialogKeys(bool on);
    bool dialogKeys() const { return dialogKeys_; }
    // The message loop offers every keyboard message here before it is
    // translated; true when a form with dialog keys has handled it.
    static bool dialogMessage(MSG& msg);

    // The dots per inch the form is drawn at, and its 96-dpi units in pixels.
    int dpi() const { return scale_.dpi; }
    const Scale& scale() const { return scale_; }
    int px(int units) const { return scale_.px(units); }
    RECT pixelRect(const RECT& units) const;
    // The window's outer size in pixels for a client area in units.
    SIZE outerSize(int clientWidth, int clientHeight) const;
    // The window moved to a screen of `dpi` dots per inch (WM_DPICHANGED):
    // it takes `suggested` (screen pixels, or null to keep its place and
    // scale its size) and lays out its child windows and fonts again.
    virtual void dpiChanged(int dpi, const RECT* suggested);

    // Repaints a rectangle given in units.
    void invalidateRect(const RECT& rect);
    // The control under a client point in units (the last added wins), or null.
    GraphicControl* controlAt(int x, int y) const;
    const std::vector<GraphicControl*>& controls() const { return controls_; }

    // Hides a tip that is showing and lets the next rest of the mouse show
    // a new one (a control whose tip changes within it asks for this).
    void cancelHint();
    // The tip showing now, or empty.
    std::string shownHint() const;
    // How long the mouse rests before a tip shows, in milliseconds.
    UINT hintPause = 500;

    // Events, bound by the windows that use the form.
    std::function<void()> onPaint;  // after the controls have been painted

protected:
    // Overridable steps, named after the framework handlers.
    // formShow runs when the form goes from hidden to visible, before it shows.
    virtual void formShow() {}
    virtual void formCloseQuery(bool& /*canClose*/) {}
    virtual void formClose(CloseAction& /*action*/) {}
    // Private and other messages the form does not handle itself; return
    // true with `result` set to consume the message.
    virtual bool formMessage(UINT /*message*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }
    // With dialog keys: a key message the form takes before the dialog keys
    // see it (Ctrl+Tab on a form with pages); true when it was used.
    virtual bool formDialogKey(const MSG& /*msg*/) { return false; }
    // With dialog keys: Enter, and Escape, which closes the form unless told otherwise.
    virtual void formEnterKey() {}
    virtual void formEscapeKey() { close(); }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A form that becomes the child of another window draws at its dots per inch.
    void followDpiOf(HWND window);

private:
    friend class GraphicControl;
    void addControl(GraphicControl* control);
    void removeControl(GraphicControl* control);
    void paintControls(HDC dc, const RECT& dirty);
    POINT mouseUnits(LPARAM lParam) const;
    void mouseDown(MouseButton button, LPARAM lParam);
    void mouseUp(MouseButton button, LPARAM lParam);
    void mouseMove(LPARAM lParam);
    bool setCursor();
    void restartHintTimer();
    void showHint();

    Scale scale_;
    std::vector<GraphicControl*> controls_;
    GraphicControl* captured_ = nullptr;
    // The tip: made on first use; the control it was last asked for; where the mouse rests.
    std::unique_ptr<HintWindow> hintWindow_;
    GraphicControl* hintControl_ = nullptr;
    POINT lastMouse_{0, 0};
    bool dialogKeys_ = false;
    HWND savedFocus_ = nullptr;  // the control that had the focus when the form was deactivated
};

}  // namespace velmora
