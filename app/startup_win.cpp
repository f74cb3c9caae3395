#include "app/startup_win.h"

#include <commctrl.h>

#include <memory>

#include "core/cmdline.h"
#include "app/main_win.h"
#include "base/error.h"
#include "settings/registry_win.h"
#include "settings/settingsform_win.h"
#include "settings/settingsstore.h"
#include "ui/application_win.h"
#include "ui/handles_win.h"
#include "ui/win32error_win.h"

namespace velmora {

namespace {

// Whether `hwnd` is a running copy's main window: it answers WM_IDENTIFY.
// A hung window cannot hang the start: it is given up on after a few seconds.
bool identifies(HWND hwnd) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(hwnd, WM_IDENTIFY, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) &&
           static_cast<LRESULT>(answer) == kIdentifyAnswer;
}

// How often the wait for the running copy looks whether it still answers.
constexpr DWORD kHandOffLookMs = 100;

void CALLBACK linkHandled(HWND, UINT, ULONG_PTR handled, LRESULT) { *reinterpret_cast<bool*>(handled) = true; }

// Sends the link and waits until the running copy has handled it. The
// handling may rightly take long: the running copy shows a box about a link
// it refuses and waits for the user inside it. So the wait ends not after a
// set time but when the running copy stops taking messages (the system's
// test of a hung window: none taken for five seconds) or its window goes.
// The answer comes back as a callback, which this thread takes as it pumps.
bool sendlink(HWND other, ATOM atom) {
    bool handled = false;
    if (IsHungAppWindow(other) ||
        !SendMessageCallbackA(other, WM_OPENLINK, atom, 0, &linkHandled, reinterpret_cast<ULONG_PTR>(&handled)))
        return false;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (handled) return true;
        if (!IsWindow(other) || IsHungAppWindow(other)) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kHandOffLookMs, QS_ALLINPUT);
    }
}

// The second copy: nudge the running one and pass the link in a global atom,
// which is deleted once the running copy has handled the link.
int handoff(HWND other, bool hasArguments, const std::string& cmdline) {
    PostMessageA(other, WM_NUDGE, 0, 0);
    if (!hasArguments) return 0;
    ScopedAtom atom(GlobalAddAtomA(cmdline.c_str()));
    if (!atom) raiseLastWin32Error();
    if (sendlink(other, atom.get())) return 0;
    // The message still waits in the running copy's queue and reads the atom
    // if that copy recovers: the atom stays, so it reads this link and no
    // other that took the atom's number.
    atom.release();
    throw Error(notansweringmessage(cmdline));
}

int firstcopy(bool hasArguments, const std::string& cmdline) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    Application app;
    app.setTitle("Velmora");

    Tmainform mainform;
    app.setMainForm(&mainform);
    try {
        mainform.FormCreate();
    } catch (const std::exception& e) {
        // The game table keeps the rows loaded so far; start-up goes on.
        Application::reportError(e);
    }

    Tsettingsform settingsform(mainform.gametable(), mainform.gameimages());
    settingsform.firstrun = false;
    mainform.settingsform = &settingsform;
    settingsform.OnWatchChange = [&mainform] { mainform.readwatchsettings(); };
    // The recent servers are watched from here on, with the games loaded.
    mainform.startwatch();

    if (hasArguments) {
        // An error in the start-up link ends the program after its report.
        try {
            mainform.opencmdline(cmdline);
        } catch (const std::exception& e) {
            Application::reportError(e);
            return 1;
        }
    }

    if (!Registry().keyExists(kSettingsRootKey)) {
        settingsform.firstrun = true;
        settingsform.show();
    }
    {
        Registry reg;
        reg.openKey(kSettingsRootKey, true);
        reg.writeString("", kSettingsRootValue);
    }

    app.run();
    return 0;
}

}  // namespace

std::string notansweringmessage(const std::string& link) {
    return "The running Velmora is not answering. This link waits for it:\r\n\r\n" + link +
           "\r\n\r\nIf Velmora stays stuck, end velmora.exe in the Task Manager and open the link again.";
}

// Only windows of our class are asked. They are looked up by class, not
// enumerated: under Wine, enumerating the top-level windows loads the display
// driver, which was half the time a second copy took to hand its link over.
HWND findrunningcopy() {
    for (HWND hwnd = FindWindowExA(nullptr, nullptr, kMainformClass, nullptr); hwnd;
         hwnd = FindWindowExA(nullptr, hwnd, kMainformClass, nullptr))
        if (identifies(hwnd)) return hwnd;
    return nullptr;
}

int runvelmora(const std::string& commandLine) {
    const HWND other = findrunningcopy();
    const auto arguments = splitcommandline(commandLine);
    const std::string cmdline = joinarguments(arguments);
    // Arguments that trim to nothing (a quoted blank) are no link: there is
    // nothing to resolve, and an empty atom cannot be made.
    const bool hasArguments = !cmdline.empty();
    try {
        if (other) return handoff(other, hasArguments, cmdline);
        return firstcopy(hasArguments, cmdline);
    } catch (const std::exception& e) {
        Application::reportError(e);
        return 1;
    }
}

}  // namespace velmora
