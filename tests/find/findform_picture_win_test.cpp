// "Find a game" as people see it, at 96 dpi and on a screen of 144 dpi,
// compared with its reference pictures. find_pictures_test.py stands in for
// five servers of three games on fixed loopback ports, each giving the same
// status every run, and a sixth listed port that never answers; the master
// stand-in lists them all. The screen's density is Wine's LogPixels, read
// when a process starts: the 144-dpi picture is taken by this program
// started again after setting it.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

#include "app/main_win.h"
#include "find/findform_win.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/density_win.h"
#include "tests/support/pointer_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/screenshot_win.h"
#include "ui/dpi_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

constexpr const char* kRoot = "software\\Drovik\\Velmora";
const char kChildDpi[] = "VELMORA_FIND_PICTURE_DPI";

// What the window shows once every server has answered or given up, in the
// first order (players, most first). The pings are the picture's own: a
// measured one moves by a millisecond from run to run.
struct ShownRow {
    const char* address;
    const char* name;
    const char* game;
    const char* map;
    const char* players;
    int ping;  // -1: the server never answered
};
constexpr ShownRow kShown[] = {
    {"127.0.0.1:27520", "Friday Frags", "QuakeWorld", "dm4", "5/16", 24},
    {"127.0.0.1:27980", "Arena of Velmora", "OpenArena", "oa_dm4", "3/12", 48},
    {"127.0.0.1:27521", "Velmora Duel", "QuakeWorld", "aerowalk", "2/2", 31},
    {"127.0.0.1:26020", "Velmora Quake", "Quake", "e1m1", "1/8", 17},
    {"127.0.0.1:27981", "Instagib CTF", "OpenArena", "oa_ctf2", "0/8", 63},
    {"127.0.0.1:27522", "", "QuakeWorld", "", "", -1},
};
const char kStatus[] = "6 servers, 5 answered, 11 players";

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// This program again, running only the child half at `dpi`; its output goes
// to the test's. The exit status is gtest's.
DWORD runChild(int dpi) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=FindPicture.TheChildHalfAtItsDensity";
    SetEnvironmentVariableA(kChildDpi, std::to_string(dpi).c_str());
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    SetEnvironmentVariableA(kChildDpi, nullptr);
    if (!started) return 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, 180000);
    DWORD code = 0xFFFFFFFE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Where a child window lies in its parent's client area, in pixels.
RECT childRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

// A text's size in `font` (a window's font handle), "&" drawn as an underline.
SIZE textSize(HFONT font, const std::string& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return {r.right - r.left, r.bottom - r.top};
}

HFONT windowFont(HWND window) { return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)); }

std::string windowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

class FindPicture : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = env("VELMORA_FIND_PICTURE_MASTER");
        if (master_.empty()) GTEST_SKIP() << "run by find_pictures_test.py, which stands in for the servers";
        testApplication();
        deleteUserKey(kRoot);
        folder_ = fs::temp_directory_path() / ("velmora-findpicture-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        for (const char* plugin : {"quake", "quakeworld", "openarena"})
            fs::copy_file(fs::path(VELMORA_PLUGIN_DIR) / (std::string(plugin) + ".vlm"),
                          folder_ / "plugins" / (std::string(plugin) + ".vlm"));
        // Every game asks the stand-in alone: no test reaches a real master.
        for (const char* id : {"qs", "qws", "oa"}) setUserString(std::string(kRoot) + "\\" + id, "masters", master_);
    }
    void TearDown() override {
        form_.reset();
        deleteUserKey(kRoot);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Opens the window with its first filters and waits until every server
    // has answered or given up.
    Tfindform& openAndWait() {
        form_ = std::make_unique<Tmainform>();
        form_->loadplugins(folder_.string() + "\\");
        velmora::test::Pointer::park();
        form_->openfind("");
        Tfindform& find = *form_->findform();
        EXPECT_TRUE(pumpUntil(30000, [&] { return find.finder() && !find.finder()->working(); }))
            << find.status();
        pump();
        return find;
    }

    // The picture of the window at the density this process started with,
    // after checking it shows what the picture is meant to show.
    void picture(const std::string& name) {
        Tfindform& find = openAndWait();
        EXPECT_EQ(find.dpi(), systemDpi());
        ASSERT_EQ(find.rows().size(), std::size(kShown)) << find.status();

        // A measured ping moves by a millisecond from run to run: as the query
        // window's pictures show a fixed ping, this one shows the window's
        // own rows (the finder's, which the window reads while painting) with
        // fixed pings, ordered again the way a change of a filter orders them.
        auto& rows = const_cast<std::vector<find::ServerRow>&>(find.rows());
        for (find::ServerRow& row : rows)
            for (const ShownRow& shown : kShown)
                if (row.address == shown.address && row.state == find::Answer::Answered) row.ping = shown.ping;
        SendMessageA(find.handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(find.pingcombo.handle()), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(find.pingcombo.handle()));

        ASSERT_EQ(find.shown().size(), std::size(kShown));
        for (size_t k = 0; k < std::size(kShown); ++k) {
            const ShownRow& want = kShown[k];
            const find::ServerRow& row = find.rows()[find.shown()[k]];
            SCOPED_TRACE(want.address);
            EXPECT_EQ(row.address, want.address);
            EXPECT_EQ(find::celltext(row, find::Column::Name), want.name);
            EXPECT_EQ(find::celltext(row, find::Column::Game), want.game);
            EXPECT_EQ(find::celltext(row, find::Column::Map), want.map);
            EXPECT_EQ(find::celltext(row, find::Column::Players), want.players);
            EXPECT_EQ(find::celltext(row, find::Column::Ping),
                      want.ping < 0 ? std::string(find::kNoAnswerText) : std::to_string(want.ping));
        }
        EXPECT_EQ(find.status(), kStatus);
        expectFirstFilters(find);
        expectSortArrowOnPlayers(find);
        expectLayoutFits(find);

        velmora::test::Pointer::leave(find.handle());
        pump();
        RECT client{}, frame{};
        GetClientRect(find.handle(), &client);
        // The picture is read off the screen: all of the window is on it.
        GetWindowRect(find.handle(), &frame);
        EXPECT_TRUE(frame.left >= 0 && frame.top >= 0 && frame.right <= GetSystemMetrics(SM_CXSCREEN) &&
                    frame.bottom <= GetSystemMetrics(SM_CYSCREEN))
            << describe(frame);
        const std::string shot = std::string(VELMORA_SHOT_DIR) + "/" + name;
        // Painted, with the status line's text in it.
        settledCapture(find.handle(), client.right, client.bottom, [](const std::vector<Bgr>& p) {
            return countColour(p, GetSysColor(COLOR_WINDOWTEXT)) > 200;
        });
        capture(find.handle(), client.right, client.bottom, shot);
        expectGolden(shot, std::string(VELMORA_GOLDEN_DIR) + "/" + name);
    }

    // Nothing hidden: every game, empty and full servers, any ping, no text.
    void expectFirstFilters(Tfindform& find) {
        EXPECT_EQ(find.gamecombo.selected(), 0);
        EXPECT_EQ(windowText(find.gamecombo.handle()), "all games");
        EXPECT_FALSE(find.hideempty.checked());
        EXPECT_FALSE(find.hidefull.checked());
        EXPECT_EQ(windowText(find.pingcombo.handle()), "any");
        EXPECT_EQ(find.filteredit.text(), "");
    }

    // The first order is by players, most first: the arrow on "Players"
    // points down, and no other header has one.
    void expectSortArrowOnPlayers(Tfindform& find) {
        const HWND header = reinterpret_cast<HWND>(SendMessageA(find.list.handle(), LVM_GETHEADER, 0, 0));
        ASSERT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), find::kColumns);
        for (int c = 0; c < find::kColumns; ++c) {
            HDITEMA item{};
            item.mask = HDI_FORMAT;
            SendMessageA(header, HDM_GETITEMA, c, reinterpret_cast<LPARAM>(&item));
            const bool players = c == static_cast<int>(find::Column::Players);
            EXPECT_EQ((item.fmt & HDF_SORTDOWN) != 0, players) << "column " << c;
            EXPECT_EQ(item.fmt & HDF_SORTUP, 0) << "column " << c;
        }
    }

    // The row above the list: each text has the room it needs, and no two
    // controls share a pixel.
    void expectLayoutFits(Tfindform& find) {
        struct Placed {
            std::string what;
            RECT at;
        };
        std::vector<Placed> placed;
        for (Label* label : {&find.gamelabel, &find.pinglabel, &find.filterlabel}) {
            const RECT at = label->pixelBounds();
            placed.push_back({"label \"" + label->text() + "\"", at});
            HFONT font = createFont(label->font, find.dpi());
            const SIZE need = textSize(font, label->text());
            DeleteObject(font);
            EXPECT_LE(need.cx, at.right - at.left) << "label \"" << label->text() << "\" at " << describe(at);
            EXPECT_LE(need.cy, at.bottom - at.top) << "label \"" << label->text() << "\" at " << describe(at);
        }
        // A check box's text follows its box and a gap of about a third of
        // the box.
        const int box = MulDiv(13, find.dpi(), 96), gap = MulDiv(4, find.dpi(), 96);
        for (CheckBox* check : {&find.hideempty, &find.hidefull}) {
            const RECT at = childRect(check->handle());
            const std::string text = windowText(check->handle());
            placed.push_back({"check box \"" + text + "\"", at});
            const SIZE need = textSize(windowFont(check->handle()), text);
            EXPECT_LE(box + gap + need.cx, at.right - at.left) << "check box \"" << text << "\" at " << describe(at);
            EXPECT_LE(need.cy, at.bottom - at.top) << "check box \"" << text << "\" at " << describe(at);
        }
        for (DropDownList* list : {&find.gamecombo, &find.pingcombo}) {
            const RECT at = childRect(list->handle());
            placed.push_back({"drop-down \"" + windowText(list->handle()) + "\"", at});
            // The widest choice beside the arrow button.
            int widest = 0;
            const int count = static_cast<int>(SendMessageA(list->handle(), CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                char text[128] = {};
                SendMessageA(list->handle(), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                widest = std::max(widest, static_cast<int>(textSize(windowFont(list->handle()), text).cx));
            }
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            GetComboBoxInfo(list->handle(), &info);
            EXPECT_LE(widest, info.rcItem.right - info.rcItem.left)
                << "drop-down at " << describe(at) << ": its widest choice";
        }
        placed.push_back({"filter field", childRect(find.filteredit.handle())});
        const RECT list = childRect(find.list.handle());
        RECT client{};
        GetClientRect(find.handle(), &client);
        for (size_t a = 0; a < placed.size(); ++a) {
            const RECT& r = placed[a].at;
            EXPECT_GE(r.left, 0) << placed[a].what << " at " << describe(r);
            EXPECT_LE(r.right, client.right) << placed[a].what << " at " << describe(r);
            EXPECT_LE(r.bottom, list.top) << placed[a].what << " at " << describe(r) << " reaches the list";
            for (size_t b = a + 1; b < placed.size(); ++b) {
                RECT both{};
                EXPECT_FALSE(IntersectRect(&both, &r, &placed[b].at))
                    << placed[a].what << " at " << describe(r) << " overlaps " << placed[b].what << " at "
                    << describe(placed[b].at);
            }
        }
        // Each column's caption beside the header's margins, and the sort
        // arrow beside "Players".
        const HWND header = reinterpret_cast<HWND>(SendMessageA(find.list.handle(), LVM_GETHEADER, 0, 0));
        const int margin = 2 * GetSystemMetrics(SM_CXEDGE) * 3, arrow = MulDiv(8, find.dpi(), 96);
        for (int c = 0; c < find::kColumns; ++c) {
            char caption[64] = {};
            HDITEMA item{};
            item.mask = HDI_TEXT;
            item.pszText = caption;
            item.cchTextMax = sizeof caption;
            SendMessageA(header, HDM_GETITEMA, c, reinterpret_cast<LPARAM>(&item));
            RECT r{};
            SendMessageA(header, HDM_GETITEMRECT, c, reinterpret_cast<LPARAM>(&r));
            const int need = textSize(windowFont(header), caption).cx + margin +
                             (c == static_cast<int>(find::Column::Players) ? arrow : 0);
            EXPECT_LE(need, r.right - r.left) << "header \"" << caption << "\" at " << describe(r);
        }
    }

    std::string master_;
    fs::path folder_;
    std::unique_ptr<Tmainform> form_;
};

}  // namespace

TEST_F(FindPicture, At96Dpi) {
    if (!env(kChildDpi).empty()) GTEST_SKIP() << "the child half";
    ASSERT_EQ(systemDpi(), 96) << "the test prefix is at 96 dpi";
    picture("find-a-game.bmp");
}

TEST_F(FindPicture, At144DpiOnAScreenOfThatDensity) {
    if (!env(kChildDpi).empty()) GTEST_SKIP() << "the child half";
    DensityGuard density(144);
    EXPECT_EQ(runChild(144), 0u) << "the window at 144 dpi (see above)";
}

// Started by At144DpiOnAScreenOfThatDensity with the density set.
TEST_F(FindPicture, TheChildHalfAtItsDensity) {
    const int dpi = std::atoi(env(kChildDpi).c_str());
    if (!dpi) GTEST_SKIP() << "started by At144DpiOnAScreenOfThatDensity";
    ASSERT_EQ(systemDpi(), dpi) << "the process started at the density the test set";
    picture("find-a-game-" + std::to_string(dpi) + "dpi.bmp");
}
