// The running copy's side of the hand-off: the private messages a later copy
// (or the uninstaller) sends the main window, and the moment from which the
// window takes no more of them because what would serve them is going.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace velmora {

// Private messages between two copies of the program.
constexpr UINT WM_IDENTIFY = 32869;  // sent; the answer is kIdentifyAnswer
constexpr UINT WM_NUDGE = 32870;     // posted; ignored
constexpr UINT WM_OPENLINK = 32871;  // sent; wParam is a global atom naming the link
// Posted by the uninstaller; the program ends as the tray's "&Quit" ends it.
constexpr UINT WM_QUITVELMORA = 32872;
constexpr LRESULT kIdentifyAnswer = 945672;

class HandOff {
public:
    // A link handed over: the later copy's command line.
    std::function<void(const std::string& link)> OnLink;
    // The uninstaller asks the program to end.
    std::function<void()> OnQuit;

    // From now on the window says it is no running copy and takes no link.
    // The main window calls it first thing when it goes: a cross-process call
    // made while its parts are torn down (the tray icon's removal) lets a
    // later copy's hand-off run inside it.
    void refuse() { refused_ = true; }
    bool refused() const { return refused_; }

    // One of the private messages: handled, with its result; false for any
    // other message.
    bool handle(UINT message, WPARAM wParam, LRESULT& result);

private:
    bool refused_ = false;
};

}  // namespace velmora
