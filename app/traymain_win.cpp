// The main window's tray: the icon, its menu built from the menu model, and
// what the menu's items do.
#include "app/main_win.h"
#include "core/velmoraglobal.h"
#include "base/error.h"
#include "resources/resource.h"
#include "settings/settingsform_win.h"

namespace velmora {

namespace {
constexpr WORD kTrayInterval = 200;
}

void Tmainform::buildtray() {
    traypopup_.Images = gameimages_;
    traypopup_.OnGetImageIndex = [this](const MenuItem& item, int& index) { doimages(item, index); };
    traypopup_.OnChoose = [this](const MenuItem& item, MenuChoice choice) { choose(item, choice); };
    traypopup_.build();

    const HINSTANCE instance = GetModuleHandleA(nullptr);
    tray.icons().beginupdate();
    tray.icons().addfromresource(instance, IDI_TRAYBUSY);
    // The second frame is the still icon, so the animation blinks between them.
    tray.icons().addfromresource(instance, IDI_VELMORA);
    tray.icons().endupdate();
    tray.setInterval(kTrayInterval);
    tray.setHint("the Velmora");
    tray.PopupMenu = &traypopup_;
    tray.OnDblClick = [this] { showabout(); };
    tray.setIcon(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_VELMORA), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
}

void Tmainform::doimages(const MenuItem& item, int& index) { index = menuimage(item, index); }

void Tmainform::choose(const MenuItem& item, MenuChoice choice) {
    switch (item.action) {
        case MenuAction::Menutemplate: menutemplate(choice); break;
        case MenuAction::Showsettings: showsettings(); break;
        case MenuAction::Showabout: showabout(); break;
        case MenuAction::Quit: quit(); break;
        case MenuAction::None: break;
    }
}

void Tmainform::showsettings() {
    if (settingsform) settingsform->show();
}

void Tmainform::showgamepaths(int g) {
    if (settingsform) settingsform->showgamepaths(g);
}

// A server runs the link path again from the history entry as stored in
// the game table (not from its caption, which may be only the title).
void Tmainform::menutemplate(MenuChoice choice) {
    const MenuItem& parent = traymenu_.items().at(static_cast<size_t>(choice.top));
    const int g = parent.tag - 1;
    const MenuItem& chosen = parent.items.at(static_cast<size_t>(choice.sub));
    std::string text;
    if (chosen.caption == kEnterAddress) {
        text = kEnterAddress;
    } else {
        const std::vector<std::string> entries = splitstring(games_.at(g).history, ',');
        const int k = choice.sub - 2;
        if (k < 0 || k >= static_cast<int>(entries.size())) throwListIndex(k);
        text = entries[static_cast<size_t>(k)];
    }
    openserver(g, text);
}

void Tmainform::openserver(int g, const std::string& text) {
    if (text == kEnterAddress) {
        openmanual(g);
        return;
    }
    openlink(historylink(text, games_.at(g).gameid));
}

// Every query window switches the animation on when its query starts and
// off when it closes; the icon blinks while any of them still waits.
void Tmainform::settrayanimated(bool on) {
    if (on) ++animations_;
    else if (animations_ > 0) --animations_;
    tray.setAnimated(animations_ > 0);
}

void Tmainform::syncmenu() { traypopup_.build(); }

}  // namespace velmora
