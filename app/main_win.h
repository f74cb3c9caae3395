// The main window: owner of the game table, the game image list and the tray
// menu for the whole run. It stays hidden (it is the About window) and
// answers the messages a later copy of the program sends it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/link.h"
#include "app/tray/traymenu.h"
#include "app/velmoraglobal.h"
#include "markup/markuplabel_win.h"
#include "ui/form_win.h"

namespace velmora {

class Tsettingsform;
class Tloadform;

// Private messages between two copies of the program.
constexpr UINT WM_IDENTIFY = 32869;  // sent; the answer is kIdentifyAnswer
constexpr UINT WM_NUDGE = 32870;     // posted; ignored
constexpr UINT WM_OPENLINK = 32871;  // sent; wParam is a global atom naming the link
constexpr LRESULT kIdentifyAnswer = 945672;
// Posted to itself: lParam is a closed query window to release.
constexpr UINT WM_RELEASEQUERY = WM_USER + 20;

inline constexpr char kMainformClass[] = "Tmainform";
// The maker's page (a reserved example domain until the project has its own).
inline constexpr char kMakerAddress[] = "http://velmora.example.org/";
inline constexpr char kTitleText[] =
    "<b><font color=\"clblue\">Velmora</font></b> <font size=\"7\">v<i>1.1</i>";

class Tmainform : public Form {
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
    int gamefromport(const std::string& port) const;
    void addhistory(int g, const std::string& entry);
    void rebuildmenu();

    // Opens a new query window for game g on `address` ("host:port"), with
    // `title` as its caption when not empty, and shows it.
    void openquery(int g, const std::string& address, const std::string& title);
    // The query windows open now; a closed one is released soon after.
    const std::vector<std::unique_ptr<Tloadform>>& queries() const { return queries_; }
    // The tray icon's animation, switched by the query windows.
    void settrayanimated(bool on);
    // Opens a new manual join dialog for game g.
    void openmanual(int g);

    // The settings window the program start made (it outlives this window's
    // use of it); null in tests that make none.
    Tsettingsform* settingsform = nullptr;

    const std::vector<tplugin>& games() const { return games_; }
    HIMAGELIST gameimages() const { return gameimages_; }
    const TrayMenu& traymenu() const { return traymenu_; }

    // The About window's title line; FormCreate replaces the stored text.
    TMarkupLabel titlelabel;

protected:
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::vector<GameKey> gamekeys() const;
    void addgameimage(HICON icon);

    std::vector<tplugin> games_;
    HIMAGELIST gameimages_ = nullptr;
    TrayMenu traymenu_;
    std::vector<std::unique_ptr<Tloadform>> queries_;
};

// The folder of the running executable, with its trailing backslash.
std::string exefolder();
// The whole file at `path`, or nothing when it names no file.
std::optional<std::string> readlinkfile(const std::string& path);

}  // namespace velmora
