// A process the benchmark programs start (a second copy given a command
// line), its handles closed when it goes.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct Started {
    PROCESS_INFORMATION pi{};
    bool ok = false;
    explicit Started(const std::string& commandLine) {
        std::vector<char> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back('\0');
        STARTUPINFOA si{};
        si.cb = sizeof si;
        ok = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != FALSE;
    }
    ~Started() {
        if (!ok) return;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    // A second copy ends once it has handed its command over.
    void waitEnd() const {
        if (ok) WaitForSingleObject(pi.hProcess, 20000);
    }
};
