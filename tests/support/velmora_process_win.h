// Test support: velmora.exe started as a real process in a folder of its own
// (with the plug-ins a test chooses), on the same Wine desktop as the test.
#pragma once
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velmora::testing {

// A Linux path as Wine sees it: drive Z: is the Linux root.
inline std::filesystem::path winePath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

class VelmoraProcess {
public:
    // Starts `exe` with `arguments` (appended to the quoted program name as they are).
    VelmoraProcess(const std::filesystem::path& exe, const std::string& arguments) {
        std::string commandLine = "\"" + exe.string() + "\"";
        if (!arguments.empty()) commandLine += " " + arguments;
        std::vector<char> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back('\0');
        STARTUPINFOA si{};
        si.cb = sizeof si;
        const std::string folder = exe.parent_path().string();
        started_ = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                                  &pi_) != FALSE;
    }
    ~VelmoraProcess() {
        if (!started_) return;
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi_.hProcess, 99);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }
    VelmoraProcess(const VelmoraProcess&) = delete;
    VelmoraProcess& operator=(const VelmoraProcess&) = delete;

    bool started() const { return started_; }
    DWORD id() const { return pi_.dwProcessId; }
    // The exit code once the process has ended within `ms`; STILL_ACTIVE otherwise.
    DWORD waitExit(DWORD ms) const {
        if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    bool running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

    // The process's top-level window of `className`, waiting up to `ms`.
    HWND window(const char* className, DWORD ms = 10000) const {
        for (DWORD waited = 0;; waited += 20) {
            if (HWND found = find(className)) return found;
            if (waited >= ms || !running()) return nullptr;
            Sleep(20);
        }
    }
    // Every top-level window of `className` on the desktop, of any process.
    static std::vector<HWND> windowsOfClass(const char* className) {
        Search search{className, {}};
        EnumWindows(&collect, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

private:
    struct Search {
        const char* cls;
        std::vector<HWND> found;
    };
    static BOOL CALLBACK collect(HWND hwnd, LPARAM p) {
        auto* s = reinterpret_cast<Search*>(p);
        char cls[64] = {};
        GetClassNameA(hwnd, cls, sizeof cls);
        if (lstrcmpiA(cls, s->cls) == 0) s->found.push_back(hwnd);  // class atoms ignore case
        return TRUE;
    }
    HWND find(const char* className) const {
        for (HWND hwnd : windowsOfClass(className)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid == pi_.dwProcessId) return hwnd;
        }
        return nullptr;
    }

    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

}  // namespace velmora::testing
