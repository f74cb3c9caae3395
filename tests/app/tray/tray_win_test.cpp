// The tray under Wine: the icon in the shell's notification area, the real
// popup menu read back from its handle and driven with keys, the About
// window, the animation, and pictures of the menu and the About window.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "app/main_win.h"
#include "app/tray/trayicon_win.h"
#include "base/error.h"
#include "resources/resource.h"
#include "tests/support/menu_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/screenshot_win.h"
#include "ui/application_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

const std::string kRoot = "software\\Drovik\\Velmora";

Application& app() {
    static Application* application = Application::current() ? Application::current() : new Application();
    return *application;
}

// Handles messages until `done` holds, at most `ms`.
bool pumpUntil(const std::function<bool()>& done, DWORD ms = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        app().processMessages();
        Sleep(5);
    }
    return true;
}

// The shell holds an icon for this window: a change of nothing is accepted
// only for an icon it knows.
bool shellHolds(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = kNotifyDataSize;
    data.hWnd = window;
    data.uID = 0;
    data.uFlags = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

void notify(const TTrayIcon& tray, UINT mouse) { PostMessageA(tray.handle(), kTrayCallbackMessage, 0, mouse); }

HICON programIcon(int id) {
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
}

std::vector<std::string> captions(HMENU menu) {
    std::vector<std::string> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            out.push_back("-");
            continue;
        }
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        out.push_back(text);
    }
    return out;
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        deleteUserKey(kRoot);
        SetCursorPos(600, 400);
        folder_ = fs::temp_directory_path() / ("velmora-tray-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        for (const char* name : {"alpha.vlm", "alpine.vlm", "gamma.vlm"})
            fs::copy_file(fs::path(exefolder()) / "testplugins" / name, folder_ / "plugins" / name);
    }
    void TearDown() override {
        deleteUserKey(kRoot);
        fs::remove_all(folder_);
    }
    void load(Tmainform& form) { form.loadplugins(folder_.string() + "\\"); }
    fs::path folder_;
};

}  // namespace

// --- the icon on its own ---

TEST_F(TrayTest, TheShellIsGivenTheFirstVersionsRecordWithTheShortTip) {
    TTrayIcon tray;
    EXPECT_FALSE(tray.added());  // no picture yet: nothing to show
    tray.setHint("the Velmora|more help");
    tray.setIcon(programIcon(IDI_VELMORA));
    ASSERT_TRUE(tray.added());
    EXPECT_TRUE(shellHolds(tray.handle()));
    const NOTIFYICONDATAA data = tray.notifydata();
    EXPECT_EQ(data.cbSize, 88u);
    EXPECT_EQ(data.hWnd, tray.handle());
    EXPECT_EQ(data.uID, 0u);
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(data.uCallbackMessage, 0xB054u);
    EXPECT_EQ(data.hIcon, tray.icon());
    EXPECT_STREQ(data.szTip, "the Velmora");
    tray.setActive(false);
    EXPECT_FALSE(shellHolds(tray.handle()));
    tray.setActive(true);
    EXPECT_TRUE(shellHolds(tray.handle()));
    // That the icon leaves with the program is seen from outside it (tray_program_test).
}

// A shell that restarts announces a new taskbar, and the
// icon is added again, so the program never becomes unreachable.
TEST_F(TrayTest, TheIconComesBackWhenTheShellMakesANewTaskbar) {
    TTrayIcon tray;
    tray.setIcon(programIcon(IDI_VELMORA));
    ASSERT_TRUE(shellHolds(tray.handle()));
    NOTIFYICONDATAA data = tray.notifydata();
    Shell_NotifyIconA(NIM_DELETE, &data);  // what a restarting shell loses
    ASSERT_FALSE(shellHolds(tray.handle()));
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(pumpUntil([&] { return shellHolds(tray.handle()); }));
    EXPECT_TRUE(tray.added());
}

TEST_F(TrayTest, AnErrorInAHandlerIsReportedAndTheIconGoesOn) {
    MessageBoxWatcher boxes;
    TTrayIcon tray;
    tray.setIcon(programIcon(IDI_VELMORA));
    int moves = 0;
    tray.OnMouseUp = [](MouseButton, unsigned, int, int) { throw Error("List index out of bounds (3)"); };
    tray.OnMouseMove = [&](unsigned, int, int) { ++moves; };
    notify(tray, WM_LBUTTONUP);
    ASSERT_TRUE(pumpUntil([&] { return !boxes.texts().empty(); }));
    // After the box: a message that arrives while a box is being closed may
    // be dropped by the box's own loop.
    notify(tray, WM_MOUSEMOVE);
    ASSERT_TRUE(pumpUntil([&] { return moves == 1; }));
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"List index out of bounds (3)"});
    EXPECT_TRUE(shellHolds(tray.handle()));
}

TEST_F(TrayTest, TheAnimationAlternatesItsFramesAndEndsOnTheStillIcon) {
    TTrayIcon tray;
    tray.setIcon(programIcon(IDI_VELMORA));
    tray.setAnimated(true);
    EXPECT_FALSE(tray.animated()) << "no frames: the still icon stays";
    tray.icons().beginupdate();
    tray.icons().addfromresource(GetModuleHandleA(nullptr), IDI_TRAYBUSY);
    tray.icons().addfromresource(GetModuleHandleA(nullptr), IDI_VELMORA);
    tray.icons().endupdate();
    tray.setInterval(20);
    tray.setAnimated(true);
    tray.setAnimated(true);
    ASSERT_TRUE(tray.animated());
    const HICON frame0 = tray.icons().item(0), frame1 = tray.icons().item(1);
    EXPECT_EQ(tray.shownpicture(), frame0) << "starting shows frame 0 at once";
    // The pictures the shell is given, in order, as the frames step.
    std::vector<HICON> shown{tray.shownpicture()};
    pumpUntil([&] {
        if (tray.shownpicture() != shown.back()) shown.push_back(tray.shownpicture());
        return shown.size() >= 5;
    });
    EXPECT_EQ(shown, (std::vector<HICON>{frame0, frame1, frame0, frame1, frame0}));
    tray.setAnimated(false);
    EXPECT_EQ(tray.shownpicture(), tray.icon());
    EXPECT_EQ(tray.frameindex(), 0);
    // Emptying the frames stops the animation.
    tray.setAnimated(true);
    tray.icons().clear();
    EXPECT_FALSE(tray.animated());
    EXPECT_EQ(tray.shownpicture(), tray.icon());
}

TEST_F(TrayTest, IconListUpdatesNestAndTellOnce) {
    TIconList list;
    int told = 0;
    list.onChange = [&] { ++told; };
    list.beginupdate();
    list.beginupdate();
    list.add(programIcon(IDI_VELMORA));
    list.add(programIcon(IDI_TRAYBUSY));
    list.endupdate();
    EXPECT_EQ(told, 0);
    list.exchange(0, 1);
    list.endupdate();
    EXPECT_EQ(told, 1);
    const HICON busy = list.item(0);
    list.move(0, 1);
    EXPECT_EQ(list.indexof(busy), 1);
    EXPECT_EQ(told, 2);
    EXPECT_THROW(list.item(2), Error);
}

// --- the main window's icon and menu ---

TEST_F(TrayTest, TheRealMenuListsGamesInReverseOrderAboveTheFixedItems) {
    setUserString(kRoot + "\\alp", "history", "1.2.3.4:27500,");
    Tmainform form;
    load(form);
    const HMENU menu = form.imagemenu().handle();
    EXPECT_EQ(captions(menu), (std::vector<std::string>{"Gamma Game", "Alpine Seven", "Alpha Game", "-",
                                                        "&Find a game...", "&Settings...", "&About...", "-",
                                                        "&Quit"}));
    EXPECT_EQ(GetMenuDefaultItem(menu, TRUE, 0), 6u);
    EXPECT_EQ(captions(GetSubMenu(menu, 0)), std::vector<std::string>{"Enter address..."});
    EXPECT_EQ(captions(GetSubMenu(menu, 1)), (std::vector<std::string>{"Enter address...", "-", "1.2.3.4:27500"}));
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_STYLE;
    GetMenuInfo(GetSubMenu(menu, 1), &info);
    EXPECT_TRUE(info.dwStyle & MNS_NOCHECK) << "no check-mark column";

    // A link shows its server at once; the fixed items stay as they were.
    form.openlink("5.6.7.8:27960 gam \"Tom & Jerry\"");
    form.openlink("1.2.3.4 gam");
    const HMENU after = form.imagemenu().handle();
    EXPECT_EQ(captions(GetSubMenu(after, 0)),
              (std::vector<std::string>{"Enter address...", "-", "1.2.3.4:27960", "Tom && Jerry"}));
    EXPECT_EQ(captions(after).size(), 9u);
    EXPECT_EQ(captions(after)[5], "&Settings...");
    EXPECT_EQ(GetMenuDefaultItem(after, TRUE, 0), 6u);
}

TEST_F(TrayTest, ARightClickOpensTheMenuAndAServerRunsItsLinkAgain) {
    setUserString(kRoot + "\\gam", "history", "1.2.3.4:27960,\"Friday night\"5.6.7.8:27961,");
    Tmainform form;
    load(form);
    // Down to "Gamma Game", into its servers, past "Enter address..." and the
    // first server to the titled one, and choose it.
    MenuDriver driver({{1,
                        [](HWND m) {
                            MenuDriver::key(m, VK_DOWN);
                            MenuDriver::key(m, VK_RIGHT);
                        }},
                       {2, [](HWND m) {
                            MenuDriver::key(m, VK_DOWN);
                            MenuDriver::key(m, VK_DOWN);
                            MenuDriver::key(m, VK_RETURN);
                        }}});
    notify(form.tray, WM_RBUTTONDOWN);
    notify(form.tray, WM_RBUTTONUP);
    EXPECT_TRUE(pumpUntil([&] { return form.games()[2].history.rfind("\"Friday", 0) == 0; }));
    EXPECT_TRUE(driver.seen());
    // The titled entry moved to the front through the whole link path.
    EXPECT_EQ(form.games()[2].history, "\"Friday night\"5.6.7.8:27961,1.2.3.4:27960,");
    EXPECT_EQ(captions(GetSubMenu(form.imagemenu().handle(), 0))[2], "Friday night");
}

TEST_F(TrayTest, OnlyARightPressOverTheIconOpensTheMenu) {
    Tmainform form;
    load(form);
    int ups = 0;
    form.tray.OnMouseUp = [&](MouseButton, unsigned, int, int) { ++ups; };
    // Closes a menu that should not be there, so the test cannot hang on it.
    MenuDriver driver({{1, [](HWND m) { MenuDriver::key(m, VK_ESCAPE); }}});
    notify(form.tray, WM_RBUTTONUP);  // pressed elsewhere, released over the icon
    ASSERT_TRUE(pumpUntil([&] { return ups == 1; }));
    EXPECT_FALSE(driver.seen());
    EXPECT_TRUE(menuWindows().empty());
}

TEST_F(TrayTest, ADoubleClickShowsTheAboutWindowAndDoneHidesIt) {
    Tmainform form;
    load(form);
    ASSERT_FALSE(form.visible());
    notify(form.tray, WM_LBUTTONDOWN);
    notify(form.tray, WM_LBUTTONUP);
    notify(form.tray, WM_LBUTTONDBLCLK);
    notify(form.tray, WM_LBUTTONUP);
    ASSERT_TRUE(pumpUntil([&] { return form.visible(); }));
    EXPECT_TRUE(menuWindows().empty()) << "a left click opens no menu";
    form.aboutlabelAnchorClick(form.aboutlabel, "done");
    EXPECT_FALSE(form.visible());
}

TEST_F(TrayTest, EnterAddressAndSettingsGoWhereTheyBelong) {
    // With no settings window (as in this test) "&Settings..." does nothing.
    Tmainform form;
    load(form);
    form.showsettings();
    // "Enter address..." changes no history: it goes to the manual dialog.
    form.openserver(0, "Enter address...");
    EXPECT_EQ(form.games()[0].history, "");
    EXPECT_FALSE(userKeyExists(kRoot + "\\alp"));
    form.openserver(1, "\"A & B\"9.9.9.9:27600");
    EXPECT_EQ(form.games()[1].history, "\"A & B\"9.9.9.9:27600,");
}

// Several query windows may wait at once; the icon blinks until the last ends.
TEST_F(TrayTest, TheAnimationRunsWhileAnyQueryWaits) {
    Tmainform form;
    load(form);
    form.settrayanimated(true);
    form.settrayanimated(true);
    EXPECT_TRUE(form.tray.animated());
    EXPECT_EQ(form.tray.interval(), 200);
    // The program's own frames: the other picture first, then the still icon's.
    std::vector<HICON> shown{form.tray.shownpicture()};
    pumpUntil([&] {
        if (form.tray.shownpicture() != shown.back()) shown.push_back(form.tray.shownpicture());
        return shown.size() >= 3;
    });
    EXPECT_EQ(shown, (std::vector<HICON>{form.tray.icons().item(0), form.tray.icons().item(1),
                                         form.tray.icons().item(0)}));
    form.settrayanimated(false);
    EXPECT_TRUE(form.tray.animated());
    form.settrayanimated(false);
    EXPECT_FALSE(form.tray.animated());
    EXPECT_EQ(form.tray.shownpicture(), form.tray.icon());
    form.settrayanimated(false);  // one off too many is no harm
    form.settrayanimated(true);
    EXPECT_TRUE(form.tray.animated());
}

TEST_F(TrayTest, TheAboutWindowHoldsItsTextsAndAMissingReadMeOpensNothing) {
    MessageBoxWatcher boxes;
    Tmainform form;
    load(form);
    EXPECT_EQ(form.caption(), "About the Velmora");
    RECT client{};
    GetClientRect(form.handle(), &client);
    EXPECT_EQ(client.right, 271);
    EXPECT_EQ(client.bottom, 192);
    EXPECT_EQ(form.aboutlabel.markupText().size(), 10u);
    EXPECT_EQ(form.aboutlabel.markupText()[6], "<a href=\"http://velmora.example.org/\">velmora.example.org</a> ");
    EXPECT_EQ(form.titlelabel.markupText(), std::vector<std::string>{kTitleText});
    form.showabout();
    form.showabout();  // again: only to the front
    EXPECT_TRUE(form.visible());
    form.aboutlabelAnchorClick(form.aboutlabel, "readme.txt");  // the test folder has none
    form.aboutlabelAnchorClick(form.aboutlabel, "other");
    // A box the shell raised would have been answered before the call returned.
    EXPECT_TRUE(form.visible());
    EXPECT_TRUE(boxes.messages().empty());
}

// --- pictures ---

namespace {
struct Shot {
    std::vector<Bgr> pixels;
    int width = 0, height = 0;
    int count(const RECT& r, const std::function<bool(const Bgr&)>& match) const {
        int n = 0;
        for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, height); ++y)
            for (int x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, width); ++x)
                n += match(pixels[static_cast<size_t>(y) * width + x]);
        return n;
    }
    // The leftmost and rightmost columns of `r` that hold a matching pixel.
    std::pair<int, int> span(const RECT& r, const std::function<bool(const Bgr&)>& match) const {
        int first = -1, last = -1;
        for (int x = r.left; x < r.right; ++x)
            if (count({x, r.top, x + 1, r.bottom}, match)) {
                if (first < 0) first = x;
                last = x;
            }
        return {first, last};
    }
};
bool isSkin(const Bgr& p) { return p.r == 250 && p.g == 206 && p.b == 160; }
bool isDark(const Bgr& p) { return p.r < 80 && p.g < 80 && p.b < 80; }
bool isBlue(const Bgr& p) { return p.r == 0 && p.g == 0 && p.b == 255; }

// Puts a square of one colour in place of image `index` of `list`.
void paintImage(HIMAGELIST list, int index, COLORREF colour) {
    const HDC screen = GetDC(nullptr);
    const HBITMAP picture = CreateCompatibleBitmap(screen, 16, 16);
    const HDC dc = CreateCompatibleDC(screen);
    const HGDIOBJ old = SelectObject(dc, picture);
    const HBRUSH brush = CreateSolidBrush(colour);
    RECT all{0, 0, 16, 16};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    const unsigned char opaque[32] = {};
    const HBITMAP mask = CreateBitmap(16, 16, 1, 1, opaque);
    ImageList_Replace(list, index, picture, mask);
    DeleteObject(mask);
    DeleteObject(picture);
}

// How wide `text` is drawn in the menu font, bold or not: from its leftmost
// to its rightmost dark column, measured as the screenshot is.
int drawnMenuTextWidth(const char* text, bool bold) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    if (bold) metrics.lfMenuFont.lfWeight = FW_BOLD;
    const HFONT font = CreateFontIndirectA(&metrics.lfMenuFont);
    const HDC screen = GetDC(nullptr);
    const HDC dc = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 30);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const HGDIOBJ oldFont = SelectObject(dc, font);
    RECT all{0, 0, 200, 30};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text, -1, &all, DT_SINGLELINE | DT_LEFT | DT_TOP);
    int first = -1, last = -1;
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 30; ++y)
            if (GetRValue(GetPixel(dc, x, y)) < 80) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteObject(font);
    DeleteDC(dc);
    return last - first + 1;
}
}  // namespace

// The menu's image column: each game's own picture, the hand on the default
// item drawn bold, nothing beside the other fixed items.
TEST_F(TrayTest, ScreenshotOfTheMenuShowsTheImageColumnAndTheBoldDefaultItem) {
    Tmainform form;
    load(form);
    // The test games' own pictures are white, like the menu: give them colours.
    const COLORREF colours[] = {RGB(0, 0, 255), RGB(0, 160, 0), RGB(255, 0, 0)};  // games 3, 2, 1
    for (int i = 0; i < 3; ++i) paintImage(form.gameimages(), 3 - i, colours[i]);
    const HMENU menu = form.imagemenu().handle();
    Shot shot;
    RECT window{};
    std::vector<RECT> rows(static_cast<size_t>(GetMenuItemCount(menu)));
    MenuDriver driver({{1, [&](HWND m) {
                            GetWindowRect(m, &window);
                            for (size_t i = 0; i < rows.size(); ++i) {
                                GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &rows[i]);
                                MapWindowPoints(nullptr, m, reinterpret_cast<POINT*>(&rows[i]), 2);
                            }
                            RECT client{};
                            GetClientRect(m, &client);
                            shot.width = client.right;
                            shot.height = client.bottom;
                            // The menu paints its items from the top: it is whole once the
                            // hand beside "&About..." and the last item's text are there.
                            const RECT lastText{26, rows.back().top, shot.width, rows.back().bottom};
                            for (int i = 0; i < 500; ++i) {
                                shot.pixels = capture(m, shot.width, shot.height, VELMORA_MENU_SHOT);
                                if (shot.count({0, 0, shot.width, shot.height}, isSkin) > 0 &&
                                    shot.count(lastText, isDark) > 0)
                                    break;
                                Sleep(10);
                            }
                            MenuDriver::key(m, VK_ESCAPE);
                        }}});
    notify(form.tray, WM_RBUTTONDOWN);
    notify(form.tray, WM_RBUTTONUP);
    ASSERT_TRUE(pumpUntil([&] { return driver.seen() && menuWindows().empty(); }));
    ASSERT_FALSE(shot.pixels.empty());
    const auto column = [&](size_t row) { return RECT{0, rows[row].top, 26, rows[row].bottom}; };
    for (size_t game = 0; game < 3; ++game) {
        const COLORREF c = colours[game];
        EXPECT_EQ(shot.count(column(game),
                             [&](const Bgr& p) { return RGB(p.r, p.g, p.b) == c; }),
                  16 * 16)
            << "the game's picture, row " << game;
    }
    EXPECT_GT(shot.count(column(6), isSkin), 40) << "the hand beside \"&About...\"";
    for (size_t fixed : {4u, 5u, 8u}) {
        EXPECT_EQ(shot.count(column(fixed), isSkin), 0) << "row " << fixed;
        EXPECT_EQ(shot.count(column(fixed), isDark), 0) << "row " << fixed;
    }
    // "About..." is as wide as the bold menu font draws it; "Settings..." is not bold.
    const auto [first, last] = shot.span({26, rows[6].top, shot.width, rows[6].bottom}, isDark);
    const int bold = drawnMenuTextWidth("&About...", true), normal = drawnMenuTextWidth("&About...", false);
    ASSERT_GT(bold, normal);
    EXPECT_EQ(last - first + 1, bold) << "normal would be " << normal;
    const auto [sfirst, slast] = shot.span({26, rows[5].top, shot.width, rows[5].bottom}, isDark);
    EXPECT_EQ(slast - sfirst + 1, drawnMenuTextWidth("&Settings...", false));
    EXPECT_EQ(window.right, 600) << "the right edge at the point where it opened";
    expectGolden(VELMORA_MENU_SHOT, VELMORA_MENU_GOLDEN);
}

TEST_F(TrayTest, ScreenshotOfTheAboutWindow) {
    Tmainform form;
    load(form);
    form.showabout();
    UpdateWindow(form.handle());
    app().processMessages();
    Shot shot{capture(form.handle(), 271, 192, VELMORA_ABOUT_SHOT), 271, 192};
    EXPECT_GT(shot.count({8, 8, 40, 40}, isSkin), 300) << "the hand";
    EXPECT_GT(shot.count({8, 48, 40, 80}, isDark), 150) << "the black logo";
    EXPECT_GT(shot.count({48, 8, 257, 33}, isBlue), 50) << "\"Velmora\" in blue";
    EXPECT_GT(shot.count({48, 32, 265, 192}, isBlue), 100) << "the blue anchors";
    EXPECT_GT(shot.count({8, 80, 42, 98}, isBlue), 10) << "the maker's anchor";
    expectGolden(VELMORA_ABOUT_SHOT, VELMORA_ABOUT_GOLDEN);
}

// --- the watcher's parts of the tray: balloons and the status column ---

// The balloon goes to the shell in the second version's record; a click on
// it reaches the icon's owner.
TEST_F(TrayTest, ABalloonIsHandedToTheShellAndItsClickArrives) {
    TTrayIcon tray;
    std::vector<std::pair<DWORD, NOTIFYICONDATAA>> calls;
    tray.ShellNotify = [&](DWORD message, NOTIFYICONDATAA& data) {
        calls.emplace_back(message, data);
        return Shell_NotifyIconA(message, &data);
    };
    EXPECT_FALSE(tray.showballoon("Friday night", "2 playing on dm4")) << "no icon yet";
    tray.setIcon(programIcon(IDI_VELMORA));
    ASSERT_TRUE(tray.added());
    calls.clear();
    EXPECT_TRUE(tray.showballoon(std::string(70, 't'), std::string(300, 'x')));
    ASSERT_EQ(calls.size(), 1u);
    const NOTIFYICONDATAA& data = calls[0].second;
    EXPECT_EQ(calls[0].first, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(data.cbSize, kBalloonDataSize);
    EXPECT_GT(data.cbSize, 88u);
    EXPECT_EQ(data.hWnd, tray.handle());
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(std::string(data.szInfoTitle), std::string(63, 't'));
    EXPECT_EQ(std::string(data.szInfo), std::string(255, 'x'));
    int clicks = 0;
    tray.OnBalloonClick = [&] { ++clicks; };
    PostMessageA(tray.handle(), kTrayCallbackMessage, 0, kBalloonUserClick);
    EXPECT_TRUE(pumpUntil([&] { return clicks == 1; }));
}

// A recent server's item holds its status after a tab (read back from the
// real menu) and draws it right-aligned in grey; figures that arrive while
// the menu is open are drawn at once.
TEST_F(TrayTest, RecentServersShowTheirStatusInGreyAndFollowNewFigures) {
    TrayMenu model;
    model.addgamemenu("Gamma Game", 1, {"127.0.0.1:27960", "\"Tom & Jerry\"127.0.0.1:27961"});
    TImagePopupMenu popup(model);
    std::string first = "no answer";
    int popups = 0;
    popup.OnGetStatus = [&](MenuChoice c) { return c.sub == 2 ? first : std::string(); };
    popup.OnPopup = [&] { ++popups; };
    popup.build();
    EXPECT_EQ(captions(GetSubMenu(popup.handle(), 0)),
              (std::vector<std::string>{"Enter address...", "-", "127.0.0.1:27960\tno answer", "Tom && Jerry"}));
    EXPECT_EQ(captions(popup.handle())[0], "Gamma Game") << "the game item draws as before";

    TTrayIcon tray;
    tray.setIcon(programIcon(IDI_VELMORA));
    tray.PopupMenu = &popup;
    const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    const auto isGrey = [&](const Bgr& p) { return RGB(p.r, p.g, p.b) == grey; };
    // The right half of the first server's row, before and after new figures.
    std::vector<int> before, after;
    std::atomic<bool> sent{false};
    const auto inked = [](const std::vector<int>& columns) { return std::accumulate(columns.begin(), columns.end(), 0); };
    // The grey columns of the right half of the servers' menu.
    const auto greyOfRow = [&](HWND m) {
        RECT client{};
        GetClientRect(m, &client);
        Shot shot{capture(m, client.right, client.bottom, ""), client.right, client.bottom};
        std::vector<int> columns;
        for (int x = client.right / 2; x < client.right; ++x)
            columns.push_back(shot.count({x, 0, x + 1, client.bottom}, isGrey));
        return columns;
    };
    MenuDriver driver({{1,
                        [](HWND m) {
                            MenuDriver::key(m, VK_DOWN);
                            MenuDriver::key(m, VK_RIGHT);
                        }},
                       {2, [&](HWND) {
                            const HWND m = MenuDriver::showing(GetSubMenu(popup.handle(), 0));
                            if (!m) return;
                            // The menu is painted when two pictures 50 ms apart agree.
                            for (int i = 0; i < 100; ++i) {
                                before = greyOfRow(m);
                                Sleep(50);
                                if (inked(before) >= 20 && greyOfRow(m) == before) break;
                            }
                            PostMessageA(tray.handle(), kTrayCallbackMessage, 0, kBalloonUserClick);
                            for (int i = 0; i < 300; ++i, Sleep(10)) {
                                after = greyOfRow(m);
                                if (sent && after != before) break;
                            }
                            // The picture once the repaint is over.
                            RECT client{};
                            GetClientRect(m, &client);
                            settledCapture(m, client.right, client.bottom);
                            capture(m, client.right, client.bottom, VELMORA_SERVERS_SHOT);
                            // One Escape closes the servers, the next the menu.
                            MenuDriver::key(m, VK_ESCAPE);
                            for (int i = 0; i < 300 && menuWindows().size() > 1; ++i) Sleep(10);
                            if (!menuWindows().empty()) MenuDriver::key(menuWindows().back(), VK_ESCAPE);
                        }}});
    // New figures come on the menu's own thread while it is open, as the
    // watcher's socket messages do: a message posted to a window of that
    // thread runs them inside the menu's loop.
    tray.OnBalloonClick = [&] {
        first = "2/16 e1m1";
        popup.refreshstatus();
        sent = true;
    };
    notify(tray, WM_RBUTTONDOWN);
    notify(tray, WM_RBUTTONUP);
    EXPECT_TRUE(pumpUntil([&] { return driver.seen() && menuWindows().empty(); }, 20000));
    EXPECT_TRUE(sent);
    EXPECT_EQ(popups, 1);
    EXPECT_GT(inked(before), 20) << "the status is drawn in the menu's grey";
    EXPECT_GT(inked(after), 20);
    EXPECT_NE(after, before) << "the open menu shows the new status";
    EXPECT_EQ(captions(GetSubMenu(popup.handle(), 0))[2], "127.0.0.1:27960\t2/16 e1m1");
    expectGolden(VELMORA_SERVERS_SHOT, VELMORA_SERVERS_GOLDEN);
}

namespace {
// The type flags of each item of `menu`.
std::vector<UINT> itemtypes(HMENU menu) {
    std::vector<UINT> types;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        types.push_back(info.fType);
    }
    return types;
}
}  // namespace

// A plain start (the Run entry, the Start menu) builds the menu before the
// watcher is attached: the recent servers must still be drawn by the menu,
// in grey after their captions, and not by the system as "caption<Tab>status".
TEST_F(TrayTest, RecentServersAreDrawnByTheMenuAfterAStartWithoutALink) {
    setUserString(kRoot + "\\gam", "history", "127.0.0.1:9,\"Tom & Jerry\"127.0.0.1:7,");
    Tmainform form;
    load(form);
    form.startwatch();
    const std::vector<UINT> types = itemtypes(GetSubMenu(form.imagemenu().handle(), 0));
    ASSERT_EQ(types.size(), 4u);
    EXPECT_FALSE(types[0] & MFT_OWNERDRAW) << "\"Enter address...\" is the system's";
    EXPECT_TRUE(types[1] & MFT_SEPARATOR);
    EXPECT_TRUE(types[2] & MFT_OWNERDRAW) << "the first server";
    EXPECT_TRUE(types[3] & MFT_OWNERDRAW) << "the titled server";
}

// The status is the server's own text: a map named "&dm4" is shown as it is
// and never becomes the row's access key, whenever the status source came.
TEST_F(TrayTest, AnAmpersandInAStatusIsNoAccessKey) {
    struct Case {
        bool sourceFirst;  // the status source attached before the menu is built
        std::string status, text;
    };
    const Case cases[] = {
        {true, "1/16 &dm4", "127.0.0.1:27960\t1/16 &&dm4"},
        {false, "1/16 &dm4", "127.0.0.1:27960\t1/16 &&dm4"},
        {false, "", "127.0.0.1:27960"},
        {true, "no answer", "127.0.0.1:27960\tno answer"},
    };
    for (const Case& c : cases) {
        TrayMenu model;
        model.addgamemenu("Gamma Game", 1, {"127.0.0.1:27960"});
        TImagePopupMenu popup(model);
        const auto source = [&](MenuChoice) { return c.status; };
        if (c.sourceFirst) popup.OnGetStatus = source;
        popup.build();
        if (!c.sourceFirst) {
            popup.OnGetStatus = source;
            popup.refreshstatus();
        }
        const HMENU servers = GetSubMenu(popup.handle(), 0);
        EXPECT_EQ(captions(servers)[2], c.text) << c.status;
        EXPECT_TRUE(itemtypes(servers)[2] & MFT_OWNERDRAW) << c.status;
    }
}

// The menu is measured at the density of the monitor it opens on, which may
// not be the system's: a server row made for 144 dpi is half as large again
// as one made for 96.
TEST_F(TrayTest, AServerRowIsMeasuredAtTheDensityTheMenuIsMadeFor) {
    TrayMenu model;
    model.addgamemenu("Gamma Game", 1, {"127.0.0.1:27960"});
    TImagePopupMenu popup(model);
    popup.OnGetStatus = [](MenuChoice) { return std::string("2/16 dm4"); };
    const auto measure = [&](int dpi) {
        popup.build(dpi);
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_DATA;
        GetMenuItemInfoA(GetSubMenu(popup.handle(), 0), 2, TRUE, &info);
        MEASUREITEMSTRUCT m{};
        m.CtlType = ODT_MENU;
        m.itemData = info.dwItemData;
        EXPECT_TRUE(popup.ownerdraw(WM_MEASUREITEM, reinterpret_cast<LPARAM>(&m)));
        return m;
    };
    const MEASUREITEMSTRUCT normal = measure(96), dense = measure(144);
    EXPECT_EQ(popup.dpi(), 144);
    ASSERT_GT(normal.itemWidth, 0u);
    ASSERT_GT(normal.itemHeight, 0u);
    const double wider = double(dense.itemWidth) / normal.itemWidth, taller = double(dense.itemHeight) / normal.itemHeight;
    EXPECT_GT(wider, 1.3) << normal.itemWidth << " -> " << dense.itemWidth;
    EXPECT_LT(wider, 1.7) << normal.itemWidth << " -> " << dense.itemWidth;
    EXPECT_GT(taller, 1.3) << normal.itemHeight << " -> " << dense.itemHeight;
    EXPECT_LT(taller, 1.7) << normal.itemHeight << " -> " << dense.itemHeight;
}
