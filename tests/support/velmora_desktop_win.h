// Test support: driving a velmora.exe of another process as a player's hand
// would, on the shared Wine desktop: clicks at client points, the settings
// window's pages, a file opened through the shell's association, and waiting
// for what the program shows.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "tests/support/velmora_process_win.h"

namespace velmora::testing {

// Polls `condition` until it holds or `ms` have passed; its last answer.
inline bool waitUntil(const std::function<bool()>& condition, DWORD ms = 15000) {
    for (DWORD waited = 0; waited < ms; waited += 20) {
        if (condition()) return true;
        Sleep(20);
    }
    return condition();
}

// A left click at a client point of a window of any process.
inline void postClick(HWND window, POINT at) {
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

struct ChildSearch {
    const char* cls;
    HWND found;
};
inline BOOL CALLBACK findVisibleChild(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<ChildSearch*>(p);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, s->cls) == 0 && (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The first child window of `parent` of `className` that is visible (style
// bit, so a hidden owner's pages count), or null.
inline HWND visibleChild(HWND parent, const char* className) {
    ChildSearch search{className, nullptr};
    EnumChildWindows(parent, &findVisibleChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The settings window's page showing now; it exists a little after the
// window itself, so this waits for it.
inline HWND settingsPage(const VelmoraProcess& velmora) {
    const HWND settings = velmora.window("Tsettingsform");
    if (!settings) return nullptr;
    HWND page = nullptr;
    waitUntil([&] { return (page = visibleChild(settings, "Tpanel")) != nullptr; });
    return page;
}

// True while `process` shows a message box.
inline bool showsMessageBox(DWORD process) {
    for (HWND box : VelmoraProcess::windowsOfClass("#32770")) {
        DWORD pid = 0;
        GetWindowThreadProcessId(box, &pid);
        if (pid == process && IsWindowVisible(box)) return true;
    }
    return false;
}

// The visible top-level windows of `className` that `process` owns.
inline std::vector<HWND> visibleWindows(DWORD process, const char* className) {
    std::vector<HWND> out;
    for (HWND hwnd : VelmoraProcess::windowsOfClass(className)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == process && IsWindowVisible(hwnd)) out.push_back(hwnd);
    }
    return out;
}

// Writes a link file (its line and a line end) and opens it through the
// shell's association, as a click in Explorer or a browser does; the process
// the shell started, or null.
inline HANDLE openThroughShell(const std::filesystem::path& file, const std::string& link) {
    std::ofstream(file, std::ios::binary) << link << "\r\n";
    const std::string path = file.string();
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    EXPECT_TRUE(ShellExecuteExA(&info)) << "the shell finds no association for " << path << ", error "
                                        << GetLastError();
    return info.hProcess;
}

}  // namespace velmora::testing
