// velmora.exe started for real: its icon is in the notification area, its
// menu opens on a right click and "&Quit" ends the program and the icon.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_win.h"
#include "settings/settingsstore.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/velmora_process_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

const std::string kRoot = "software\\Drovik\\Velmora";

bool shellHolds(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = kNotifyDataSize;
    data.hWnd = window;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

template <typename Condition>
bool waitFor(Condition done, DWORD ms = 10000) {
    for (DWORD waited = 0; !done(); waited += 10) {
        if (waited >= ms) return false;
        Sleep(10);
    }
    return true;
}

class TrayProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        deleteUserKey(kRoot);
        setUserString(kRoot, "", kSettingsRootValue);  // not a first run: no greeting
        SetCursorPos(500, 300);
        folder_ = fs::temp_directory_path() / ("velmora-trayexe-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        fs::copy_file(winePath(VELMORA_EXE_UNIX), folder_ / "velmora.exe");
        fs::copy_file(fs::path(exefolder()) / "testplugins" / "gamma.vlm", folder_ / "plugins" / "gamma.vlm");
    }
    void TearDown() override {
        for (HWND hwnd : VelmoraProcess::windowsOfClass("Tmainform")) PostMessageA(hwnd, WM_CLOSE, 0, 0);
        deleteUserKey(kRoot);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path folder_;
};

// The visible menu of `process`, waiting for it.
HWND menuOf(const VelmoraProcess& process) {
    HWND found = nullptr;
    waitFor([&] {
        for (HWND hwnd : VelmoraProcess::windowsOfClass("#32768")) {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid == process.id() && IsWindowVisible(hwnd)) found = hwnd;
        }
        return found != nullptr;
    });
    return found;
}

void rightClick(HWND tray) {
    PostMessageA(tray, 0xB054, 0, WM_RBUTTONDOWN);
    PostMessageA(tray, 0xB054, 0, WM_RBUTTONUP);
}

}  // namespace

TEST_F(TrayProgramTest, TheIconOpensTheMenuAndQuitEndsTheProgramAndTheIcon) {
    VelmoraProcess velmora(folder_ / "velmora.exe", "");
    MessageBoxWatcher boxes(velmora.id());
    const HWND tray = velmora.window("TTrayIconWindow");
    ASSERT_TRUE(tray);
    ASSERT_TRUE(waitFor([&] { return shellHolds(tray); })) << "the icon is in the notification area";
    const HWND main = velmora.window("Tmainform");
    const HWND settings = velmora.window("Tsettingsform");
    ASSERT_TRUE(main && settings);
    EXPECT_FALSE(IsWindowVisible(main));

    // "&Settings..." by its letter.
    rightClick(tray);
    HWND menu = menuOf(velmora);
    ASSERT_TRUE(menu);
    PostMessageA(menu, WM_CHAR, 's', 0);
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(settings) != FALSE; }));
    PostMessageA(settings, WM_CLOSE, 0, 0);

    // A double click runs the default item, "&About...".
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) PostMessageA(tray, 0xB054, 0, m);
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(main) != FALSE; }));

    // "&Quit", the last item.
    rightClick(tray);
    menu = menuOf(velmora);
    ASSERT_TRUE(menu);
    PostMessageA(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(velmora.waitExit(10000), 0u);
    EXPECT_FALSE(shellHolds(tray)) << "the icon left with the program";
    EXPECT_TRUE(boxes.messages().empty());
}
