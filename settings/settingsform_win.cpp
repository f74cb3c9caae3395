#include "settings/settingsform_win.h"

#include <commdlg.h>

#include <iterator>
#include <vector>

#include "core/plugincalls.h"
#include "markup/markupcombo.h"
#include "settings/associations_win.h"
#include "settings/registry_win.h"
#include "settings/settingsstore.h"
#include "ui/application_win.h"
#include "ui/handles_win.h"

namespace velmora {

const char kFirstRunGreeting[] =
    "this is the first time you've run the Velmora, right?\r\n\r\n"
    "well, youll have to setup a few things, like the different games' paths.\r\n\r\n"
    "*and* to enable the 'click 'n' frag' feature of the Velmora you have to click the thing that says "
    "\"fix associations\".\r\n\r\n"
    "have a nice day :)";

const char kWebLinksRegistered[] = "qw://, quake2:// and quake3:// links now open in the Velmora.";

namespace {

constexpr int kPageVelmora = 0;
constexpr int kPageGamePaths = 1;

HICON programIcon(int size) {
    // The program's own icon (resource 1), or the system's application icon
    // where the running module carries none.
    if (const HICON own = loadOwnedIcon(GetModuleHandleA(nullptr), 1, size)) return own;
    return loadOwnedIcon(nullptr, 32512 /* IDI_APPLICATION */, size);
}

// The three pictures of the labels: associations, start-up and path, game,
// `size` pixels square.
HIMAGELIST makeIcons(int size) {
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 3, 0);
    for (const WORD id : {WORD(32517) /* IDI_WINLOGO */, WORD(32516) /* IDI_INFORMATION */, WORD(32512)}) {
        // The list keeps a copy of each picture.
        const ScopedIcon icon(loadOwnedIcon(nullptr, id, size));
        ImageList_AddIcon(list, icon.get());
    }
    return list;
}

void verdana9(TMarkupLabel& label) {
    label.font = verdanaFont();
    label.setURLColor(0xFF0000);
}

}  // namespace

Tsettingsform::Tsettingsform(GameTable& games, HIMAGELIST gameimages)
    : Form("Tsettingsform", "Velmora Settings", 279, 235, FormStyle::FixedDialog),
      MarkupLabel1(*this, 240, 220, 32, 18),
      pages(handle(), 8, 8, 265, 208),
      // The pages are the form's own children, over the strip's page area, so
      // that the dialog keys reach their controls after the strip.
      vlmsheet(handle(), pages.pageRect()),
      pathspage(handle(), pages.pageRect()),
      aboutlabel(vlmsheet, 40, 8, 209, 140),
      Image1(vlmsheet, 2, 8, 32, 32),
      MarkupLabel2(pathspage, 40, 8, 209, 161),
      Image2(pathspage, 2, 8, 32, 32),
      // The path field comes first in the tab order, then the game list.
      pathedit(pathspage.handle(), 96, 79, 137, 21),
      gamecombo(pathspage.handle(), 96, 51, 153, 22),
      watchlabel(vlmsheet, 40, 145, 209, 34),
      watchcombo(vlmsheet.handle(), 205, 141, 44, 22),
      // Below the "browse..." line, in the page's free lower part; the field
      // follows the game list in the tab order.
      masterslabel(pathspage, 40, 117, 140, 16),
      defaultslabel(pathspage, 180, 117, 69, 16),
      masteredit(pathspage.handle(), 96, 135, 153, 21),
      games_(games),
      iconlist_(makeIcons(px(16))),
      icons_(iconlist_, dpi()),
      gameimages_(gameimages, imageListDpi(gameimages, 16)) {
    Image1.setIconSource(programIcon);
    Image2.setIconSource(programIcon);
    font.name = "MS Sans Serif";
    font.height = -11;
    pages.setFont(font);
    pages.addTab("Velmora");
    pages.addTab("Game Paths");
    // The pages fill the strip's page area, known once the tabs are in; they
    // lie above the strip, which leaves them out of its painting.
    RECT page = pages.pageRect();
    const RECT strip = pages.boundsRect();
    OffsetRect(&page, strip.left, strip.top);
    for (Panel* p : {&vlmsheet, &pathspage}) p->setBounds(page);
    pages.OnChange = [this](TabControl& t) { showpage(t.activeTab()); };
    pathedit.setFont(font);
    gamecombo.setFont(font);

    verdana9(MarkupLabel1);
    MarkupLabel1.setMarkupText({"<p align=\"right\"><a href=\"done\">Done</a>"});
    MarkupLabel1.OnAnchorClick = [this](TMarkupLabel&, const std::string& a) { doclicks(a); };

    verdana9(aboutlabel);
    aboutlabel.setImages(&icons_);
    aboutlabel.setMarkupText({
        "to enable the <i>click a link and start fragging</i> feature of the Velmora, files need to be "
        "assocciated, in a <i>special</i> way:",
        "<br>",
        "<img src=\"idx:0\" align=\"top\"> <a href=\"fix\">fix associations</a>",
        "<br><br>",
        "want the Velmora in your system tray everytime you boot up?",
        "<br>",
        "<img src=\"idx:1\" align=\"top\"> <a href=\"dostartup\">run at startup</a>",
        "<br><br>",
        "servers on web pages come as <i>qw://</i>, <i>quake2://</i> and <i>quake3://</i> links too:",
        "<br>",
        "<img src=\"idx:0\" align=\"top\"> <a href=\"dolinks\">open game links</a>",
        "",
        " ",
    });
    aboutlabel.OnAnchorClick = [this](TMarkupLabel&, const std::string& a) { doclicks(a); };

    verdana9(MarkupLabel2);
    MarkupLabel2.setImages(&icons_);
    MarkupLabel2.setMarkupText({
        "to join a game once you've found it you'll have to tell the Velmora where that game is.",
        "<br><br>",
        "<img src=\"idx:2\" align=\"top\"> game:",
        "<br><br>",
        "<img src=\"idx:1\" align=\"top\"> path:<br>",
        "<p align=\"right\"><a href=\"browse\">browse...</a>",
    });
    MarkupLabel2.OnAnchorClick = [this](TMarkupLabel&, const std::string& a) { MarkupLabel2AnchorClick(a); };

    verdana9(watchlabel);
    watchlabel.setImages(&icons_);
    watchlabel.OnAnchorClick = [this](TMarkupLabel&, const std::string& a) { watchlabelAnchorClick(a); };
    watchcombo.setFont(font);
    watchcombo.setEditHeight(16);
    watchcombo.setDropWidth(44);
    for (const char* choice : kWatchChoices) watchcombo.addItem(choice);
    watchcombo.OnChange = [this](TMarkupComboBox&) { watchChange(); };

    gamecombo.setEditHeight(16);
    gamecombo.setDropWidth(153);
    gamecombo.DropHeight = 200;
    gamecombo.setImages(&gameimages_);
    gamecombo.OnChange = [this](TMarkupComboBox&) {
        loadpath();
        loadmasters();
    };
    pathedit.OnChange = [this](EditBox&) { pathChange(); };

    verdana9(masterslabel);
    masterslabel.setImages(&icons_);
    masterslabel.setMarkupText({"<img src=\"idx:0\" align=\"top\"> master servers:"});
    verdana9(defaultslabel);
    defaultslabel.OnAnchorClick = [this](TMarkupLabel&, const std::string& a) { defaultslabelAnchorClick(a); };
    masteredit.setFont(font);
    masteredit.OnChange = [this](EditBox&) { mastersChange(); };

    opendialog = [this](const std::string& initial) { return findgamedialog(handle(), initial); };
    setDialogKeys(true);
    FormCreate();
}

Tsettingsform::~Tsettingsform() {
    // The labels and the combo drop the lists when they go.
    aboutlabel.setImages(nullptr);
    masterslabel.setImages(nullptr);
    watchlabel.setImages(nullptr);
    MarkupLabel2.setImages(nullptr);
    gamecombo.setImages(nullptr);
    ImageList_Destroy(iconlist_);
}

void Tsettingsform::FormCreate() {
    pages.setActiveTab(kPageVelmora);
    gamecombo.clearItems();
    for (int g = 0; g < games_.size(); ++g) gamecombo.addItem(gamelistitem(g, games_.at(g).gamename));
    gamecombo.setItemIndex(0);
    // Unlike the path, the master servers show at once: an empty field would
    // read as "no list" for the selected game.
    loadmasters();
    loadwatch();
}

namespace {
std::string rootvalue(const char* name) {
    Registry reg;
    return reg.openKey(kSettingsRootKey, false) ? reg.readString(name) : std::string();
}
void writerootvalue(const char* name, const std::string& text) {
    Registry reg;
    reg.openKey(kSettingsRootKey, true);
    reg.writeString(name, text);
}
}  // namespace

// The rows show what is stored; a missing or unknown "watch" shows the
// default, a missing "notify" shows on.
void Tsettingsform::loadwatch() {
    const std::string interval = rootvalue(kWatchValue);
    int index = -1, fallback = 0;
    for (int k = 0; k < static_cast<int>(std::size(kWatchChoices)); ++k) {
        if (interval == kWatchChoices[k]) index = k;
        if (std::string(kWatchDefault) == kWatchChoices[k]) fallback = k;
    }
    watchcombo.setItemIndex(index < 0 ? fallback : index);
    const bool on = rootvalue(kNotifyValue) != "0";
    watchlabel.setMarkupText({
        "<img src=\"idx:1\" align=\"top\"> watch recent servers, minutes:",
        "<br>",
        std::string("<img src=\"idx:1\" align=\"top\"> tell me when a game starts: <a href=\"notify\">") +
            (on ? "on" : "off") + "</a>",
    });
}

void Tsettingsform::watchChange() {
    const int k = watchcombo.ItemIndex();
    if (k < 0 || k >= static_cast<int>(std::size(kWatchChoices))) return;
    writerootvalue(kWatchValue, kWatchChoices[k]);
    if (OnWatchChange) OnWatchChange();
}

void Tsettingsform::watchlabelAnchorClick(const std::string& anchor) {
    if (anchor != "notify") return;
    writerootvalue(kNotifyValue, rootvalue(kNotifyValue) == "0" ? "1" : "0");
    loadwatch();
    if (OnWatchChange) OnWatchChange();
}

void Tsettingsform::showpage(int page) {
    // A control on the page that goes hands the focus to the strip.
    Panel& leaving = page == kPageVelmora ? static_cast<Panel&>(pathspage) : vlmsheet;
    if (IsChild(leaving.handle(), GetFocus())) pages.setFocus();
    vlmsheet.setVisible(page == kPageVelmora);
    pathspage.setVisible(page == kPageGamePaths);
}

bool Tsettingsform::formDialogKey(const MSG& msg) {
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages, as in the system's property sheets.
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || !(GetKeyState(VK_CONTROL) & 0x8000)) return false;
    const int count = 2;
    const int step = (GetKeyState(VK_SHIFT) & 0x8000) ? count - 1 : 1;
    pages.setActiveTab((pages.activeTab() + step) % count);
    return true;
}

void Tsettingsform::formEnterKey() { doclicks("done"); }

void Tsettingsform::showgamepaths(int g) {
    gamecombo.setItemIndex(g);
    loadpath();
    loadmasters();
    pages.setActiveTab(kPageGamePaths);
    show();
}

void Tsettingsform::formShow() {
    if (!firstrun) return;
    // Cleared at once: greeting again on every later showing would also throw
    // the join step's "Game Paths" page back to the first page.
    firstrun = false;
    pages.setActiveTab(kPageVelmora);
    Application::current()->showMessage(kFirstRunGreeting);
}

void Tsettingsform::formCloseQuery(bool& canClose) {
    canClose = false;
    hide();
}

void Tsettingsform::doclicks(const std::string& anchor) {
    if (anchor == "done") {
        hide();
    } else if (anchor == "fix") {
        fixassociations(exepath());
        Application::current()->showMessage("Fixed Associations.");
    } else if (anchor == "dostartup") {
        runatstartup(exepath());
        Application::current()->showMessage("made Startup shortcut (in the registry)");
    } else if (anchor == "dolinks") {
        registerweblinks(exepath());
        Application::current()->showMessage(kWebLinksRegistered);
    }
}

void Tsettingsform::loadpath() {
    const int g = gamecombo.ItemIndex();
    if (!games_.has(g)) return;
    pathedit.setText(games_.at(g).path);
}

void Tsettingsform::pathChange() {
    // With no game in the table there is nothing to store the text to.
    const int g = gamecombo.ItemIndex();
    if (!games_.has(g)) return;
    games_.setpath(g, pathedit.text());
}

void Tsettingsform::loadmasters() {
    const int g = gamecombo.ItemIndex();
    const tplugin* row = games_.has(g) ? &games_.at(g) : nullptr;
    // A row made without a library has no calls to ask: its list is kept.
    const bool lists = row && !(row->calls && !row->calls->lists());
    fillingmasters_ = true;
    masteredit.setText(row ? row->masters : std::string());
    fillingmasters_ = false;
    EnableWindow(masteredit.handle(), lists);
    defaultslabel.setEnabled(lists);
    defaultslabel.setMarkupText(
        {lists ? "<p align=\"right\"><a href=\"defaults\">defaults</a>" : "<p align=\"right\">defaults"});
}

void Tsettingsform::mastersChange() {
    const int g = gamecombo.ItemIndex();
    if (fillingmasters_ || !games_.has(g)) return;
    games_.setmasters(g, masteredit.text());
}

void Tsettingsform::defaultslabelAnchorClick(const std::string& anchor) {
    const int g = gamecombo.ItemIndex();
    if (anchor != "defaults" || !games_.has(g)) return;
    games_.resetmasters(g);
    loadmasters();
}

void Tsettingsform::MarkupLabel2AnchorClick(const std::string& anchor) {
    const std::string initial = pathedit.text();
    if (anchor != "browse") return;
    const std::optional<std::string> chosen = opendialog(initial);
    if (!chosen) return;
    const DWORD attributes = GetFileAttributesA(chosen->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    pathedit.setText(*chosen);
}

bool Tsettingsform::formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // Log-off and shut-down ask every window first; the settings window has
    // nothing unsaved (every change is stored at once), so it never objects.
    if (message == WM_QUERYENDSESSION) {
        result = TRUE;
        return true;
    }
    return ChildWindow::reflect(message, wParam, lParam, result);
}

std::optional<std::string> findgamedialog(HWND owner, const std::string& initial) {
    std::vector<char> file(MAX_PATH + 1, '\0');
    initial.copy(file.data(), MAX_PATH);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "game executables\0*.exe\0";
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = "Find the game";
    // The dialog appends the extension itself: it wants it without "*.".
    ofn.lpstrDefExt = "exe";
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&ofn)) return std::nullopt;
    return std::string(file.data());
}

}  // namespace velmora
