#include "app/tray/tray_win.h"

#include "base/error.h"
#include "core/history.h"
#include "core/velmoraglobal.h"
#include "resources/resource.h"

namespace velmora {

namespace {
constexpr WORD kTrayInterval = 200;
}

Tray::Tray(const GameTable& games) : games_(games) {}

void Tray::build(HIMAGELIST images) {
    popup.Images = images;
    popup.OnGetImageIndex = [](const MenuItem& item, int& index) { index = menuimage(item, index); };
    popup.OnChoose = [this](const MenuItem& item, MenuChoice choice) { choose(item, choice); };
    popup.build();

    const HINSTANCE instance = GetModuleHandleA(nullptr);
    icon.icons().beginupdate();
    icon.icons().addfromresource(instance, IDI_TRAYBUSY);
    // The second frame is the still icon, so the animation alternates between them.
    icon.icons().addfromresource(instance, IDI_VELMORA);
    icon.icons().endupdate();
    icon.setInterval(kTrayInterval);
    icon.setHint("the Velmora");
    icon.PopupMenu = &popup;
    icon.OnDblClick = [this] {
        if (OnAbout) OnAbout();
    };
    icon.setIcon(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_VELMORA), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
}

void Tray::addgame(const tplugin& row) {
    model.addgamemenu(row.gamename, row.imageindex, historylist(row.history));
    popup.build();
}

void Tray::rebuild() {
    model.removegameitems();
    for (const auto& row : games_.rows()) model.addgamemenu(row.gamename, row.imageindex, historylist(row.history));
    popup.build();
}

void Tray::setanimated(bool on) {
    if (on) ++animations_;
    else if (animations_ > 0) --animations_;
    icon.setAnimated(animations_ > 0);
}

void Tray::choose(const MenuItem& item, MenuChoice choice) {
    const auto call = [](const std::function<void()>& handler) {
        if (handler) handler();
    };
    switch (item.action) {
        case MenuAction::Menutemplate: chooseserver(choice); break;
        case MenuAction::Findgame: call(OnFind); break;
        case MenuAction::Showsettings: call(OnSettings); break;
        case MenuAction::Showabout: call(OnAbout); break;
        case MenuAction::Quit: call(OnQuit); break;
        case MenuAction::None: break;
    }
}

// A server runs the link path again from the history entry as stored in
// the game table (not from its caption, which may be only the title).
void Tray::chooseserver(MenuChoice choice) {
    const MenuItem& parent = model.items().at(static_cast<size_t>(choice.top));
    const int g = parent.tag - 1;
    const MenuItem& chosen = parent.items.at(static_cast<size_t>(choice.sub));
    std::string entry;
    if (chosen.caption == kEnterAddress) {
        entry = kEnterAddress;
    } else {
        const std::vector<std::string> entries = splitstring(games_.at(g).history, ',');
        const int k = choice.sub - 2;
        if (k < 0 || k >= static_cast<int>(entries.size())) throwListIndex(k);
        entry = entries[static_cast<size_t>(k)];
    }
    if (OnServer) OnServer(g, entry);
}

}  // namespace velmora
