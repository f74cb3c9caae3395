// velmora.exe itself, set up by a player: "fix associations" and "run at
// startup" clicked in its settings window, then a .server file opened through
// the shell's association, cold and with a copy already running; and after
// the program was moved, the values follow it.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/main_win.h"
#include "settings/associations.h"
#include "settings/settingsform_win.h"
#include "settings/settingsstore.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/velmora_desktop_win.h"
#include "tests/support/velmora_process_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

std::string history() {
    std::string raw = userValue(gamekey("gam"), "history");
    return raw.substr(0, raw.find('\0'));
}

class AssociationFlow : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        deleteClasses();
        deleteUserKey("software\\Drovik\\Velmora");
        SHDeleteValueA(HKEY_CURRENT_USER, kRunKey, kRunValue);
        // A later run: no greeting gets in the way.
        setUserString(kSettingsRootKey, "", kSettingsRootValue);
        top_ = fs::temp_directory_path() / ("velmora assoc " + std::to_string(GetCurrentProcessId()));
        fs::remove_all(top_);
        // Where the pointers are (on the test's own layout of the label: same fonts, same prefix).
        Tmainform nogames;
        Tsettingsform layout(nogames.gametable(), nogames.gameimages());
        fix_ = anchorPoint(layout.aboutlabel, "fix");
        startup_ = anchorPoint(layout.aboutlabel, "dostartup");
    }
    void TearDown() override {
        deleteClasses();
        deleteUserKey("software\\Drovik\\Velmora");
        SHDeleteValueA(HKEY_CURRENT_USER, kRunKey, kRunValue);
        // An ended process's executable is released a little after its end.
        EXPECT_TRUE(waitUntil([this] {
            std::error_code error;
            fs::remove_all(top_, error);
            return !error;
        }));
    }
    // velmora.exe with the Gamma test plug-in (gam, 27960) in a folder whose name has blanks.
    fs::path install(const std::string& place) {
        const fs::path folder = top_ / place;
        fs::create_directories(folder / "plugins");
        fs::copy_file(winePath(VELMORA_EXE_UNIX), folder / "velmora.exe");
        fs::copy_file(fs::path(VELMORA_TEST_PLUGINS) / "gamma.vlm", folder / "plugins" / "gamma.vlm");
        return folder / "velmora.exe";
    }
    // Clicks an anchor of the first settings page in the running program.
    static void click(const VelmoraProcess& velmora, POINT at) {
        const HWND page = settingsPage(velmora);
        ASSERT_NE(page, nullptr);
        postClick(page, at);
    }
    void setUp(const VelmoraProcess& velmora) {
        MessageBoxWatcher boxes(velmora.id());
        ASSERT_NE(velmora.window("Tmainform"), nullptr);
        click(velmora, fix_);
        ASSERT_TRUE(boxes.waitFor(1));
        ASSERT_EQ(boxes.texts()[0], "Fixed Associations.");
        // The next click goes to the window once the confirmation has gone and
        // the task-modal box has given the settings window back its input.
        EXPECT_TRUE(waitUntil([&] { return !showsMessageBox(velmora.id()); }));
        EXPECT_TRUE(waitUntil([&] {
            const HWND page = settingsPage(velmora);
            return page && IsWindowEnabled(GetAncestor(page, GA_ROOT));
        }));
        click(velmora, startup_);
        ASSERT_TRUE(boxes.waitFor(2));
        EXPECT_EQ(boxes.texts(),
                  (std::vector<std::string>{"Fixed Associations.", "made Startup shortcut (in the registry)"}));
    }
    // Opens a link file through the shell's association; the started process, if any.
    HANDLE openLink(const std::string& name, const std::string& link) { return openThroughShell(top_ / name, link); }

    fs::path top_;
    POINT fix_{}, startup_{};
};

TEST_F(AssociationFlow, AClickedLinkStartsVelmoraOrHandsOverAndTheValuesFollowAMove) {
    const fs::path first = install("first place");
    {
        VelmoraProcess velmora(first, "");
        ASSERT_TRUE(velmora.started());
        setUp(velmora);
        const std::string exe = first.string();
        for (const ClassesValue& v : associationvalues(exe))
            if (!v.binary) {
                EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, v.key, v.name), v.data) << v.key;
            }
        EXPECT_EQ(rootString(HKEY_CURRENT_USER, kRunKey, kRunValue), "\"" + exe + "\"");

        // With the copy running, the started one hands the file over and ends.
        const HANDLE second = openLink("hand over.server", "127.0.0.1:27960 gam \"Running Copy\"");
        EXPECT_TRUE(waitUntil([] { return history().find("127.0.0.1:27960") != std::string::npos; })) << history();
        if (second) {
            EXPECT_EQ(WaitForSingleObject(second, 15000), WAIT_OBJECT_0) << "the second copy ends";
            CloseHandle(second);
        }
        EXPECT_TRUE(velmora.running());
    }
    {
        // None running: the shell's start handles the file itself.
        const HANDLE cold = openLink("cold start.server", "127.0.0.2:27960 gam \"Cold Start\"");
        EXPECT_TRUE(waitUntil([] { return history().find("127.0.0.2:27960") != std::string::npos; })) << history();
        if (cold) {
            EXPECT_EQ(WaitForSingleObject(cold, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "it stays in the tray";
            TerminateProcess(cold, 0);
            WaitForSingleObject(cold, 5000);
            CloseHandle(cold);
        }
    }
    // Moved: a second click points every command, icon and the start-up entry at the new place.
    const fs::path moved = install("moved here");
    VelmoraProcess velmora(moved, "");
    setUp(velmora);
    EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, kLinkCommandKey, ""), "\"" + moved.string() + "\" %1");
    EXPECT_EQ(rootString(HKEY_CLASSES_ROOT, "VelmoraPlugin\\DefaultIcon", ""), moved.string() + ",0");
    EXPECT_EQ(rootString(HKEY_CURRENT_USER, kRunKey, kRunValue), "\"" + moved.string() + "\"");
}

}  // namespace
