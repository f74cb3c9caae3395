// The whole road of a clicked link, with velmora.exe as a process of its own
// and real game servers on 127.0.0.1 (started by e2e_test.py, which names
// their ports): a player's first start sets up the file associations and the
// game's path in the settings window; a .server file opened through the
// shell starts a first copy, whose query window asks the server; a second
// file is handed to the running copy; "Join Game" starts the fake game. Every
// window on the way is compared with a committed picture.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/main_win.h"
#include "query/loading_win.h"
#include "query/querytexts.h"
#include "settings/settingsform_win.h"
#include "settings/settingsstore.h"
#include "tests/e2e/picture_win.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/keyboard_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/pointer_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/screenshot_win.h"
#include "tests/support/velmora_desktop_win.h"
#include "tests/support/velmora_process_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

// One game whose real server the driver started: how the link names it, the
// settings key its path goes to, and what its query window must show.
struct GameCase {
    const char* kind;      // the driver's server kind, and the pictures' suffix
    const char* gamename;  // the plug-in's display name, in the settings window's list
    const char* linkgame;  // the game field of its link
    const char* title;     // the link's title: the query window's caption
    query::DecodedTexts shown;  // name, game, mod, map, players (with filler), max players
};

// The game texts are the version strings of the servers Debian 12 packages.
const GameCase kGames[] = {
    {"qw", "QuakeWorld", "qws", "Friday QW",
     {"Velmora QW Room", "MVDSV 0.35", "ktx", "start", "   2", "8"}},
    {"q3", "OpenArena", "oa", "Friday OA",
     {"Velmora Arena", "ioq3 1.36+u20221123.70d07d9+dfsg-1/Debian linux-x86_64 Jan  8 2023", "baseoa",
      "oa_dm1", "   2", "8"}},
    {"nq", "Quake", "qs", "Friday NQ",
     {"Velmora NQ Room", "DarkPlaces-Quake", "id1", "start", "   2", "8"}},
};

void PrintTo(const GameCase& game, std::ostream* out) { *out << game.kind; }

const fs::path kTop = "C:\\velmora-e2e";
const std::string kRoot = "software\\Drovik\\Velmora";
// The program's folder, as a player unpacked it.
fs::path app() { return kTop / "Velmora"; }

// The port the driver's server listens on, or the reason it has none.
bool serverPort(const GameCase& game, int& port, std::string& why) {
    std::string name = std::string("VELMORA_E2E_") + game.kind;
    for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (const char* value = std::getenv(name.c_str())) {
        port = std::atoi(value);
        return port > 0;
    }
    const char* reason = std::getenv((name + "_SKIP").c_str());
    why = reason ? reason : "no server port given (run this program through tests/e2e/e2e_test.py)";
    return false;
}

// The query window's list, copied with Ctrl+C, against what quakestat -P
// listed for the same server (the driver's VELMORA_E2E_<KIND>_PLAYERS, one
// "name<tab>score<tab>ping" line per player in the window's order). Bots of
// OpenArena fight while the test runs, so their scores are only numbers.
void expectListedAsQuakestat(HWND query, const GameCase& game, const std::string& address) {
    std::string name = std::string("VELMORA_E2E_") + game.kind + "_PLAYERS";
    for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const char* listed = std::getenv(name.c_str());
    ASSERT_NE(listed, nullptr) << name;
    auto rows = [](const std::string& text, bool scores) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            if (!scores) {
                const size_t a = line.find('\t'), b = line.find('\t', a + 1);
                if (b != std::string::npos && line.compare(a + 1, b - a - 1, "spectator") != 0)
                    line.replace(a + 1, b - a - 1, "#");
            }
            out.push_back(line);
        }
        return out;
    };
    const bool exact = std::string(game.kind) != "q3";
    std::vector<std::string> want = rows(listed, exact), got;
    std::string copied;
    for (int attempt = 0; attempt < 100 && got != want; ++attempt) {
        SetForegroundWindow(query);
        test::Keyboard::releaseModifiers();
        test::Keyboard::press('C', {VK_CONTROL});
        Sleep(50);
        copied.clear();
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_TEXT)) {
                if (const char* text = static_cast<const char*>(GlobalLock(data))) copied = text;
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
        got = rows(copied.substr(std::min(copied.size(), copied.find('\n') + 1)), exact);
        if (!exact) {
            std::sort(got.begin(), got.end());
            std::sort(want.begin(), want.end());
        }
    }
    EXPECT_EQ(got, want) << "copied: " << copied;
    EXPECT_EQ(copied.substr(0, copied.find('\r')), address);
}

class EndToEnd : public ::testing::TestWithParam<GameCase> {
protected:
    void SetUp() override {
        testApplication();
        if (!serverPort(GetParam(), port_, why_)) GTEST_SKIP() << GetParam().kind << " server: " << why_;
        deleteClasses();
        deleteUserKey(kRoot);  // a player's first start
        removeTop();
        fs::create_directories(app() / "plugins");
        fs::copy_file(winePath(VELMORA_EXE_UNIX), app() / "velmora.exe");
        for (const char* plugin : {"quake", "quakeworld", "quake2", "quake3", "openarena"})
            fs::copy_file(fs::path(VELMORA_PLUGIN_DIR) / (std::string(plugin) + ".vlm"),
                          app() / "plugins" / (std::string(plugin) + ".vlm"));
        fs::create_directories(gameExe().parent_path());
        fs::copy_file(fs::path(VELMORA_FAKEGAME), gameExe());
    }
    void TearDown() override {
        running_.reset();
        deleteClasses();
        deleteUserKey(kRoot);
        EXPECT_TRUE(removeTop());
    }
    // An ended process's executable is released a little after its end.
    static bool removeTop() {
        return waitUntil([] {
            std::error_code error;
            fs::remove_all(kTop, error);
            return !error;
        });
    }
    fs::path gameExe() const { return kTop / (std::string(GetParam().gamename) + " game") / "fakegame.exe"; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string linkLine() const {
        return address() + " " + GetParam().linkgame + " \"" + GetParam().title + "\"";
    }

    int port_ = 0;
    std::string why_;
    std::unique_ptr<VelmoraProcess> running_;
};

// The layout of the windows, read from the program's own forms in this
// process (same fonts, same prefix): where the anchors and tabs are.
struct Layout {
    POINT fix{}, gamePathsTab{}, go{}, cancel{};
    int gameRow = -1;
    explicit Layout(const std::string& gamename) {
        Tmainform main;
        main.loadplugins(app().string() + "\\");
        for (size_t g = 0; g < main.games().size(); ++g)
            if (main.games()[g].gamename == gamename) gameRow = static_cast<int>(g);
        Tsettingsform settings(main.gametable(), main.gameimages());
        fix = anchorPoint(settings.aboutlabel, "fix");
        RECT tab{};
        TabCtrl_GetItemRect(settings.pages.handle(), 1, &tab);
        gamePathsTab = {(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2};
        Tloadform query(main);
        query.started = true;  // laid out only: no query
        go = anchorPoint(query.commands, "go");
        cancel = anchorPoint(query.commands, "cancel");
    }
};

// A player's first start: greeted, "fix associations" on the first page, the
// game's path typed on "Game Paths"; then the program is quit.
void setUpAsAPlayer(const GameCase& game, const Layout& layout, const fs::path& gameExe) {
    test::Pointer::park();
    VelmoraProcess velmora(app() / "velmora.exe", "");
    ASSERT_TRUE(velmora.started());
    MessageBoxWatcher boxes(velmora.id());
    ASSERT_TRUE(boxes.waitFor(1)) << "the first-run greeting";
    EXPECT_EQ(boxes.texts()[0], kFirstRunGreeting);
    const HWND settings = velmora.window("Tsettingsform");
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(settings) && !showsMessageBox(velmora.id()); }));
    HWND page = settingsPage(velmora);
    ASSERT_NE(page, nullptr);
    expectPicture(settings, "settings-velmora.bmp", {});

    postClick(page, layout.fix);
    ASSERT_TRUE(boxes.waitFor(2));
    EXPECT_EQ(boxes.texts()[1], "Fixed Associations.");
    ASSERT_TRUE(waitUntil([&] { return !showsMessageBox(velmora.id()); }));
    const std::string exe = (app() / "velmora.exe").string();
    EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, ".server", ""), "VelmoraFile");
    EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, "VelmoraFile\\shell\\open\\command", ""), "\"" + exe + "\" %1");

    const HWND tabs = visibleChild(settings, WC_TABCONTROLA);
    ASSERT_NE(tabs, nullptr);
    // The window takes clicks again once the confirmation has given it back.
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(settings) != FALSE; }));
    // Now and then the tab strip drops a click that comes right after the
    // box has gone; a player would click again, and so does the test, until
    // the page shows.
    // While the pages change over, neither may be visible: the page counts as
    // shown once it is visible with its game list and path field.
    HWND combo = nullptr, edit = nullptr;
    const auto gamePathsShown = [&] {
        const HWND shown = visibleChild(settings, "Tpanel");
        if (!shown || shown == page) return false;
        combo = visibleChild(shown, WC_COMBOBOXA);
        edit = visibleChild(shown, WC_EDITA);
        return combo && edit;
    };
    ASSERT_TRUE(waitUntil([&] {
        postClick(tabs, layout.gamePathsTab);
        return waitUntil(gamePathsShown, 1000);
    })) << "the Game Paths page";
    // The player picks the game in the list: the list selects it and tells its owner.
    ASSERT_GE(layout.gameRow, 0);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(layout.gameRow), 0);
    SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    const std::string path = gameExe.string();
    for (const char c : path) PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    const std::string key = gamekey(std::string(game.linkgame).substr(0, 3));
    EXPECT_TRUE(waitUntil([&] { return userValue(key, "path") == path + '\0'; }))
        << "typed, the path is stored: " << userValue(key, "path");
    expectPicture(settings, std::string("settings-gamepaths-") + game.kind + ".bmp", {});

    PostMessageA(velmora.window("Tmainform"), WM_CLOSE, 0, 0);
    EXPECT_EQ(velmora.waitExit(15000), 0u);
    EXPECT_EQ(boxes.messages().size(), 2u);
}

}  // namespace

TEST_P(EndToEnd, AClickedLinkIsQueriedAnsweredHandedOverAndJoined) {
    const GameCase& game = GetParam();
    const Layout layout(game.gamename);
    // What the query window must show, drawn by the program's own window in
    // this process; the ping and the port vary from run to run and are masked.
    const ExpectedQuery expected = expectedQuery(address(), game.shown);

    setUpAsAPlayer(game, layout, gameExe());
    if (HasFatalFailure()) return;

    // No copy runs: the shell starts one with the file, and it asks the server.
    test::Pointer::park();
    const HANDLE first = openThroughShell(kTop / "first link.server", linkLine());
    ASSERT_NE(first, nullptr);
    const DWORD firstId = GetProcessId(first);
    CloseHandle(first);
    MessageBoxWatcher boxes(firstId);
    HWND query = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        const auto shown = visibleWindows(firstId, "Tloadform");
        return !shown.empty() && (query = shown[0]) != nullptr;
    })) << "the first copy's query window";
    char caption[128] = {};
    GetWindowTextA(query, caption, sizeof caption);
    EXPECT_STREQ(caption, game.title);
    expectQueryShows(query, expected, std::string("query-") + game.kind + ".bmp");
    expectListedAsQuakestat(query, game, address());
    postClick(query, layout.cancel);
    EXPECT_TRUE(waitUntil([&] { return visibleWindows(firstId, "Tloadform").empty(); })) << "cancel closes it";

    // A copy runs: the next file is handed over, and the running copy opens it.
    const HANDLE second = openThroughShell(kTop / "second link.server", linkLine());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(WaitForSingleObject(second, 15000), WAIT_OBJECT_0) << "the second copy hands over and ends";
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(second, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_NE(GetProcessId(second), firstId);
    CloseHandle(second);
    ASSERT_TRUE(waitUntil([&] {
        const auto shown = visibleWindows(firstId, "Tloadform");
        return !shown.empty() && (query = shown[0]) != nullptr;
    })) << "the handed-over link's query window";
    expectQueryShows(query, expected, "");

    // "Join Game": the game starts in its own folder with param + host:port.
    const fs::path record = gameExe().parent_path() / "game_record.txt";
    postClick(query, layout.go);
    // Read until both lines are there: under Wine the record can be seen
    // before it opens for reading.
    std::string commandLine, folder;
    ASSERT_TRUE(waitUntil([&] {
        std::ifstream in(record);
        return std::getline(in, commandLine) && std::getline(in, folder);
    })) << "the game was started";
    if (!folder.empty() && folder.back() == '\r') folder.pop_back();
    const std::string exe = gameExe().string();
    std::string arguments = commandLine;
    for (const std::string& program : {"\"" + exe + "\"", exe})
        if (arguments.rfind(program, 0) == 0) {
            arguments = arguments.substr(program.size());
            break;
        }
    EXPECT_EQ(arguments, " +connect " + address()) << commandLine;
    EXPECT_EQ(fs::path(folder + "\\"), gameExe().parent_path() / "") << folder;
    EXPECT_TRUE(boxes.messages().empty()) << boxes.texts()[0];

    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, firstId);
    for (HWND main : VelmoraProcess::windowsOfClass("Tmainform")) {
        DWORD pid = 0;
        GetWindowThreadProcessId(main, &pid);
        if (pid == firstId) PostMessageA(main, WM_CLOSE, 0, 0);
    }
    if (process) {
        if (WaitForSingleObject(process, 15000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the first copy did not end when its main window closed";
            TerminateProcess(process, 99);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
}

INSTANTIATE_TEST_SUITE_P(RealServers, EndToEnd, ::testing::ValuesIn(kGames),
                         [](const ::testing::TestParamInfo<GameCase>& info) { return std::string(info.param.kind); });
