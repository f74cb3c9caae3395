// Test support for the settings window and the manual join dialog: a main
// window whose game table holds three test plug-ins, on an emptied settings
// key, and small helpers to click anchors and read the registry.
#pragma once
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_win.h"
#include "markup/markuplabel_win.h"
#include "settings/settingsstore.h"
#include "tests/support/registry_fixture_win.h"
#include "ui/application_win.h"

namespace velmora::testing {

inline Application& testApplication() {
    static Application* application = Application::current() ? Application::current() : new Application();
    return *application;
}

inline void pump() {
    for (int i = 0; i < 5; ++i) {
        testApplication().processMessages();
        Sleep(5);
    }
}

// Runs the message loop (messages and idle steps, as the program does) until
// `until` holds or `ms` have passed; true when it held.
inline bool pumpUntil(DWORD ms, const std::function<bool()>& until) {
    Application& a = testApplication();
    const DWORD start = GetTickCount();
    while (!until()) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms) return false;
        if (a.hasOnIdle()) {
            a.handleNextMessage();
        } else {
            // Nothing idles: wait for a message, but never past the deadline.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
            a.processMessages();
        }
    }
    return true;
}

// A key step of a table: keys pressed for real, then the message loop runs
// until `done` holds.
struct KeyStep {
    const char* what;
    std::function<void()> keys;
    std::function<bool()> done;
};

inline void runSteps(const std::vector<KeyStep>& steps) {
    for (const KeyStep& step : steps) {
        SCOPED_TRACE(step.what);
        step.keys();
        ASSERT_TRUE(pumpUntil(5000, step.done));
    }
}

// Makes `window` the foreground window, so that key input reaches it.
inline bool foreground(HWND window) {
    SetForegroundWindow(window);
    return pumpUntil(5000, [&] { return GetForegroundWindow() == window; });
}

// A client point of `label` over the anchor `href`, found by the label's own hit test.
inline POINT anchorPoint(TMarkupLabel& label, const std::string& href) {
    for (int y = 0; y < label.height(); y += 2)
        for (int x = 0; x < label.width(); x += 2)
            if (label.AnchorAt(x, y) == href) return {label.left() + x, label.top() + y};
    ADD_FAILURE() << "no anchor " << href;
    return {-1, -1};
}

// A real click on the anchor, through the window that paints the label.
inline void clickAnchor(TMarkupLabel& label, const std::string& href) {
    const POINT p = anchorPoint(label, href);
    SendMessageA(label.parent().handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    SendMessageA(label.parent().handle(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

// Clicks a client point of the settings window's visible page in another
// process (the window exists before its pages are made: waits for the page).
inline bool clickVisiblePage(HWND settings, POINT at) {
    struct Search {
        static BOOL CALLBACK visit(HWND hwnd, LPARAM p) {
            char cls[32] = {};
            GetClassNameA(hwnd, cls, sizeof cls);
            if (lstrcmpiA(cls, "Tpanel") != 0 || !(GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE)) return TRUE;
            *reinterpret_cast<HWND*>(p) = hwnd;
            return FALSE;
        }
    };
    HWND page = nullptr;
    for (int waited = 0; !page && waited < 15000; waited += 20) {
        EnumChildWindows(settings, &Search::visit, reinterpret_cast<LPARAM>(&page));
        if (!page) Sleep(20);
    }
    if (!page) return false;
    PostMessageA(page, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageA(page, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    return true;
}

// The file-type and web link keys the desktop tests touch, per user and in
// the merged root. A key a test made unwritable gets an open access list
// first: deleting needs full access to it.
inline void deleteClasses() {
    for (const char* key : {".server", "VelmoraFile", ".vlm", "VelmoraPlugin", "qw", "quake2", "quake3"}) {
        const std::string user = std::string("Software\\Classes\\") + key;
        HKEY refused = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, user.c_str(), 0, WRITE_DAC, &refused) == ERROR_SUCCESS) {
            SECURITY_DESCRIPTOR open;
            InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
            SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
            RegSetKeySecurity(refused, DACL_SECURITY_INFORMATION, &open);
            RegCloseKey(refused);
        }
        SHDeleteKeyA(HKEY_CURRENT_USER, user.c_str());
        SHDeleteKeyA(HKEY_CLASSES_ROOT, key);
    }
}

// A string value below any root, or "<missing>".
inline std::string rootString(HKEY root, const std::string& key, const std::string& name) {
    char data[1024] = {};
    DWORD size = sizeof data;
    if (SHGetValueA(root, key.c_str(), name.empty() ? nullptr : name.c_str(), nullptr, data, &size) != ERROR_SUCCESS)
        return "<missing>";
    return std::string(data);
}

class GameTableTest : public ::testing::Test {
protected:
    static constexpr const char* kRoot = "software\\Drovik\\Velmora";

    void SetUp() override {
        testApplication();
        deleteUserKey(kRoot);
        namespace fs = std::filesystem;
        folder_ = fs::temp_directory_path() / ("velmora-settings-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        // Alpha Game (alp, 27500), Gamma Game (gam, 27960), No Icon (non, 26000).
        for (const char* name : {"alpha.vlm", "gamma.vlm", "noicon.vlm"})
            fs::copy_file(fs::path(VELMORA_TEST_PLUGINS) / name, folder_ / "plugins" / name);
        mainform = std::make_unique<Tmainform>();
        mainform->loadplugins(folder_.string() + "\\");
        ASSERT_EQ(mainform->games().size(), 3u);
    }
    void TearDown() override {
        mainform.reset();
        deleteUserKey(kRoot);
        std::filesystem::remove_all(folder_);
    }
    std::string storedPath(int g) const { return userString(gamekey(mainform->games()[g].gameid), "path"); }
    static std::string userString(const std::string& key, const std::string& name) {
        std::string raw = userValue(key, name);
        return raw.substr(0, raw.find('\0'));
    }

    std::filesystem::path folder_;
    std::unique_ptr<Tmainform> mainform;
};

}  // namespace velmora::testing
