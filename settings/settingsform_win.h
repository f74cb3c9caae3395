// The settings window, created hidden once at start. Closing it only hides it.
#pragma once
#include "ui/form_win.h"

namespace velmora {

class Tsettingsform : public Form {
public:
    Tsettingsform();

    // Set by the program start when the settings root key did not exist.
    // Nothing clears it: every showing in such a run greets again.
    bool firstrun = false;

    // Shows the window on its "Game Paths" page with game g selected (the
    // join step, for a game without a path). Until the pages are built it
    // only shows the window.
    void showgamepaths(int g);

protected:
    void formShow() override;
    void formCloseQuery(bool& canClose) override;
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// The first-run greeting, four paragraphs.
extern const char kFirstRunGreeting[];

}  // namespace velmora
