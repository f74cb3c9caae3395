// The main window: owner of the game table, the game image list and the tray
// menu for the whole run. It stays hidden (it is the About window) and
// answers the messages a later copy of the program sends it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/about_win.h"
#include "core/gametable.h"
#include "core/link.h"
#include "app/tray/imagemenu_win.h"
#include "app/tray/trayicon_win.h"
#include "app/tray/traymenu.h"
#include "base/exepath_win.h"
#include "core/velmoraglobal.h"
#include "markup/markuplabel_win.h"
#include "query/queryhost.h"
#include "settings/gamestore_win.h"
#include "ui/form_win.h"
#include "watch/watcher_win.h"
#include "velmora_version.h"

namespace velmora {

class Tsettingsform;
class Tmanualform;
class Tloadform;

// Private messages between two copies of the program.
constexpr UINT WM_IDENTIFY = 32869;  // sent; the answer is kIdentifyAnswer
constexpr UINT WM_NUDGE = 32870;     // posted; ignored
constexpr UINT WM_OPENLINK = 32871;  // sent; wParam is a global atom naming the link
// Posted by the uninstaller; the program ends as the tray's "&Quit" ends it.
constexpr UINT WM_QUITVELMORA = 32872;
constexpr LRESULT kIdentifyAnswer = 945672;
// Posted to itself: lParam is a closed query window to release.
constexpr UINT WM_RELEASEQUERY = WM_USER + 20;

inline constexpr char kMainformClass[] = "Tmainform";
// The maker's page (a reserved example domain until the project has its own).
inline constexpr char kMakerAddress[] = "http://velmora.example.org/";
// The About window's title line for a version number given as a literal.
#define VELMORA_TITLE_TEXT(version) \
    "<b><font color=\"clblue\">Velmora</font></b> <font size=\"7\">v<i>" version "</i>"
inline constexpr char kTitleText[] = VELMORA_TITLE_TEXT(VELMORA_VERSION_TEXT);

class Tmainform : public Form, public QueryHost {
public:
    Tmainform();
    ~Tmainform() override;

    // Builds the game table from the plug-ins beside the executable. An error
    // raised here ends it: the rows loaded so far stay, the rest is skipped.
    void FormCreate();
    // FormCreate's work for a given program folder (with its trailing
    // backslash).
    void loadplugins(const std::string& folder);
    void loadplugin(const std::string& file);

    void openlink(const std::string& arg);
    // A command line or a hand-off: a qw://, quake2:// or quake3:// link is
    // checked and opened for its scheme's game (a refused one is reported and
    // nothing opens); anything else goes to openlink.
    void opencmdline(const std::string& text);
    int gamefromport(const std::string& port) const { return games_.gamefromport(port); }
    // Puts `entry` first in game g's history and writes the history to the
    // registry, then rebuilds the menu from what is stored.
    void addhistory(int g, const std::string& entry);
    // addhistory's first half: the game's history and its registry value.
    void writehistory(int g, const std::string& entry);
    void rebuildmenu();

    // Opens a new query window for game g on `address` ("host:port"), with
    // `title` as its caption when not empty, and shows it.
    void openquery(int g, const std::string& address, const std::string& title);
    // The query windows open now; a closed one is released soon after.
    const std::vector<std::unique_ptr<Tloadform>>& queries() const { return queries_; }
    // What the query windows need of this window.
    const GameTable& gametable() const override { return games_; }
    void settrayanimated(bool on) override;
    void showgamepaths(int g) override;
    // Opens a new manual join dialog for game g: that game, the broadcast
    // address, its default port. Open dialogs are kept here; a closed one is
    // released.
    void openmanual(int g);
    const std::vector<std::unique_ptr<Tmanualform>>& manualforms() const { return manualforms_; }

    // The settings window the program start made (it outlives this window's
    // use of it); null in tests that make none.
    Tsettingsform* settingsform = nullptr;

    // The game table, which the settings window edits.
    GameTable& gametable() { return games_; }
    const std::vector<tplugin>& games() const { return games_.rows(); }
    HIMAGELIST gameimages() const { return gameimages_; }
    const TrayMenu& traymenu() const { return traymenu_; }

    // The About window's title line; FormCreate replaces the stored text.
    TMarkupLabel titlelabel;

    // The tray: the icon, the real menu built from traymenu(), and what its
    // items do (about_win.cpp, traymain_win.cpp).
    TTrayIcon tray;
    TImagePopupMenu& imagemenu() { return traypopup_; }
    void doimages(const MenuItem& item, int& index);
    void menutemplate(MenuChoice choice);
    void openserver(int g, const std::string& text);
    void showsettings();
    void showabout();
    void quit();
    void aboutlabelAnchorClick(TMarkupLabel& sender, const std::string& anchor);
    IconImage Image1, Image2;
    TMarkupLabel MarkupLabel1, aboutlabel;

    // The status watcher of every game's recent servers (watchmain_win.cpp),
    // started by the program start once the games are loaded (a window made
    // by a test watches nothing until it starts it). It reads "watch" and
    // "notify" again when the settings change them.
    void startwatch();
    void readwatchsettings();
    const watch::Watcher* watcher() const { return watcher_.get(); }
    // The length of the watcher's minute; tests make their rounds short.
    std::uint32_t watchminute = 60000;

protected:
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void formShow() override;

private:
    void buildabout();
    void buildtray();
    void syncmenu();
    void choose(const MenuItem& item, MenuChoice choice);

    // History and query window for a resolved link, or the message when no
    // game serves it.
    void openresolved(const ResolvedLink& link);
    void addgameimage(HICON icon);
    void stopwatch();
    void watchhistory();
    std::string menustatus(MenuChoice choice) const;
    void watchchanged();
    void watchballoon(const watch::Balloon& balloon);
    void balloonclick();

    RegistryGameStore store_;
    GameTable games_{store_};
    HIMAGELIST gameimages_ = nullptr;
    TrayMenu traymenu_;
    TImagePopupMenu traypopup_{traymenu_};
    std::unique_ptr<GdiImageList> gameimagelist_;
    int animations_ = 0;  // query windows whose query waits
    std::vector<std::unique_ptr<Tmanualform>> manualforms_;
    std::vector<std::unique_ptr<Tloadform>> queries_;
    std::unique_ptr<watch::Watcher> watcher_;
    std::optional<watch::Balloon> balloon_;  // the balloon shown last
};

// The start of the file at `path`, as far as its first line needs (a read
// error raises the system's text), or nothing when it names no file.
std::optional<std::string> readlinkfile(const std::string& path);

}  // namespace velmora
