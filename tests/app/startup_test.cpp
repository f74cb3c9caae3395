// velmora.exe started for real: one copy per desktop, the hand-off of a later
// copy's command line, the first-run test and the errors of the start-up link.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/main_win.h"
#include "app/startup_win.h"
// after windows.h, which it needs
#include <tlhelp32.h>
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

bool waitUntilHistoryHas(const std::string& address) {
    for (int i = 0; i < 500; ++i) {
        if (userValue(kRoot + "\\gam", "history").find(address) != std::string::npos) return true;
        Sleep(20);
    }
    return false;
}

// The full path of a module loaded in a process, by its file name; empty when none.
std::string loadedModulePath(DWORD process, const char* name) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process);
    if (snapshot == INVALID_HANDLE_VALUE) return {};
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    std::string path;
    for (BOOL more = Module32First(snapshot, &module); more; more = Module32Next(snapshot, &module))
        if (lstrcmpiA(module.szModule, name) == 0) path = module.szExePath;
    CloseHandle(snapshot);
    return path;
}


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

// The uninstaller's quit request ends a copy in the tray, with a query window
// and the settings window open, as the tray's Quit does: exit code 0, no kill.
TEST_F(StartupTest, TheQuitRequestEndsTheRunningCopyAsQuitDoes) {
    RunningCopy first(exe());
    ASSERT_TRUE(first.boxes.waitFor(1));  // the greeting; the settings window stays open
    ASSERT_TRUE(waitReady(first.process));
    VelmoraProcess second(exe(), "127.4.4.4:27962 gam");
    EXPECT_EQ(second.waitExit(10000), 0u);
    ASSERT_TRUE(first.process.window("Tloadform"));

    // WM_NUDGE, the message just below it, leaves the program running.
    PostMessageA(first.process.window("Tmainform"), WM_NUDGE, 0, 0);
    VelmoraProcess third(exe(), "127.4.4.5:27962 gam");
    EXPECT_EQ(third.waitExit(10000), 0u);
    EXPECT_TRUE(waitUntilHistoryHas("127.4.4.5:27962"));
    EXPECT_TRUE(first.process.running());

    PostMessageA(first.process.window("Tmainform"), WM_QUITVELMORA, 0, 0);
    EXPECT_EQ(first.process.waitExit(15000), 0u);
    EXPECT_EQ(first.boxes.messages().size(), 1u) << "no box on the way out";
}

// The manifest gives velmora.exe Common Controls 6: the loader takes comctl32
// from the side-by-side assembly of version 6 (under Wine the same file as
// system32's, version resource 5.81 in both, so the assembly is what tells).
// This test program has no manifest and keeps system32's.
TEST_F(StartupTest, VelmoraLoadsCommonControlsSixFromItsManifest) {
    setUserString(kRoot + "\\", "", "The Velmora by Drovik.");  // not a first run
    VelmoraProcess velmora(exe(), "");
    ASSERT_TRUE(waitReady(velmora));
    const auto lower = [](std::string text) {
        CharLowerA(text.data());
        return text;
    };
    const std::string program = lower(loadedModulePath(velmora.id(), "comctl32.dll"));
    const std::string mine = lower(loadedModulePath(GetCurrentProcessId(), "comctl32.dll"));
    EXPECT_NE(program.find("\\winsxs\\"), std::string::npos) << program;
    EXPECT_NE(program.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos) << program;
    EXPECT_NE(mine.find("\\system32\\comctl32.dll"), std::string::npos) << mine;
}

namespace {
// A running copy played by this test: its main window identifies itself as
// Velmora's, then takes a handed-over link in one of two ways. Its window
// lives on a thread of its own, so the test goes on while it is busy.
class TestRunningCopy {
public:
    enum class Busy {
        Stuck,        // takes no message until released: a hung copy
        ReadingABox,  // goes on taking messages, as while the user reads a box it shows
    };
    explicit TestRunningCopy(Busy busy) : busy_(busy) {
        thread_ = std::thread([this] { run(); });
        WaitForSingleObject(ready_, 10000);
    }
    ~TestRunningCopy() {
        SetEvent(release_);
        if (thread_id_) PostThreadMessageA(thread_id_, WM_QUIT, 0, 0);
        thread_.join();
        CloseHandle(ready_);
        CloseHandle(release_);
        CloseHandle(arrived_);
    }
    bool linkArrived(DWORD ms) const { return WaitForSingleObject(arrived_, ms) == WAIT_OBJECT_0; }
    void release() { SetEvent(release_); }
    // The link its window read from the atom, once it has let go of it.
    std::string link(DWORD ms) const {
        return WaitForSingleObject(done_, ms) == WAIT_OBJECT_0 ? link_ : "(not read)";
    }

private:
    // How long a copy reading a box keeps the link: longer than the system
    // takes to call a window that takes no messages hung.
    static constexpr DWORD kReadingMs = 7000;

    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<TestRunningCopy*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_IDENTIFY) return kIdentifyAnswer;
        if (msg == WM_OPENLINK && self) {
            SetEvent(self->arrived_);
            if (self->busy_ == Busy::Stuck) {
                WaitForSingleObject(self->release_, INFINITE);
            } else {
                const DWORD start = GetTickCount();
                bool quit = false;
                while (!quit && GetTickCount() - start < kReadingMs) {
                    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
                    MSG m;
                    while (!quit && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                        if (m.message != WM_QUIT) {
                            DispatchMessageA(&m);
                            continue;
                        }
                        // The test ends early: the outer loop must see it too.
                        quit = true;
                        PostQuitMessage(0);
                    }
                }
            }
            char text[260] = {};
            const UINT length = GlobalGetAtomNameA(static_cast<ATOM>(w & 0xFFFF), text, sizeof text);
            self->link_.assign(text, length);
            SetEvent(self->done_);
            return 0;
        }
        return DefWindowProcA(hwnd, msg, w, l);
    }
    void run() {
        thread_id_ = GetCurrentThreadId();
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kMainformClass;
        RegisterClassA(&wc);
        const HWND window = CreateWindowExA(0, kMainformClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                            GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetEvent(ready_);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        DestroyWindow(window);
        UnregisterClassA(kMainformClass, GetModuleHandleA(nullptr));
    }

    const Busy busy_;
    HANDLE ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE arrived_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string link_;
    std::atomic<DWORD> thread_id_{0};
    std::thread thread_;
};
}  // namespace

// A running copy that hangs while it takes the link does not hang the later
// copy for good: that copy says so and ends, and the link, kept for the hung
// copy, is still the one it reads should it recover.
TEST_F(StartupTest, ALaterCopyGivesUpOnARunningCopyThatStopsAnswering) {
    TestRunningCopy running(TestRunningCopy::Busy::Stuck);
    VelmoraProcess second(exe(), "127.1.2.3 gam");
    MessageBoxWatcher boxes(second.id());
    ASSERT_TRUE(running.linkArrived(15000));
    EXPECT_EQ(second.waitExit(30000), 1u) << "the later copy still waits for the hung one";
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{notansweringmessage("127.1.2.3 gam")});
    ASSERT_FALSE(boxes.messages().empty());
    EXPECT_EQ(boxes.messages()[0].caption, "Velmora");
    running.release();
    EXPECT_EQ(running.link(10000), "127.1.2.3 gam");
}

// A running copy that takes long over the link but goes on taking messages
// (it shows a box about the link, and the user reads it) is waited for,
// however long: the later copy ends when the link is handled, without a box.
TEST_F(StartupTest, ALaterCopyWaitsForARunningCopyThatShowsABoxAboutTheLink) {
    TestRunningCopy running(TestRunningCopy::Busy::ReadingABox);
    VelmoraProcess second(exe(), "127.1.2.3 gam");
    MessageBoxWatcher boxes(second.id());
    ASSERT_TRUE(running.linkArrived(15000));
    EXPECT_EQ(second.waitExit(30000), 0u);
    EXPECT_EQ(running.link(0), "127.1.2.3 gam") << "the later copy ended before its link was read";
    EXPECT_TRUE(boxes.messages().empty()) << boxes.texts().front();
}
