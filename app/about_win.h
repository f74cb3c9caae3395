// The About window's own pieces: a picture control that shows an icon, and
// the texts the window is made with.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ui/iconimage_win.h"

namespace velmora {

// A window-less picture: one icon drawn at the control's size.
// The maker's e-mail address (a reserved example domain, like its page).
inline constexpr char kMakerMail[] = "velmora@example.org";

// The about text in its stored lines.
std::vector<std::string> abouttext();

}  // namespace velmora
