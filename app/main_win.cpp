#include "app/main_win.h"

#include "core/cmdline.h"
#include "core/history.h"
#include "core/pluginhost_win.h"
#include "core/urllink.h"
#include "base/error.h"
#include "base/text.h"
#include "find/findform_win.h"
#include "query/join_win.h"
#include "query/loading_win.h"
#include "query/manual_win.h"
#include "settings/settingsform_win.h"
#include "resources/resource.h"
#include "ui/application_win.h"
#include "ui/handles_win.h"
#include "ui/win32error_win.h"

namespace velmora {

std::optional<std::string> readlinkfile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) raiseLastWin32Error();
    DWORD failure = 0;
    const std::string bytes = readlinkbytes([&](char* buffer, std::size_t size) -> std::size_t {
        DWORD got = 0;
        if (ReadFile(file.get(), buffer, static_cast<DWORD>(size), &got, nullptr)) return got;
        failure = GetLastError();
        if (failure == 0) failure = ERROR_READ_FAULT;
        return 0;
    });
    // A failed read is no end of file: the line read so far is not the link.
    if (failure != 0) throw Error(win32ErrorText(failure));
    return bytes;
}

namespace {
// What the window stores; the plug-in loading always replaces it.
const char kStoredTitleText[] = VELMORA_TITLE_TEXT("1.0");
}  // namespace

Tmainform::Tmainform()
    : Form(kMainformClass, "About the Velmora", 271, 192, FormStyle::FixedDialog),
      titlelabel(*this, 48, 8, 209, 25),
      Image1(*this, 8, 48, 32, 32),
      Image2(*this, 8, 8, 32, 32),
      MarkupLabel1(*this, 8, 80, 34, 18),
      aboutlabel(*this, 48, 32, 217, 161),
      windows_(handle(), *this, games_) {
    titlelabel.font = verdanaFont(-16);
    titlelabel.font.bold = true;
    titlelabel.setMarkupText({kStoredTitleText});
    // The game images are 16 units square, drawn at this window's density.
    const int size = px(16);
    gameimages_ = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 4, 4);
    // Image 0 is the program's own hand: game i shows image i + 1.
    addgameimage(static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VELMORA), IMAGE_ICON, size, size, 0)));
    gameimagelist_ = std::make_unique<GdiImageList>(gameimages_, dpi());
    buildabout();
    tray_.build(gameimages_);
    tray_.OnServer = [this](int g, const std::string& entry) { openserver(g, entry); };
    tray_.OnFind = [this] { openfind(""); };
    tray_.OnSettings = [this] { showsettings(); };
    tray_.OnAbout = [this] { showabout(); };
    tray_.OnQuit = [this] { quit(); };
    watch_.OnOpenServer = [this](int g, const std::string& entry) { openserver(g, entry); };
    handoff_.OnLink = [this](const std::string& link) { opencmdline(link); };
    handoff_.OnQuit = [this] { quit(); };
}

// The parts go in the reverse order of their declaration: the watcher, the
// query windows, the tray, then the game table. The hand-off is refused
// before any of them goes.
Tmainform::~Tmainform() {
    handoff_.refuse();
    find_.reset();
    watch_.stop();
    if (gameimages_) ImageList_Destroy(gameimages_);
}

void Tmainform::addgameimage(HICON icon) {
    if (!icon) {
        // A plug-in without an icon still takes its place in the list, with an
        // empty image: black pixels under a mask that is transparent throughout.
        // A failed add would move every later game onto its neighbour's icon.
        int size = 0, ignored = 0;
        ImageList_GetIconSize(gameimages_, &size, &ignored);
        ScopedGdiObject blank(CreateCompatibleBitmap(WindowDC(nullptr).get(), size, size));
        const size_t rowBytes = static_cast<size_t>((size + 15) / 16 * 2);  // rows of bits, word-aligned
        const std::vector<BYTE> allTransparent(rowBytes * static_cast<size_t>(size), 0xFF);
        ScopedGdiObject mask(CreateBitmap(size, size, 1, 1, allTransparent.data()));
        if (!blank || !mask ||
            ImageList_Add(gameimages_, static_cast<HBITMAP>(blank.get()), static_cast<HBITMAP>(mask.get())) < 0)
            throw Error("Cannot add the empty game image to the image list");
        return;
    }
    ScopedIcon owned(icon);
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) raiseLastWin32Error();
    BITMAP bitmap{};
    GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
    const int width = bitmap.bmWidth;
    // A monochrome icon keeps its AND and XOR masks in one bitmap of twice the height.
    const int height = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    if (width < 16 || height < 16) throw Error("Invalid image size");
    if (ImageList_AddIcon(gameimages_, icon) < 0) raiseLastWin32Error();
}

void Tmainform::FormCreate() {
    loadplugins(exefolder());
}

void Tmainform::loadplugins(const std::string& folder) {
    const std::vector<std::string> names = listplugins(folder);
    if (names.empty()) {
        Application::current()->showMessage(std::string("no plugins found in the plugins folder \\plugins\\") +
                                            "\r\n\r\ncheck the folder or goto " + kMakerAddress +
                                            ", and download some!");
    } else {
        for (const auto& name : names) loadplugin(folder + "plugins\\" + name);
    }
    titlelabel.setMarkupText({kTitleText});
}

void Tmainform::loadplugin(const std::string& file) {
    // A file that does not load, or lacks one of the seven exports, is not a
    // plug-in: it is passed over and loading goes on with the next one.
    auto loaded = PluginLibrary::load(file);
    if (!loaded || !loaded->exports().complete()) return;
    // The game keeps its library loaded for the program's run: every reply is
    // decoded through it. A row that is not added lets it go.
    const std::shared_ptr<const PluginExports> plugin = PluginLibrary::keep(std::move(*loaded));
    const PluginExports& e = *plugin;

    tplugin row;
    row.gamename = plugintext(e.getgamename());
    row.gameid = plugintext(e.getgameid()).substr(0, 3);
    row.defport = plugintext(e.getdefport());
    row.sendstr = plugintext(e.getsendstr());
    row.param = plugintext(e.getparam());
    if (e.getmasters) row.defaultmasters = plugintext(e.getmasters());
    row.pluginfile = file;
    row.calls = plugin;

    addgameimage(e.getgameicon(file.c_str()));
    row.imageindex = ImageList_GetImageCount(gameimages_) - 1;
    // A stored value that cannot be read is reported, and the game loads
    // without it: the games after it load all the same.
    const std::string problem = games_.add(std::move(row));
    tray_.addgame(games_.rows().back());
    watch_.historychanged();
    if (!problem.empty())
        if (Application* app = Application::current()) app->showMessage(problem);
}

void Tmainform::openlink(const std::string& arg) {
    openresolved(resolvelink(linkline(arg, readlinkfile), games_.keys()));
}

void Tmainform::opencmdline(const std::string& text) {
    if (const auto gameid = findcommand(text)) {
        openfind(*gameid);
        return;
    }
    const WebLink web = parseweblink(text);
    switch (web.kind) {
        case WebLink::Kind::NotWeb: openlink(text); return;
        case WebLink::Kind::Refused: Application::current()->showMessage(web.message); return;
        // Never read as a file name: the link line is the checked address alone.
        case WebLink::Kind::Accepted: openresolved(resolveweblink(web, games_.keys())); return;
    }
}

void Tmainform::openresolved(const ResolvedLink& link) {
    if (!link.refusal.empty()) {
        // An address outside the host and port rules: nothing is asked or stored.
        Application::current()->showMessage(link.refusal);
        return;
    }
    if (link.game == -1) {
        Application::current()->showMessage("Game cannot be determindeded");
        return;
    }
    // The window first: the history and the menu are written once it shows
    // and has been painted.
    openquery(link.game, link.address, link.title);
    addhistory(link.game, link.historyEntry);
}

void Tmainform::openquery(int g, const std::string& address, const std::string& title) {
    windows_.openquery(g, address, title);
}

void Tmainform::openmanual(int g) {
    windows_.openmanual(g, gameimages_, [this](int game, const std::string& address) {
        addhistory(game, address);
        openquery(game, address, "");
    });
}

void Tmainform::openfind(const std::string& gameid) {
    if (!find_) {
        find_ = std::make_unique<Tfindform>(games_);
        // A server chosen in the list opens as a link would: its query
        // window first, then the history.
        find_->OnOpen = [this](int g, const std::string& address) {
            openquery(g, address, "");
            addhistory(g, address);
        };
        find_->OnJoin = [this](int g, const std::string& address) {
            addhistory(g, address);
            joingame(*this, find_->handle(), g, address);
        };
    }
    find_->open(gameid);
}

void Tmainform::showsettings() {
    if (settingsform) settingsform->show();
}

void Tmainform::showgamepaths(int g) {
    if (settingsform) settingsform->showgamepaths(g);
}

// A server chosen in the tray menu or in a balloon: its stored history entry
// goes through the whole link path again, with its game.
void Tmainform::openserver(int g, const std::string& text) {
    if (text == kEnterAddress) {
        openmanual(g);
        return;
    }
    openlink(historylink(text, games_.at(g).gameid));
}

void Tmainform::addhistory(int g, const std::string& entry) {
    writehistory(g, entry);
    rebuildmenu();
}

void Tmainform::writehistory(int g, const std::string& entry) { games_.addhistory(g, entry); }

void Tmainform::rebuildmenu() {
    // The menu shows what is stored: games sharing a key show the same servers.
    games_.reloadhistory();
    tray_.rebuild();
    watch_.historychanged();
}

bool Tmainform::formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (handoff_.handle(message, wParam, result)) return true;
    // While the window goes, its parts may be gone already.
    if (handoff_.refused()) return false;
    return windows_.handle(message, lParam, result);
}

}  // namespace velmora
