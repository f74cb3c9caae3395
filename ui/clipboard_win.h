// Plain text on the clipboard, for pasting elsewhere.
#pragma once
#include <windows.h>

#include <string>

namespace velmora {

// Puts `text` on the clipboard as CF_TEXT, owned by `owner`; false when the
// clipboard could not be had.
bool copyText(HWND owner, const std::string& text);

}  // namespace velmora
