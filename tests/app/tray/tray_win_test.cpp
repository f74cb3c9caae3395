// The tray under Wine: the icon in the shell's notification area, the real
// popup menu read back from its handle and driven with keys, the About
// window, the animation, and pictures of the menu and the About window.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "app/main_win.h"
#include "app/tray/trayicon_win.h"
#include "base/error.h"
#include "resources/resource.h"
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

// The visible popup menus of this process, top-most sub-menu last.
BOOL CALLBACK collectMenu(HWND hwnd, LPARAM found) {
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    auto* menus = reinterpret_cast<std::vector<HWND>*>(found);
    // Windows come top-most first: the newest sub-menu goes last.
    if (std::string(cls) == "#32768" && pid == GetCurrentProcessId() && IsWindowVisible(hwnd))
        menus->insert(menus->begin(), hwnd);
    return TRUE;
}
std::vector<HWND> menuWindows() {
    std::vector<HWND> found;
    EnumWindows(&collectMenu, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Works an open menu from a thread of its own while the test's thread sits
// in the menu's loop: waits for `count` menus, then runs `step` on the top one.
class MenuDriver {
public:
    using Step = std::function<void(HWND menu)>;
    explicit MenuDriver(std::vector<std::pair<size_t, Step>> steps)
        : thread_([this, steps = std::move(steps)] {
              for (const auto& [count, step] : steps) {
                  HWND top = waitMenus(count);
                  if (!top) return;
                  seen_ = true;
                  step(top);
              }
          }) {}
    ~MenuDriver() {
        stop_ = true;
        thread_.join();
    }
    bool seen() const { return seen_; }
    static void key(HWND menu, WPARAM vk) {
        PostMessageA(menu, WM_KEYDOWN, vk, 0);
        PostMessageA(menu, WM_KEYUP, vk, 0xC0000000);
    }

private:
    HWND waitMenus(size_t count) {
        for (int i = 0; i < 1000 && !stop_; ++i) {
            const auto menus = menuWindows();
            if (menus.size() >= count) return menus.back();
            Sleep(10);
        }
        return nullptr;
    }
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
    std::thread thread_;
};

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
    const HWND window = tray.handle();
    auto gone = std::make_unique<TTrayIcon>();  // a second icon, of its own window
    gone->setIcon(programIcon(IDI_VELMORA));
    const HWND goneWindow = gone->handle();
    EXPECT_TRUE(shellHolds(goneWindow));
    gone.reset();
    EXPECT_FALSE(shellHolds(goneWindow)) << "destroying the icon removes it";
    EXPECT_TRUE(shellHolds(window));
}

// Sound behaviour: the shell that restarts announces a new taskbar, and the
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
                                                        "&Settings...", "&About...", "-", "&Quit"}));
    EXPECT_EQ(GetMenuDefaultItem(menu, TRUE, 0), 5u);
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
    EXPECT_EQ(captions(after).size(), 8u);
    EXPECT_EQ(captions(after)[4], "&Settings...");
    EXPECT_EQ(GetMenuDefaultItem(after, TRUE, 0), 5u);
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
