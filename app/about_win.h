// The About window's own pieces: a picture control that shows an icon, and
// the texts the window is made with.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ui/control_win.h"

namespace velmora {

// A window-less picture: one icon drawn at the control's size.
class IconImage : public GraphicControl {
public:
    IconImage(Form& parent, int left, int top, int width, int height);
    ~IconImage() override;
    HICON icon() const { return icon_; }
    // Takes ownership of the icon.
    void setIcon(HICON icon);
    void paint(HDC dc) override;

private:
    HICON icon_ = nullptr;
};

// The maker's e-mail address (a reserved example domain, like its page).
inline constexpr char kMakerMail[] = "velmora@example.org";

// The about text in its stored lines.
std::vector<std::string> abouttext();

}  // namespace velmora
