// velmora.exe started for real: one copy per desktop, the hand-off of a later
// copy's command line, the first-run test and the errors of the start-up link.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/main_win.h"
#include "settings/settingsform_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/velmora_process_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

const std::string kRoot = "software\\Drovik\\Velmora";
const std::string kRootValue = std::string("The Velmora by Drovik.") + '\0';

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        deleteUserKey(kRoot);
        folder_ = fs::temp_directory_path() / ("velmora-start-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        fs::copy_file(winePath(VELMORA_EXE_UNIX), folder_ / "velmora.exe");
        exe_ = folder_ / "velmora.exe";
        const fs::path plugins = fs::path(exefolder()) / "testplugins";
        fs::copy_file(plugins / "gamma.vlm", folder_ / "plugins" / "gamma.vlm");
    }
    void TearDown() override {
        // Each test's copies end with it (the process objects terminate what is left).
        for (HWND hwnd : VelmoraProcess::windowsOfClass("Tmainform")) PostMessageA(hwnd, WM_CLOSE, 0, 0);
        Sleep(200);
        deleteUserKey(kRoot);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path exe() const { return folder_ / "velmora.exe"; }

    // Ready: the main window answers and the root value has been written.
    static bool waitReady(const VelmoraProcess& p) {
        const HWND main = p.window("Tmainform");
        if (!main) return false;
        for (int i = 0; i < 500; ++i) {
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutA(main, WM_IDENTIFY, 0, 0, SMTO_NORMAL, 1000, &answer) &&
                answer == static_cast<DWORD_PTR>(kIdentifyAnswer) && userValue(kRoot, "") == kRootValue)
                return true;
            Sleep(20);
        }
        return false;
    }
    static std::string history() { return userValue(kRoot + "\\gam", "history"); }

    // A box that comes after anything the running copy shows at its start: a
    // second copy hands over a link for no game, and the running copy says
    // so. Checking the boxes once this one is there, instead of after a pause,
    // sees a box that should not have come however slow the machine is.
    static bool showMarker(const MessageBoxWatcher& boxes) {
        const size_t before = boxes.messages().size();
        VelmoraProcess marker(exe_, "127.1.2.3:1 xyz");
        if (marker.waitExit(15000) != 0) return false;
        return boxes.waitFor(before + 1) && boxes.texts().back() == kMarkerText;
    }
    static constexpr char kMarkerText[] = "Game cannot be determindeded";
    static inline fs::path exe_;

    fs::path folder_;
};

// The first copy that owns the desktop, started without a link, greeted and ready.
struct RunningCopy {
    explicit RunningCopy(const fs::path& exe) : process(exe, ""), boxes(process.id()) {}
    VelmoraProcess process;
    MessageBoxWatcher boxes;
};

}  // namespace

TEST_F(StartupTest, FirstStartEverGreetsOnceAndWritesTheRootValue) {
    VelmoraProcess velmora(exe(), "");
    MessageBoxWatcher boxes(velmora.id());
    ASSERT_TRUE(velmora.started());
    ASSERT_TRUE(boxes.waitFor(1));
    ASSERT_TRUE(waitReady(velmora));
    EXPECT_EQ(boxes.messages()[0].caption, "Velmora");
    EXPECT_EQ(boxes.messages()[0].text, kFirstRunGreeting);
    const HWND main = velmora.window("Tmainform");
    EXPECT_FALSE(IsWindowVisible(main));  // the About window stays hidden
    const HWND settings = velmora.window("Tsettingsform");
    ASSERT_TRUE(settings);
    EXPECT_TRUE(IsWindowVisible(settings));
    // The settings window refuses to close: it hides.
    SendMessageA(settings, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(settings));
    EXPECT_FALSE(IsWindowVisible(settings));
    // Closing the main window ends the program.
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(velmora.waitExit(10000), 0u);
    EXPECT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(userValue(kRoot, ""), kRootValue);
    EXPECT_FALSE(userKeyExists(kRoot + "\\gam"));  // loading created no game key

    // The next start is not a first run.
    VelmoraProcess again(exe(), "");
    MessageBoxWatcher againBoxes(again.id());
    ASSERT_TRUE(waitReady(again));
    ASSERT_TRUE(showMarker(againBoxes));
    EXPECT_EQ(againBoxes.texts(), std::vector<std::string>{kMarkerText}) << "no greeting before the marker";
    EXPECT_FALSE(IsWindowVisible(again.window("Tsettingsform")));
}

TEST_F(StartupTest, AFirstStartWithAKnownGameRecordsItAndIsNotGreeted) {
    VelmoraProcess velmora(exe(), "\"127.1.2.3:27960\" gam");
    MessageBoxWatcher boxes(velmora.id());
    ASSERT_TRUE(waitReady(velmora));
    ASSERT_TRUE(showMarker(boxes));
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{kMarkerText}) << "no greeting before the marker";
    EXPECT_EQ(history(), std::string("127.1.2.3:27960,") + '\0');
}

TEST_F(StartupTest, AFirstStartWithAnUnknownGameIsRefusedThenGreeted) {
    VelmoraProcess velmora(exe(), "127.1.2.3:1 xyz");
    MessageBoxWatcher boxes(velmora.id());
    ASSERT_TRUE(boxes.waitFor(2));
    ASSERT_TRUE(waitReady(velmora));
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Game cannot be determindeded", kFirstRunGreeting}));
}

TEST_F(StartupTest, ALinkFilePathWithBlanksArrivesWholeWhenPassedUnquoted) {
    const fs::path link = folder_ / "friday night at the server.server";
    std::ofstream(link, std::ios::binary) << "127.5.6.7 gam \"Friday night\"\r\nsecond line\r\n";
    VelmoraProcess velmora(exe(), link.string());  // unquoted: several arguments
    MessageBoxWatcher boxes(velmora.id());
    ASSERT_TRUE(waitReady(velmora));
    EXPECT_EQ(history(), std::string("\"Friday night\"127.5.6.7:27960,") + '\0');
}

TEST_F(StartupTest, AnEmptyLinkFileOnTheFirstCommandLineEndsTheProgramAfterItsReport) {
    const fs::path link = folder_ / "empty.server";
    std::ofstream(link, std::ios::binary).flush();
    VelmoraProcess velmora(exe(), "\"" + link.string() + "\"");
    MessageBoxWatcher boxes(velmora.id());
    EXPECT_EQ(velmora.waitExit(20000), 1u);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"List index out of bounds (0)"}));
    EXPECT_FALSE(userKeyExists(kRoot));  // ended before the first-run test
}

TEST_F(StartupTest, ALaterCopyHandsItsLinkToTheRunningOneAndEnds) {
    RunningCopy first(exe());
    ASSERT_TRUE(first.boxes.waitFor(1));  // the greeting
    ASSERT_TRUE(waitReady(first.process));

    VelmoraProcess second(exe(), "127.9.9.9:27961 GAM");
    EXPECT_EQ(second.waitExit(10000), 0u);
    EXPECT_EQ(history(), std::string("127.9.9.9:27961,") + '\0');
    EXPECT_EQ(VelmoraProcess::windowsOfClass("Tmainform").size(), 1u);
    EXPECT_EQ(VelmoraProcess::windowsOfClass("Tsettingsform").size(), 1u);

    // Without arguments a later copy only nudges: nothing happens.
    VelmoraProcess third(exe(), "");
    EXPECT_EQ(third.waitExit(10000), 0u);
    EXPECT_EQ(history(), std::string("127.9.9.9:27961,") + '\0');
    EXPECT_TRUE(first.process.running());
    EXPECT_EQ(first.boxes.messages().size(), 1u);
}

TEST_F(StartupTest, ErrorsOfAHandedOffLinkAreReportedAndTheRunningCopyGoesOn) {
    RunningCopy first(exe());
    ASSERT_TRUE(first.boxes.waitFor(1));
    ASSERT_TRUE(waitReady(first.process));
    const fs::path link = folder_ / "empty.server";
    std::ofstream(link, std::ios::binary).flush();

    VelmoraProcess second(exe(), link.string());
    EXPECT_EQ(second.waitExit(15000), 0u);
    ASSERT_TRUE(first.boxes.waitFor(2));
    EXPECT_EQ(first.boxes.messages()[1].text, "List index out of bounds (0)");
    EXPECT_TRUE(first.process.running());

    VelmoraProcess third(exe(), "127.1.2.3 gam");  // and it still takes links
    EXPECT_EQ(third.waitExit(10000), 0u);
    EXPECT_EQ(history(), std::string("127.1.2.3:27960,") + '\0');
}

// A command line of blanks only is no link, for the first copy and at the hand-off alike.
TEST_F(StartupTest, ACommandLineOfBlanksOnlyIsNoLink) {
    VelmoraProcess first(exe(), "\" \"");
    MessageBoxWatcher boxes(first.id());
    ASSERT_TRUE(boxes.waitFor(1));
    ASSERT_TRUE(waitReady(first));
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{kFirstRunGreeting}) << "no game box before the greeting";

    VelmoraProcess second(exe(), "\"   \"");
    MessageBoxWatcher secondBoxes(second.id());
    EXPECT_EQ(second.waitExit(10000), 0u);
    EXPECT_TRUE(secondBoxes.messages().empty());
    EXPECT_TRUE(first.running());
    EXPECT_EQ(boxes.messages().size(), 1u);
}

TEST_F(StartupTest, ACommandLineLongerThanAnAtomFailsAtTheHandOff) {
    RunningCopy first(exe());
    ASSERT_TRUE(first.boxes.waitFor(1));
    ASSERT_TRUE(waitReady(first.process));

    VelmoraProcess second(exe(), std::string(300, 'a') + ":27960 gam");
    MessageBoxWatcher secondBoxes(second.id());
    EXPECT_EQ(second.waitExit(15000), 1u);
    ASSERT_EQ(secondBoxes.messages().size(), 1u);
    EXPECT_EQ(secondBoxes.messages()[0].text.rfind("Win32 Error.  Code: ", 0), 0u) << secondBoxes.messages()[0].text;
    EXPECT_EQ(history(), "");  // the running copy received nothing
    EXPECT_EQ(first.boxes.messages().size(), 1u);
}

namespace {
// A window of this process whose class name matches ignoring case but that
// does not answer the identify message.
LRESULT CALLBACK impostorProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_IDENTIFY) return 1;
    return DefWindowProcA(hwnd, msg, w, l);
}
}  // namespace

TEST_F(StartupTest, AWindowOfTheSameClassNameThatDoesNotAnswerIsNotTheRunningCopy) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = impostorProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TMAINFORM";
    RegisterClassA(&wc);
    const HWND impostor = CreateWindowExA(0, "TMAINFORM", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                          GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(impostor);
    // Pump the impostor's messages while velmora asks it.
    VelmoraProcess velmora(exe(), "127.1.2.3 gam");
    ASSERT_TRUE(velmora.started());
    MessageBoxWatcher boxes(velmora.id());
    const HWND main = [&] {
        for (int i = 0; i < 1000; ++i) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            if (HWND found = velmora.window("Tmainform", 0)) return found;
            Sleep(10);
        }
        return HWND(nullptr);
    }();
    EXPECT_TRUE(main);  // it started as the first copy
    for (int i = 0; i < 200 && history().empty(); ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
    EXPECT_EQ(history(), std::string("127.1.2.3:27960,") + '\0');
    DestroyWindow(impostor);
    UnregisterClassA("TMAINFORM", GetModuleHandleA(nullptr));
}

TEST_F(StartupTest, NoPlugInsIsReportedAtStartAndLinksFindNoGame) {
    fs::remove(folder_ / "plugins" / "gamma.vlm");
    VelmoraProcess velmora(exe(), "127.1.2.3:27960");
    MessageBoxWatcher boxes(velmora.id());
    ASSERT_TRUE(boxes.waitFor(3));
    ASSERT_TRUE(waitReady(velmora));
    const auto texts = boxes.texts();
    EXPECT_EQ(texts[0].rfind("no plugins found in the plugins folder \\plugins\\", 0), 0u);
    EXPECT_EQ(texts[1], "Game cannot be determindeded");
    EXPECT_EQ(texts[2], kFirstRunGreeting);
}

TEST_F(StartupTest, AWronglyTypedSettingIsReportedAndTheProgramGoesOn) {
    const DWORD number = 3;
    setUserValue(kRoot + "\\gam", "path", REG_DWORD, &number, sizeof number);
    VelmoraProcess velmora(exe(), "");
    MessageBoxWatcher boxes(velmora.id());
    ASSERT_TRUE(boxes.waitFor(1));
    ASSERT_TRUE(waitReady(velmora));
    ASSERT_TRUE(showMarker(boxes));
    // The root key already existed (the game key is below it): no greeting.
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Invalid data type for 'path'", kMarkerText}));
    // The game loaded without its path: a link for it is recorded as usual.
    VelmoraProcess second(exe(), "127.1.2.3 gam");
    EXPECT_EQ(second.waitExit(10000), 0u);
    for (int i = 0; i < 500 && history().empty(); ++i) Sleep(20);
    EXPECT_EQ(history(), std::string("127.1.2.3:27960,") + '\0');
    EXPECT_EQ(boxes.messages().size(), 2u);
}

// A web link is handed over like any link: one longer than an atom fails at
// the hand-off with the system's report, and the running copy gets nothing;
// the first copy refuses it itself with the link's own message, and a link
// for a game the table lacks finds no game rather than one that fits its port.
TEST_F(StartupTest, AWebLinkLongerThanAnAtomFailsAtTheHandOffAndIsRefusedByAFirstCopy) {
    const std::string longLink = "qw://" + std::string(290, 'a') + ":27960/";
    {
        VelmoraProcess first(exe(), longLink);
        MessageBoxWatcher boxes(first.id());
        ASSERT_TRUE(boxes.waitFor(2));
        ASSERT_TRUE(waitReady(first));
        EXPECT_EQ(boxes.texts()[0].rfind("This link was not opened:\r\n\r\nqw://aaa", 0), 0u) << boxes.texts()[0];
        EXPECT_NE(boxes.texts()[0].find("It is longer than 255 characters."), std::string::npos);
        EXPECT_EQ(boxes.texts()[1], kFirstRunGreeting) << "nothing was recorded before the first-run test";

        VelmoraProcess second(exe(), longLink);
        MessageBoxWatcher secondBoxes(second.id());
        EXPECT_EQ(second.waitExit(15000), 1u);
        ASSERT_EQ(secondBoxes.messages().size(), 1u);
        EXPECT_EQ(secondBoxes.messages()[0].text.rfind("Win32 Error.  Code: ", 0), 0u);

        // The table holds Gamma (gam, 27960) only: a quake3 link on its port is no Gamma link.
        VelmoraProcess third(exe(), "quake3://127.0.0.1:27960/");
        EXPECT_EQ(third.waitExit(15000), 0u);
        ASSERT_TRUE(boxes.waitFor(3));
        EXPECT_EQ(boxes.texts()[2], "Game cannot be determindeded");
        EXPECT_EQ(boxes.messages().size(), 3u);
        EXPECT_EQ(history(), "");
    }
}
