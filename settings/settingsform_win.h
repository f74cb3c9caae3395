// The settings window, created hidden once at start, right after the main
// window whose game table it shows and edits. Closing it only hides it.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "core/gametable.h"
#include "markup/markupcombo_win.h"
#include "markup/markuplabel_win.h"
#include "ui/childwindow_win.h"
#include "ui/form_win.h"
#include "ui/iconimage_win.h"

namespace velmora {

class Tsettingsform : public Form {
public:
    // The game table and its image list belong to the main window, which
    // outlives this window.
    Tsettingsform(GameTable& games, HIMAGELIST gameimages);
    ~Tsettingsform() override;

    // Set by the program start when the settings root key did not exist; the
    // greeting clears it, so it greets once.
    bool firstrun = false;

    // The join step, for a game without a path: the "Game Paths" page with
    // game g selected (no change event), its path in the field, then shown.
    void showgamepaths(int g);

    // The file dialog behind "browse...": the chosen file, or nothing when
    // cancelled. The system's open dialog unless a test replaces it.
    std::function<std::optional<std::string>(const std::string& initial)> opendialog;

    TMarkupLabel MarkupLabel1;
    TabControl pages;
    Panel vlmsheet;
    Panel pathspage;
    TMarkupLabel aboutlabel;
    IconImage Image1;
    TMarkupLabel MarkupLabel2;
    IconImage Image2;
    EditBox pathedit;
    TMarkupComboBox gamecombo;
    // The status watcher's rows on the first page: its interval in minutes
    // and its balloons on or off, stored at once as "watch" and "notify".
    TMarkupLabel watchlabel;
    TMarkupComboBox watchcombo;
    // The stored "watch" or "notify" changed.
    std::function<void()> OnWatchChange;
    // Below the path, the selected game's master servers for "Find a game":
    // typing stores them as the player's own list, "defaults" goes back to
    // the plug-in's. Disabled for a game whose plug-in lists no servers.
    TMarkupLabel masterslabel;
    TMarkupLabel defaultslabel;
    EditBox masteredit;

    void doclicks(const std::string& anchor);
    void loadpath();
    void pathChange();
    void MarkupLabel2AnchorClick(const std::string& anchor);
    void watchChange();
    void watchlabelAnchorClick(const std::string& anchor);
    void loadmasters();
    void mastersChange();
    void defaultslabelAnchorClick(const std::string& anchor);

protected:
    void formShow() override;
    void formCloseQuery(bool& canClose) override;
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Ctrl+Tab turns the pages; Enter is "Done", Escape closes (hides).
    bool formDialogKey(const MSG& msg) override;
    void formEnterKey() override;

private:
    void FormCreate();
    void showpage(int page);
    void loadwatch();

    GameTable& games_;
    // Set while the program fills the masters field, whose change would
    // otherwise store the defaults it shows as the player's own list.
    bool fillingmasters_ = false;
    HIMAGELIST iconlist_;
    GdiImageList icons_;
    GdiImageList gameimages_;
};

// The first-run greeting, four paragraphs.
extern const char kFirstRunGreeting[];

// The confirmation after "open game links".
extern const char kWebLinksRegistered[];

// The system's file-open dialog for a game's executable.
std::optional<std::string> findgamedialog(HWND owner, const std::string& initial);

}  // namespace velmora
