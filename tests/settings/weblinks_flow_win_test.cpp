// velmora.exe set up through its settings window for web links, then handed
// qw:// and quake3:// links by the shell (Wine's start, and ShellExecuteEx
// "open" on the link), with a copy running and as the first copy, against
// real servers on loopback (weblinks_flow_test.py starts them and passes
// their ports).
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "settings/associations.h"
#include "settings/settingsform_win.h"
#include "settings/settingsstore.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/velmora_process_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

bool waitUntil(const std::function<bool()>& condition, DWORD ms = 20000) {
    for (DWORD waited = 0; waited < ms; waited += 20) {
        if (condition()) return true;
        Sleep(20);
    }
    return condition();
}

std::string history(const char* gameid) {
    std::string raw = userValue(gamekey(gameid), "history");
    return raw.substr(0, raw.find('\0'));
}

// The visible query windows of process `pid`.
std::vector<HWND> queryWindows(DWORD pid) {
    std::vector<HWND> shown;
    for (HWND hwnd : VelmoraProcess::windowsOfClass("Tloadform")) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid && IsWindowVisible(hwnd)) shown.push_back(hwnd);
    }
    return shown;
}

std::string caption(HWND hwnd) {
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// Wine's start: the shell's open verb on the link, as a player's browser does.
void start(const std::string& url) {
    std::string commandLine = "C:\\windows\\system32\\start.exe " + url;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

// ShellExecuteEx "open" on the link; the started process, if the shell gives it.
HANDLE shellOpen(const std::string& url) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = url.c_str();
    info.nShow = SW_SHOWNORMAL;
    EXPECT_TRUE(ShellExecuteExA(&info)) << "the shell finds no handler for " << url << ", error " << GetLastError();
    return info.hProcess;
}

class WebLinkFlow : public ::testing::Test {
protected:
    void SetUp() override {
        const char* qw = std::getenv("VELMORA_QW_PORT");
        const char* q3 = std::getenv("VELMORA_Q3_PORT");
        if (!qw || !q3) GTEST_SKIP() << "run by weblinks_flow_test.py, which starts the servers";
        qwPort_ = qw;
        q3Port_ = q3;
        testApplication();
        deleteClasses();
        deleteUserKey("software\\Drovik\\Velmora");
        setUserString(kSettingsRootKey, "", kSettingsRootValue);  // a later run: no greeting
        top_ = fs::temp_directory_path() / ("velmora web links " + std::to_string(GetCurrentProcessId()));
        fs::remove_all(top_);
        fs::create_directories(top_ / "plugins");
        fs::copy_file(winePath(VELMORA_EXE_UNIX), top_ / "velmora.exe");
        for (const char* plugin : {"quakeworld.vlm", "quake3.vlm"})
            fs::copy_file(winePath(VELMORA_PLUGINS_UNIX) / plugin, top_ / "plugins" / plugin);
        Tmainform nogames;
        Tsettingsform layout(nogames.gametable(), nogames.gameimages());
        dolinks_ = anchorPoint(layout.aboutlabel, "dolinks");
    }
    void TearDown() override {
        if (top_.empty()) return;
        for (HWND hwnd : VelmoraProcess::windowsOfClass("Tmainform")) PostMessageA(hwnd, WM_CLOSE, 0, 0);
        deleteClasses();
        deleteUserKey("software\\Drovik\\Velmora");
        EXPECT_TRUE(waitUntil([this] {
            std::error_code error;
            fs::remove_all(top_, error);
            return !error;
        }));
    }
    fs::path exe() const { return top_ / "velmora.exe"; }

    std::string qwPort_, q3Port_;
    fs::path top_;
    POINT dolinks_{};
};

TEST_F(WebLinkFlow, LinksFromTheShellOpenAQueryWindowInARunningAndInAFirstCopy) {
    const std::string qwAddress = "127.0.0.1:" + qwPort_;
    const std::string q3Address = "127.0.0.1:" + q3Port_;
    {
        VelmoraProcess velmora(exe(), "");
        MessageBoxWatcher boxes(velmora.id());
        const HWND settings = velmora.window("Tsettingsform");
        ASSERT_NE(settings, nullptr);
        ASSERT_TRUE(clickVisiblePage(settings, dolinks_));
        ASSERT_TRUE(boxes.waitFor(1));
        EXPECT_EQ(boxes.texts(), (std::vector<std::string>{kWebLinksRegistered}));
        EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, "qw\\shell\\open\\command", ""),
                  "\"" + exe().string() + "\" \"%1\"");

        // Running: the copy the shell starts hands the link over and ends.
        start("qw://" + qwAddress + "/");
        EXPECT_TRUE(waitUntil([&] { return history("qws") == qwAddress + ","; })) << history("qws");
        ASSERT_TRUE(waitUntil([&] { return queryWindows(velmora.id()).size() == 1; }));
        EXPECT_EQ(caption(queryWindows(velmora.id())[0]), "Getting Server Info");

        const HANDLE second = shellOpen("quake3://connect/" + q3Address);
        EXPECT_TRUE(waitUntil([&] { return history("q3a") == q3Address + ","; })) << history("q3a");
        EXPECT_TRUE(waitUntil([&] { return queryWindows(velmora.id()).size() == 2; }));
        if (second) {
            EXPECT_EQ(WaitForSingleObject(second, 15000), WAIT_OBJECT_0) << "the handing copy ends";
            CloseHandle(second);
        }

        // A crafted link is refused with its reason; nothing opens, nothing is recorded.
        start("qw://" + qwAddress + "+exec+evil.cfg");
        ASSERT_TRUE(boxes.waitFor(2));
        EXPECT_NE(boxes.texts()[1].find("qw://" + qwAddress + "+exec+evil.cfg"), std::string::npos);
        EXPECT_EQ(queryWindows(velmora.id()).size(), 2u);
        EXPECT_EQ(history("qws"), qwAddress + ",");
        EXPECT_EQ(VelmoraProcess::windowsOfClass("Tmainform").size(), 1u);

        PostMessageA(velmora.window("Tmainform"), WM_CLOSE, 0, 0);
        EXPECT_EQ(velmora.waitExit(15000), 0u);
    }
    // None running: the started copy is the first and opens the window itself.
    deleteUserKey(gamekey("qws"));
    const HANDLE cold = shellOpen("QW://" + qwAddress);
    ASSERT_NE(cold, nullptr);
    DWORD coldId = 0;  // the process whose main window is now the only one
    EXPECT_TRUE(waitUntil([&] {
        const auto mains = VelmoraProcess::windowsOfClass("Tmainform");
        if (mains.size() == 1) GetWindowThreadProcessId(mains[0], &coldId);
        return coldId != 0;
    }));
    EXPECT_TRUE(waitUntil([&] { return queryWindows(coldId).size() == 1; }));
    if (!queryWindows(coldId).empty()) {
        EXPECT_EQ(caption(queryWindows(coldId)[0]), "Getting Server Info");
    }
    // The window shows first; the history is written right after its first paint.
    EXPECT_TRUE(waitUntil([&] { return history("qws") == qwAddress + ","; })) << history("qws");
    EXPECT_EQ(WaitForSingleObject(cold, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "it stays in the tray";
    TerminateProcess(cold, 0);
    WaitForSingleObject(cold, 5000);
    CloseHandle(cold);
}

}  // namespace
