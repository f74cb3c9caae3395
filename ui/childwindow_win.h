// Child controls of the system's own window classes: the one-line edit field,
// the tab control, and the base the markup combo box builds on, plus a panel
// that carries window-less controls inside another window (a tab page).
//
// The system's classes have their own window procedure, so these windows do
// not route through the framework's thunk: the wrapper subclasses the control
// to see its input first, and the parent hands back the notifications the
// control sends it (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM) through reflect().
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/control_win.h"
#include "ui/form_win.h"

namespace velmora {

// Bounds and fonts are in 96-dpi units, as on forms: the control turns them
// into pixels at its parent's dots per inch.
class ChildWindow {
public:
    ChildWindow(HWND parent, const char* className, DWORD style, DWORD exStyle, int left, int top, int width,
                int height);
    ChildWindow(const ChildWindow&) = delete;
    ChildWindow& operator=(const ChildWindow&) = delete;
    virtual ~ChildWindow();

    HWND handle() const { return hwnd_; }
    // The wrapper of a control, or null for a window that has none.
    static ChildWindow* fromHandle(HWND hwnd);
    const Scale& scale() const { return scale_; }
    // The parent went to another density: the control takes its bounds and
    // font again in pixels of `dpi`.
    virtual void dpiChanged(int dpi);

    // A notification a parent got from one of its children, handed to that
    // child's wrapper; false when the message is no such notification or the
    // child has none. Every form holding child controls calls this first.
    static bool reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The window font, made from `font` and owned by the control.
    void setFont(const Font& font);
    const Font& font() const { return font_; }
    std::string text() const;
    void setText(const std::string& text);
    void setBounds(int left, int top, int width, int height);
    RECT boundsRect() const { return bounds_; }  // in the parent's client area, in units
    void setVisible(bool visible);
    bool visible() const;
    void setFocus();
    // Places the control after `previous` in the tab order (null: first).
    void setTabOrderAfter(HWND previous);

protected:
    // A reflected notification; return true with `result` to answer it.
    virtual bool notified(UINT /*message*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }
    // The control's own messages, before the system's procedure sees them.
    virtual bool ownMessage(UINT /*message*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }
    LRESULT systemHandling(UINT message, WPARAM wParam, LPARAM lParam) {
        return CallWindowProcA(original_, hwnd_, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    void place();

    HWND hwnd_ = nullptr;
    WNDPROC original_ = nullptr;
    HFONT gdiFont_ = nullptr;
    Font font_;
    Scale scale_;
    RECT bounds_{};
};

// A one-line text field; OnChange follows every change of its text, typed or
// set by the program.
class EditBox : public ChildWindow {
public:
    EditBox(HWND parent, int left, int top, int width, int height, const std::string& text = "");
    std::function<void(EditBox&)> OnChange;

protected:
    bool notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// The tab strip of a page control. The pages themselves are panels that the
// owner shows and hides from OnChange; setting the active tab by program fires
// OnChange too, so the pages always follow the strip.
class TabControl : public ChildWindow {
public:
    TabControl(HWND parent, int left, int top, int width, int height);
    void addTab(const std::string& caption);
    int activeTab() const;
    void setActiveTab(int index);
    // The area the pages fill, in the tab control's client area, in units.
    RECT pageRect() const;
    std::function<void(TabControl&)> OnChange;

protected:
    bool notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// A borderless child form: it paints window-less controls (markup labels) and
// hosts child controls, whose notifications it reflects to them.
class Panel : public Form {
public:
    // `bounds` in the parent's client area, in units.
    Panel(HWND parent, const RECT& bounds);
    void setVisible(bool visible);
    void setBounds(const RECT& bounds);
    void dpiChanged(int dpi, const RECT* suggested) override;

protected:
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    RECT bounds_;
};

}  // namespace velmora
