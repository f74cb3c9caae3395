#include "app/handoff_win.h"

#include "ui/win32error_win.h"

namespace velmora {

bool HandOff::handle(UINT message, WPARAM wParam, LRESULT& result) {
    switch (message) {
        case WM_IDENTIFY:
            // A window that is going is no copy to hand a link to: the later
            // copy then starts as the first one.
            result = refused_ ? 0 : kIdentifyAnswer;
            return true;
        case WM_NUDGE: result = 0; return true;
        case WM_QUITVELMORA:
            result = 0;
            if (!refused_ && OnQuit) OnQuit();
            return true;
        case WM_OPENLINK: {
            result = 0;
            if (refused_ || !OnLink) return true;
            char link[260] = {};
            const UINT length = GlobalGetAtomNameA(static_cast<ATOM>(LOWORD(wParam)), link, sizeof link);
            if (length == 0) raiseLastWin32Error();
            OnLink(std::string(link, length));
            return true;
        }
        default: return false;
    }
}

}  // namespace velmora
