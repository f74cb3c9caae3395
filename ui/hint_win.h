// The tip window a form shows when the mouse rests on a control that has a
// hint: a small bordered popup with one line of text.
#pragma once
#include <string>

#include "ui/window_win.h"

namespace velmora {

class HintWindow : public Window {
public:
    HintWindow();
    // Shows `text` with the window's top-left corner at the screen point `where`.
    void showAt(const std::string& text, POINT where);
    // The same, drawn at `dpi` (the density of the monitor at `where`).
    void showAt(const std::string& text, POINT where, int dpi);
    void hide();
    bool visible() const;
    const std::string& text() const { return text_; }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::string text_;
    int dpi_ = 96;
};

}  // namespace velmora
