#include "settings/settingsform_win.h"

#include "ui/application_win.h"

namespace velmora {

const char kFirstRunGreeting[] =
    "this is the first time you've run the Velmora, right?\r\n\r\n"
    "well, youll have to setup a few things, like the different games' paths.\r\n\r\n"
    "*and* to enable the 'click 'n' frag' feature of the Velmora you have to click the thing that says "
    "\"fix associations\".\r\n\r\n"
    "have a nice day :)";

Tsettingsform::Tsettingsform() : Form("Tsettingsform", "Velmora Settings", 279, 235, FormStyle::FixedDialog) {}

void Tsettingsform::showgamepaths(int) { show(); }

void Tsettingsform::formShow() {
    if (firstrun) Application::current()->showMessage(kFirstRunGreeting);
}

void Tsettingsform::formCloseQuery(bool& canClose) {
    canClose = false;
    hide();
}

bool Tsettingsform::formMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    // Log-off and shut-down ask every window first; the settings window has
    // nothing unsaved (every change is stored at once), so it never objects.
    if (message == WM_QUERYENDSESSION) {
        result = TRUE;
        return true;
    }
    return false;
}

}  // namespace velmora
