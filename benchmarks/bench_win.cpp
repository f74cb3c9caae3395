// velmora_bench.exe: the Windows side of scripts/bench.sh. Each mode prints
// one figure per line for benchmarks/bench.py to gather; nothing here judges.
//
//   ping PLUGINS ADDRESS COUNT   the ping a query window shows, COUNT windows
//                                one after another (QuakeWorld plug-in)
//   timeout PLUGINS ADDRESS COUNT
//                                processor milliseconds this process spends
//                                while a window waits out its time-out
//                                (after "waiting 0" once the first one waits)
//   handoff VELMORA FLOOR PORT COUNT
//                                milliseconds from starting a second copy with
//                                a link to the running copy's query window
//                                being visible, then from starting FLOOR (a
//                                program that looks for a window and makes an
//                                atom) to its end
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/main_win.h"
#include "query/loading_win.h"
#include "settings/registry_win.h"
#include "settings/settingsstore.h"
#include "tests/net/netloop_win.h"

using namespace velmora;
using velmora::test::pump;

namespace {

double nowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double processCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

void line(const char* format, double value) {
    std::printf(format, value);
    std::fflush(stdout);
}

// One query window after another against `address`; `each` sees every
// finished window before it is closed and released.
int queries(const std::string& plugins, const std::string& address, int count,
            const std::function<void(Tloadform&, double cpuBefore)>& each) {
    velmora::test::app();
    Tmainform mainform;
    mainform.loadplugins(plugins);
    if (mainform.games().empty()) {
        std::fprintf(stderr, "no plug-in in %s\n", plugins.c_str());
        return 2;
    }
    for (int i = 0; i < count; ++i) {
        mainform.openquery(0, address, "");
        Tloadform& w = *mainform.queries().back();
        if (!pump(10000, [&] { return w.waiting(); })) return 3;
        if (i == 0) line("waiting %.0f\n", 0);
        const double cpu = processCpuMs();
        if (!pump(10000, [&] { return w.finished; })) return 3;
        each(w, cpu);
        w.close();
        if (!pump(10000, [&] { return mainform.queries().empty(); })) return 3;
    }
    return 0;
}

struct WindowSearch {
    DWORD process;
    bool visible;
};
BOOL CALLBACK findQueryWindow(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<WindowSearch*>(p);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->process && lstrcmpiA(cls, "Tloadform") == 0 && IsWindowVisible(hwnd)) {
        s->visible = true;
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
    return TRUE;
}
// True (and the window asked to close) once `process` shows a query window.
bool closeQueryWindow(DWORD process) {
    WindowSearch search{process, false};
    EnumWindows(&findQueryWindow, reinterpret_cast<LPARAM>(&search));
    return search.visible;
}

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
};

int handoff(const std::string& velmora, const std::string& floor, const std::string& port, int count) {
    // The root value present: no first-run greeting in the running copy.
    Registry reg;
    reg.openKey(kSettingsRootKey, true);
    reg.writeString("", kSettingsRootValue);
    reg.closeKey();

    Started first("\"" + velmora + "\"");
    if (!first.ok) return 2;
    HWND running = nullptr;
    for (int waited = 0; !running && waited < 20000; waited += 20) {
        Sleep(20);
        running = FindWindowA("Tmainform", nullptr);
    }
    if (!running) return 3;
    const std::string link = "\"" + velmora + "\" 127.0.0.1:" + port + " qws";
    for (int i = 0; i < count; ++i) {
        const double start = nowMs();
        Started second(link);
        if (!second.ok) return 2;
        bool shown = false;
        while (!shown && nowMs() - start < 20000) {
            shown = closeQueryWindow(first.pi.dwProcessId);
            if (!shown) Sleep(1);
        }
        if (!shown) return 3;
        line("handoff %.1f\n", nowMs() - start);
        WaitForSingleObject(second.pi.hProcess, 10000);
    }
    for (int i = 0; i < count; ++i) {
        const double start = nowMs();
        Started atom("\"" + floor + "\"");
        if (!atom.ok) return 2;
        WaitForSingleObject(atom.pi.hProcess, 20000);
        line("floor %.1f\n", nowMs() - start);
    }
    PostMessageA(running, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(first.pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(first.pi.hProcess, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    timeBeginPeriod(1);  // Sleep(1) sleeps about a millisecond while waiting for windows
    int rc = 1;
    if ((mode == "ping" || mode == "timeout") && argc == 5) {
        const bool ping = mode == "ping";
        rc = queries(argv[2], argv[3], std::atoi(argv[4]), [&](Tloadform& w, double cpuBefore) {
            if (ping)
                line("ping %.0f\n", w.ticks);
            else
                line("cpu %.1f\n", processCpuMs() - cpuBefore);
        });
    } else if (mode == "handoff" && argc == 6) {
        rc = handoff(argv[2], argv[3], argv[4], std::atoi(argv[5]));
    } else {
        std::fprintf(stderr, "usage: velmora_bench ping|timeout PLUGINS ADDRESS COUNT\n"
                             "       velmora_bench handoff VELMORA FLOOR PORT COUNT\n");
    }
    timeEndPeriod(1);
    return rc;
}
