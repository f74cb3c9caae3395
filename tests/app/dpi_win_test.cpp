// The program's windows on screens of 96, 144 and 192 dpi. The screen's
// density is Wine's LogPixels, which a process reads when it starts: the
// test sets it and starts itself once per density to open every window
// (the About window, both settings pages, the manual join dialog, a query
// window with a player list, the tray menu). Each must open at its 96-dpi
// size times the screen's scale, within 2 pixels, with every text fitting
// its control; at 144 dpi each looks as its reference picture.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/main_win.h"
#include "query/loading_win.h"
#include "query/manual_win.h"
#include "settings/settingsform_win.h"
#include "tests/net/netloop_win.h"
#include "tests/net/udpresponder_win.h"
#include "tests/support/density_win.h"
#include "tests/support/menu_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/pointer_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/screenshot_win.h"
#include "ui/dpi_win.h"
#include "ui/label_win.h"

using namespace velmora;
using namespace velmora::testing;
using velmora::test::pump;
namespace fs = std::filesystem;

namespace {

const std::string kRoot = "software\\Drovik\\Velmora";
const std::string kPrefix("\xFF\xFF\xFF\xFF", 4);
// The densities, and the one the reference pictures are taken at.
constexpr int kDensities[] = {96, 144, 192};
constexpr int kPictureDpi = 144;
// The table's rows: 0 "Gamma Game" (a test plug-in), 1 QuakeWorld.
constexpr int kQuakeWorld = 1;

// Runs this test program's child half at the density set now; its output
// goes to the test's output. The child's exit status is gtest's.
DWORD runChild(int dpi, const std::string& report) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=DpiWindows.*";
    SetEnvironmentVariableA("VELMORA_DPI_CHILD", std::to_string(dpi).c_str());
    SetEnvironmentVariableA("VELMORA_DPI_REPORT", report.c_str());
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    SetEnvironmentVariableA("VELMORA_DPI_CHILD", nullptr);
    SetEnvironmentVariableA("VELMORA_DPI_REPORT", nullptr);
    if (!started) return 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, 180000);
    DWORD code = 0xFFFFFFFE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

using Sizes = std::map<std::string, SIZE>;

Sizes readReport(const std::string& path) {
    Sizes sizes;
    std::ifstream in(path);
    std::string name;
    SIZE size{};
    while (in >> name >> size.cx >> size.cy) sizes[name] = size;
    return sizes;
}

}  // namespace

TEST(DpiScaling, EveryWindowOpensAtItsSizeTimesTheScreensScale) {
    if (std::getenv("VELMORA_DPI_CHILD")) GTEST_SKIP() << "the child half";
    ASSERT_EQ(logPixels(), 96u) << "the test prefix is at 96 dpi";
    std::map<int, Sizes> measured;
    {
        DensityGuard guard;
        for (const int dpi : kDensities) {
            guard.set(dpi);
            const std::string report =
                (fs::temp_directory_path() / ("velmora-dpi-" + std::to_string(dpi) + ".txt")).string();
            fs::remove(report);
            EXPECT_EQ(runChild(dpi, report), 0u) << "the windows at " << dpi << " dpi (see above)";
            measured[dpi] = readReport(report);
        }
    }
    EXPECT_EQ(logPixels(), 96u);
    const Sizes& base = measured[96];
    ASSERT_EQ(base.size(), 6u) << "every window was measured at 96 dpi";
    for (const int dpi : kDensities) {
        ASSERT_EQ(measured[dpi].size(), base.size()) << dpi << " dpi";
        for (const auto& [name, size] : base) {
            const SIZE scaled = measured[dpi][name];
            const double factor = dpi / 96.0;
            EXPECT_NEAR(scaled.cx, size.cx * factor, 2.0) << name << " at " << dpi << " dpi, 96-dpi width " << size.cx;
            EXPECT_NEAR(scaled.cy, size.cy * factor, 2.0) << name << " at " << dpi << " dpi, 96-dpi height " << size.cy;
        }
    }
}

// ---- the child half: every window at the density this process started with ----

namespace {

std::vector<std::string> qwAnswer(const std::string&) {
    return {kPrefix + "n\\hostname\\Friday Frags\\map\\DM4\\maxclients\\16\\*gamedir\\ktx\\*version\\MVDSV 0.35\n" +
            "3 12 30 50 \"alpha\" \"\" 4 4\n7 5 31 60 \"beta\" \"\" 13 13\n"};
}

SIZE clientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}

SIZE textExtent(HWND control, const std::string& text) {
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size;
}

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The system's controls: an edit field shows its whole text, a list's row
// and a tab's caption have room for their font.
BOOL CALLBACK checkChild(HWND child, LPARAM window) {
    const std::string& name = *reinterpret_cast<const std::string*>(window);
    if (!IsWindowVisible(child)) return TRUE;
    const std::string cls = className(child);
    RECT client{};
    GetClientRect(child, &client);
    if (cls == "Edit") {
        char text[256] = {};
        GetWindowTextA(child, text, sizeof text);
        const SIZE extent = textExtent(child, text[0] ? text : "Xg");
        const DWORD margins = static_cast<DWORD>(SendMessageA(child, EM_GETMARGINS, 0, 0));
        EXPECT_LE(extent.cx + LOWORD(margins) + HIWORD(margins), client.right) << name << ": edit \"" << text << "\"";
        EXPECT_LE(extent.cy, client.bottom) << name << ": edit \"" << text << "\"";
    } else if (cls == "ComboBox") {
        const int row = static_cast<int>(SendMessageA(child, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
        EXPECT_GE(row, textExtent(child, "Xg").cy) << name << ": a list's selection field";
    } else if (cls == WC_TABCONTROLA) {
        const int count = static_cast<int>(SendMessageA(child, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char caption[64] = {};
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = caption;
            item.cchTextMax = sizeof caption;
            SendMessageA(child, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            RECT r{};
            SendMessageA(child, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
            const SIZE extent = textExtent(child, caption);
            EXPECT_LE(extent.cx, r.right - r.left) << name << ": tab \"" << caption << "\"";
            EXPECT_LE(extent.cy, r.bottom - r.top) << name << ": tab \"" << caption << "\"";
        }
    }
    return TRUE;
}

// Every markup text laid out at this density needs no more height than its
// label has, and the system's controls have room for theirs.
void expectTextsFit(Form& form, const std::string& name) {
    for (GraphicControl* control : form.controls()) {
        auto* label = dynamic_cast<TMarkupLabel*>(control);
        if (!label || !label->visible() || label->autoSizing()) continue;
        const int needed = label->laidOutHeight(label->markupText());
        EXPECT_LE(needed, label->height()) << name << ": the label at " << label->left() << "," << label->top()
                                           << " (" << label->markupText().front() << "...)";
    }
    std::string what = name;
    EnumChildWindows(form.handle(), &checkChild, reinterpret_cast<LPARAM>(&what));
}

class DpiWindows : public ::testing::Test {
protected:
    void SetUp() override {
        const char* child = std::getenv("VELMORA_DPI_CHILD");
        if (!child) GTEST_SKIP() << "started by DpiScaling at each density";
        dpi_ = std::atoi(child);
        report_.open(std::getenv("VELMORA_DPI_REPORT"));
        velmora::test::app();
        deleteUserKey(kRoot);
        folder_ = fs::temp_directory_path() / ("velmora-dpi-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        fs::copy_file(fs::path(VELMORA_TESTPLUGIN_DIR) / "gamma.vlm", folder_ / "plugins" / "a-gamma.vlm");
        fs::copy_file(fs::path(VELMORA_PLUGIN_DIR) / "quakeworld.vlm", folder_ / "plugins" / "b-quakeworld.vlm");
        velmora::test::Pointer::park();
    }
    void TearDown() override {
        if (!dpi_) return;
        deleteUserKey(kRoot);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    // The window's client size goes to the report; at the pictures' density
    // its picture is compared with the reference.
    void measure(HWND window, const std::string& name, bool reported = true) {
        const SIZE size = clientSize(window);
        if (reported) report_ << name << ' ' << size.cx << ' ' << size.cy << std::endl;
        if (dpi_ != kPictureDpi) return;
        const std::string shot = std::string(VELMORA_SHOT_DIR) + "/" + name + "-144dpi.bmp";
        capture(window, size.cx, size.cy, shot);
        // Wine's theme stretches the tab control's pane picture to the
        // density, and the 32- and 64-bit builds round a corner pixel or two
        // differently.
        expectGolden(shot, std::string(VELMORA_GOLDEN_DIR) + "/" + name + "-144dpi.bmp", 4);
    }
    void settle(HWND window) {
        pump(100);
        velmora::test::Pointer::leave(window);
        pump(100);
    }

    int dpi_ = 0;
    std::ofstream report_;
    fs::path folder_;
};

}  // namespace

TEST_F(DpiWindows, EachWindowAtThisDensity) {
    ASSERT_EQ(systemDpi(), dpi_) << "the process started at the density the test set";
    MessageBoxWatcher boxes;
    Tmainform main;
    main.loadplugins(folder_.string() + "\\");
    ASSERT_EQ(main.games().size(), 2u);
    EXPECT_EQ(main.dpi(), dpi_);

    main.show();
    settle(main.handle());
    expectTextsFit(main, "about");
    measure(main.handle(), "about");

    Tsettingsform settings(main.gametable(), main.gameimages());
    main.settingsform = &settings;
    main.gametable().setpath(kQuakeWorld, "C:\\Quake\\ezquake.exe");
    // A game's master list is longer than its field, which scrolls; one
    // master shows whether the field's room follows the density.
    main.gametable().setmasters(kQuakeWorld, "master.test:27000");
    settings.show();
    settle(settings.handle());
    expectTextsFit(settings, "settings-velmora");
    expectTextsFit(settings.vlmsheet, "settings-velmora page");
    measure(settings.handle(), "settings-velmora");
    settings.showgamepaths(kQuakeWorld);
    settle(settings.handle());
    expectTextsFit(settings.pathspage, "settings-gamepaths page");
    measure(settings.handle(), "settings-gamepaths");
    settings.hide();
    main.settingsform = nullptr;

    main.openmanual(kQuakeWorld);
    Tmanualform& manual = *main.manualforms().back();
    settle(manual.handle());
    expectTextsFit(manual, "manual-join");
    measure(manual.handle(), "manual-join");
    manual.close();

    velmora::test::UdpResponder server(qwAnswer);
    main.openquery(kQuakeWorld, "127.0.0.1:" + std::to_string(server.port()), "");
    Tloadform& query = *main.queries().back();
    ASSERT_TRUE(pump(10000, [&] { return query.started && query.finished; }));
    ASSERT_EQ(query.players.size(), 2u);
    // The responder's port and the ping change from run to run: the picture
    // shows a fixed address and the window's results with a fixed ping.
    query.elapsedMs = 42;
    query.ShowResults();
    query.Label2.setText("127.0.0.1:27500...");
    settle(query.handle());
    expectTextsFit(query, "query-players");
    measure(query.handle(), "query-players");
    query.close();

    // The tray menu, open at a fixed place. Its game rows are as high as the
    // program measures them; the menu's plain items and separators are the
    // system's own (under Wine they do not grow with the density), so the
    // rows are what is compared, and the picture shows the whole menu.
    main.addhistory(0, "127.0.0.1:27960");
    RECT row{};
    MenuDriver driver({{1, [&](HWND m) {
                            // Painted, its texts drawn.
                            const SIZE shown = clientSize(m);
                            settledCapture(m, shown.cx, shown.cy, [](const std::vector<Bgr>& picture) {
                                return countColour(picture, GetSysColor(COLOR_MENUTEXT)) > 50;
                            });
                            GetMenuItemRect(main.tray.handle(), main.imagemenu().handle(), 0, &row);
                            // Its height only: the menu's width is the system's.
                            report_ << "tray-menu-game-row 0 " << row.bottom - row.top << std::endl;
                            measure(m, "tray-menu", false);
                            MenuDriver::key(m, VK_ESCAPE);
                        }}});
    main.imagemenu().popup(main.tray.handle(), 40, 40);
    EXPECT_TRUE(driver.seen());
    EXPECT_GT(row.bottom - row.top, 0);
    EXPECT_TRUE(boxes.messages().empty());
}

// ---- a window that moves to a screen of another density ----

namespace {

SIZE windowSize(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// Where a child window lies in its parent's client area, in pixels.
RECT childRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LONG fontHeight(HWND control) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

}  // namespace

// The system tells a window its monitor's density changed: it takes the
// rectangle it is given, and its pages, fields and fonts follow; moved back,
// it is exactly as it was.
TEST(DpiChange, TheSettingsWindowTakesTheSuggestedPlaceAndLaysItselfOutAgain) {
    if (std::getenv("VELMORA_DPI_CHILD")) GTEST_SKIP() << "the child half";
    velmora::test::app();
    deleteUserKey(kRoot);
    MessageBoxWatcher boxes;
    Tmainform main;
    Tsettingsform settings(main.gametable(), main.gameimages());
    settings.show();
    pump(100);
    ASSERT_EQ(settings.dpi(), 96);
    const SIZE client96 = clientSize(settings.handle());
    const RECT edit96 = childRect(settings.pathedit.handle());
    const SIZE page96 = clientSize(settings.pathspage.handle());
    const LONG font96 = fontHeight(settings.pathedit.handle());

    for (const int dpi : {144, 192, 96}) {
        SCOPED_TRACE(dpi);
        const double factor = dpi / 96.0;
        const DWORD style = static_cast<DWORD>(GetWindowLongA(settings.handle(), GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(settings.handle(), GWL_EXSTYLE));
        RECT suggested = frameForClient({0, 0, Scale{dpi}.px(client96.cx), Scale{dpi}.px(client96.cy)}, style,
                                        exStyle, dpi);
        OffsetRect(&suggested, 30 - suggested.left, 20 - suggested.top);
        SendMessageA(settings.handle(), kDpiChangedMessage, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        pump(100);
        EXPECT_EQ(settings.dpi(), dpi);
        RECT now{};
        GetWindowRect(settings.handle(), &now);
        EXPECT_TRUE(EqualRect(&now, &suggested)) << now.left << "," << now.top << " " << windowSize(settings.handle()).cx;
        const RECT edit = childRect(settings.pathedit.handle());
        EXPECT_NEAR(edit.left, edit96.left * factor, 1.0);
        EXPECT_NEAR(edit.top, edit96.top * factor, 1.0);
        EXPECT_NEAR(edit.right - edit.left, (edit96.right - edit96.left) * factor, 1.0);
        const SIZE page = clientSize(settings.pathspage.handle());
        EXPECT_NEAR(page.cx, page96.cx * factor, 2.0) << "the page follows the strip";
        EXPECT_NEAR(page.cy, page96.cy * factor, 2.0);
        EXPECT_EQ(fontHeight(settings.pathedit.handle()), Scale{dpi}.fontPx(font96)) << "the field's font";
    }
    EXPECT_EQ(clientSize(settings.handle()).cx, client96.cx);
    EXPECT_EQ(clientSize(settings.handle()).cy, client96.cy);
    const RECT edit = childRect(settings.pathedit.handle());
    EXPECT_TRUE(EqualRect(&edit96, &edit)) << "back at 96 dpi, the field is where it was";
    EXPECT_TRUE(boxes.messages().empty());
}

// The About window moved to a 144-dpi screen draws as it does when it opens
// there: its labels at the new density and its pictures loaded again at
// their new size.
TEST(DpiChange, TheAboutWindowDrawsAsAWindowOpenedAtTheNewDensity) {
    if (std::getenv("VELMORA_DPI_CHILD")) GTEST_SKIP() << "the child half";
    velmora::test::app();
    deleteUserKey(kRoot);
    velmora::test::Pointer::park();
    Tmainform main;
    main.show();
    pump(100);
    const auto iconSize = [](HICON icon) {
        ICONINFO info{};
        BITMAP bitmap{};
        if (!icon || !GetIconInfo(icon, &info)) return 0L;
        GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return bitmap.bmWidth;
    };
    EXPECT_EQ(iconSize(main.Image2.icon()), 32L);
    RECT suggested{};
    GetWindowRect(main.handle(), &suggested);
    // The rectangle for a 407 x 288 client area inside the frame this
    // process draws (Wine keeps a process's frames at its first density).
    const RECT frame = frameForClient({0, 0, 407, 288}, static_cast<DWORD>(GetWindowLongA(main.handle(), GWL_STYLE)),
                                      static_cast<DWORD>(GetWindowLongA(main.handle(), GWL_EXSTYLE)), 96);
    suggested.right = suggested.left + frame.right - frame.left;
    suggested.bottom = suggested.top + frame.bottom - frame.top;
    SendMessageA(main.handle(), kDpiChangedMessage, MAKEWPARAM(kPictureDpi, kPictureDpi),
                 reinterpret_cast<LPARAM>(&suggested));
    UpdateWindow(main.handle());
    pump(100);
    velmora::test::Pointer::leave(main.handle());
    pump(100);
    EXPECT_EQ(iconSize(main.Image2.icon()), 48L) << "the program's picture, loaded again at 48 pixels";
    EXPECT_EQ(iconSize(main.Image1.icon()), 48L) << "the maker's logo";
    const SIZE client = clientSize(main.handle());
    ASSERT_EQ(client.cx, 407);
    ASSERT_EQ(client.cy, 288);
    // Pixel for pixel but for a few in the small italic version number,
    // whose glyphs Wine shapes by the density the process started with.
    const std::vector<Bgr> moved = capture(main.handle(), client.cx, client.cy, "");
    std::vector<Bgr> opened;
    int width = 0, height = 0;
    ASSERT_TRUE(readBitmap(readFile(std::string(VELMORA_GOLDEN_DIR) + "/about-144dpi.bmp"), opened, width, height));
    ASSERT_EQ(width, client.cx);
    ASSERT_EQ(height, client.cy);
    int differing = 0;
    for (size_t i = 0; i < moved.size(); ++i)
        differing += moved[i].r != opened[i].r || moved[i].g != opened[i].g || moved[i].b != opened[i].b;
    EXPECT_LE(differing, 40) << "of " << moved.size() << " pixels";
}
