#include "ui/clipboard_win.h"

#include <cstring>

namespace velmora {

bool copyText(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    bool copied = false;
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* to = GlobalLock(block)) {
            std::memcpy(to, text.c_str(), text.size() + 1);
            GlobalUnlock(block);
            copied = SetClipboardData(CF_TEXT, block) != nullptr;
            if (!copied) GlobalFree(block);  // the clipboard owns it once set
        } else {
            GlobalFree(block);
        }
    }
    CloseClipboard();
    return copied;
}

}  // namespace velmora
