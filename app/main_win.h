// The main window: it composes the program's parts for the whole run (the
// game table with the games' pictures, the tray, the status watcher, the
// query windows and the hand-off from later copies) and is itself the About
// window, hidden until asked for.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/about_win.h"
#include "app/handoff_win.h"
#include "app/querywindows_win.h"
#include "app/statuswatch_win.h"
#include "app/tray/tray_win.h"
#include "base/exepath_win.h"
#include "core/gametable.h"
#include "core/link.h"
#include "core/velmoraglobal.h"
#include "markup/markuplabel_win.h"
#include "query/queryhost.h"
#include "settings/gamestore_win.h"
#include "ui/form_win.h"
#include "velmora_version.h"

namespace velmora {

class Tsettingsform;
class Tmanualform;
class Tfindform;
class Tloadform;

inline constexpr char kMainformClass[] = "Tmainform";
// The maker's page (a reserved example domain until the project has its own).
inline constexpr char kMakerAddress[] = "http://velmora.example.org/";
// The About window's title line for a version number given as a literal.
#define VELMORA_TITLE_TEXT(version) \
    "<b><font color=\"clblue\">Velmora</font></b> <font size=\"7\">v<i>" version "</i>"
inline constexpr char kTitleText[] = VELMORA_TITLE_TEXT(VELMORA_VERSION_TEXT);

class Tmainform : public Form, public QueryHost {
    // Declared first, so it goes last: a hand-off or any other message that
    // arrives while the other parts are torn down finds it, refused.
    HandOff handoff_;

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
    const std::vector<std::unique_ptr<Tloadform>>& queries() const { return windows_.queries(); }
    // What the query windows need of this window.
    const GameTable& gametable() const override { return games_; }
    void settrayanimated(bool on) override { tray_.setanimated(on); }
    void showgamepaths(int g) override;
    // Opens a new manual join dialog for game g: that game, the broadcast
    // address, its default port. A closed dialog is released.
    void openmanual(int g);
    const std::vector<std::unique_ptr<Tmanualform>>& manualforms() const { return windows_.manualforms(); }

    // The settings window the program start made (it outlives this window's
    // use of it); null in tests that make none.
    Tsettingsform* settingsform = nullptr;

    // The game table, which the settings window edits.
    GameTable& gametable() { return games_; }
    const std::vector<tplugin>& games() const { return games_.rows(); }
    HIMAGELIST gameimages() const { return gameimages_; }
    const TrayMenu& traymenu() const { return tray_.model; }
    TImagePopupMenu& imagemenu() { return tray_.popup; }

    // The About window's title line; FormCreate replaces the stored text.
    TMarkupLabel titlelabel;
    IconImage Image1, Image2;
    TMarkupLabel MarkupLabel1, aboutlabel;

    // The tray's items (about_win.cpp).
    void openserver(int g, const std::string& text);
    void showsettings();
    // "Find a game" for the game with `gameid`, or every game for "": the
    // window is made on first use and refreshes when it opens.
    void openfind(const std::string& gameid);
    Tfindform* findform() const { return find_.get(); }
    void showabout();
    void quit();
    void aboutlabelAnchorClick(TMarkupLabel& sender, const std::string& anchor);

    // The status watcher of every game's recent servers, started by the
    // program start once the games are loaded (a window made by a test
    // watches nothing until it starts it).
    void startwatch() { watch_.start(); }
    void readwatchsettings() { watch_.readsettings(); }
    const watch::Watcher* watcher() const { return watch_.watcher(); }
    // The length of the watcher's minute; tests make their rounds short.
    void setwatchminute(std::uint32_t ms) { watch_.minute = ms; }

protected:
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void formShow() override;

private:
    void buildabout();
    // History and query window for a resolved link, or the message when no
    // game serves it.
    void openresolved(const ResolvedLink& link);
    void addgameimage(HICON icon);

    RegistryGameStore store_;
    GameTable games_{store_};
    HIMAGELIST gameimages_ = nullptr;
    std::unique_ptr<GdiImageList> gameimagelist_;
    Tray tray_{games_};

public:
    // The tray icon.
    TTrayIcon& tray = tray_.icon;

private:
    QueryWindows windows_;
    StatusWatch watch_{games_, tray_};
    std::unique_ptr<Tfindform> find_;
};

// The start of the file at `path`, as far as its first line needs (a read
// error raises the system's text), or nothing when it names no file.
std::optional<std::string> readlinkfile(const std::string& path);

}  // namespace velmora
