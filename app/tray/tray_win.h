// The tray as the program shows it: the icon with its animation, the menu
// model with one item per game, the real menu built from it, and what a
// chosen item asks the program for.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "app/tray/imagemenu_win.h"
#include "app/tray/trayicon_win.h"
#include "app/tray/traymenu.h"
#include "core/gametable.h"

namespace velmora {

class Tray {
public:
    // The games' history and names are read from `games` when a server is
    // chosen and when the menu is built again.
    explicit Tray(const GameTable& games);
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    // The icon (still, and the busy frames it blinks with) and the menu,
    // with the games' pictures from `images` (image i + 1 for game i).
    void build(HIMAGELIST images);
    // A game loaded after the others: its item goes first.
    void addgame(const tplugin& row);
    // Every game item made again from the table as it stands.
    void rebuild();
    // Every query window switches the animation on when its query starts and
    // off when it closes; the icon blinks while any of them still waits.
    void setanimated(bool on);

    TTrayIcon icon;
    TrayMenu model;
    TImagePopupMenu popup{model};

    // A chosen server: its game and its history entry as stored, or
    // kEnterAddress for the game's "Enter address...".
    std::function<void(int g, const std::string& entry)> OnServer;
    std::function<void()> OnFind;
    std::function<void()> OnSettings;
    std::function<void()> OnAbout;
    std::function<void()> OnQuit;

private:
    void choose(const MenuItem& item, MenuChoice choice);
    void chooseserver(MenuChoice choice);

    const GameTable& games_;
    int animations_ = 0;  // query windows whose query waits
};

}  // namespace velmora
