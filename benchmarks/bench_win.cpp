// velmora_bench.exe: the Windows side of scripts/bench.sh. Each mode prints
// one figure per line for benchmarks/bench.py to gather; nothing here judges.
//
//   ping PLUGINS ADDRESS COUNT   the ping a query window shows, COUNT windows
//                                one after another (QuakeWorld plug-in)
//   timeout PLUGINS ADDRESS COUNT
//                                processor milliseconds this process spends
//                                while a window waits out its time-out
//                                ("waiting N" as the N-th starts to wait,
//                                "cpu" once it has ended)
//   handoff VELMORA FLOOR HANDOFF PORT COUNT
//                                milliseconds from starting a second copy with
//                                a link to the running copy's query window
//                                being visible; from starting FLOOR (a program
//                                that looks for a window and makes an atom) to
//                                its end; and from starting "HANDOFF send" to
//                                the plain window of a running "HANDOFF
//                                receive" being visible
//   breakdown PLUGINS VELMORA PORT COUNT
//                                where a hand-off's time goes: this process is
//                                the running copy (a main window with the
//                                plug-ins of PLUGINS) and VELMORA the second
//                                copy; then the running copy's steps one by one
//   windows PLUGINS ADDRESS COUNT
//                                resident KiB of COUNT open query windows, and
//                                of COUNT plain windows of the same size
//   plugins FOLDER FLOOR COUNT   milliseconds of loading and unloading each
//                                plug-in of FOLDER, and the DLL FLOOR
#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/main_win.h"
#include "benchmarks/started_win.h"
#include "app/startup_win.h"
#include "core/pluginhost_win.h"
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
        // A quick answer may end the query within the turn of the loop that started it.
        if (!pump(10000, [&] { return w.waiting() || w.finished; })) return 3;
        line("waiting %.0f\n", i);
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
    const char* windowClass;
    bool visible;
};
BOOL CALLBACK findShownWindow(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<WindowSearch*>(p);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->process && lstrcmpiA(cls, s->windowClass) == 0 && IsWindowVisible(hwnd)) {
        s->visible = true;
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
    return TRUE;
}
// True (and the window asked to close) once `process` shows a window of
// `windowClass`.
bool closeShownWindow(DWORD process, const char* windowClass) {
    WindowSearch search{process, windowClass, false};
    EnumWindows(&findShownWindow, reinterpret_cast<LPARAM>(&search));
    return search.visible;
}

// Milliseconds from starting `second` until `receiver` shows a window of
// `windowClass` (which is then closed); negative when it never does.
double untilShown(const std::string& second, DWORD receiver, const char* windowClass) {
    const double start = nowMs();
    Started started(second);
    if (!started.ok) return -1;
    bool shown = false;
    while (!shown && nowMs() - start < 20000) {
        shown = closeShownWindow(receiver, windowClass);
        if (!shown) Sleep(1);
    }
    const double took = nowMs() - start;
    WaitForSingleObject(started.pi.hProcess, 10000);
    return shown ? took : -1;
}

HWND waitForWindow(const char* windowClass) {
    HWND found = nullptr;
    for (int waited = 0; !found && waited < 20000; waited += 20) {
        Sleep(20);
        found = FindWindowA(windowClass, nullptr);
    }
    return found;
}

void endRunning(HWND window, Started& process) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process.pi.hProcess, 0);
}

int handoff(const std::string& velmora, const std::string& floor, const std::string& floorHandoff,
            const std::string& port, int count) {
    // The root value present: no first-run greeting in the running copy.
    Registry reg;
    reg.openKey(kSettingsRootKey, true);
    reg.writeString("", kSettingsRootValue);
    reg.closeKey();

    {
        Started first("\"" + velmora + "\"");
        if (!first.ok) return 2;
        const HWND running = waitForWindow("Tmainform");
        if (!running) return 3;
        const std::string link = "\"" + velmora + "\" 127.0.0.1:" + port + " qws";
        for (int i = 0; i < count; ++i) {
            const double took = untilShown(link, first.pi.dwProcessId, "Tloadform");
            if (took < 0) return 3;
            line("handoff %.1f\n", took);
        }
        endRunning(running, first);
    }
    for (int i = 0; i < count; ++i) {
        const double start = nowMs();
        Started atom("\"" + floor + "\"");
        if (!atom.ok) return 2;
        WaitForSingleObject(atom.pi.hProcess, 20000);
        line("floor %.1f\n", nowMs() - start);
    }
    {
        Started receiver("\"" + floorHandoff + "\" receive");
        if (!receiver.ok) return 2;
        const HWND running = waitForWindow("TFloorReceiver");
        if (!running) return 3;
        for (int i = 0; i < count; ++i) {
            const double took = untilShown("\"" + floorHandoff + "\" send", receiver.pi.dwProcessId, "TFloorQuery");
            if (took < 0) return 3;
            line("floorwindow %.1f\n", took);
        }
        endRunning(running, receiver);
    }
    return 0;
}

// The running copy for the breakdown: it notes when a second copy's messages
// arrive and answers them, but opens nothing, so the second copy's own steps
// are timed alone.
class StampedMainform : public Tmainform {
public:
    double identified = 0, linked = 0;

protected:
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_IDENTIFY && identified == 0) identified = nowMs();
        if (message == WM_OPENLINK) {
            linked = nowMs();
            result = 0;
            return true;
        }
        return Tmainform::formMessage(message, wParam, lParam, result);
    }
};

int breakdown(const std::string& plugins, const std::string& velmora, const std::string& port, int count) {
    velmora::test::app();
    StampedMainform mainform;
    mainform.loadplugins(plugins);
    if (mainform.games().empty()) return 2;
    const std::string address = "127.0.0.1:" + port;
    const std::string link = "\"" + velmora + "\" " + address + " qws";
    for (int i = 0; i < count; ++i) {
        // The second copy: its start until it asks this window who it is,
        // its search (timed here, on the same desktop), and its send.
        double search = nowMs();
        findrunningcopy();
        search = nowMs() - search;
        mainform.identified = mainform.linked = 0;
        const double start = nowMs();
        Started second(link);
        if (!second.ok) return 2;
        // Messages are handled (the second copy sends some) until it ends.
        while (MsgWaitForMultipleObjects(1, &second.pi.hProcess, FALSE, 20000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
            velmora::test::app().processMessages();
        const double ended = nowMs();
        if (mainform.identified == 0 || mainform.linked == 0) return 3;
        line("second-start %.2f\n", mainform.identified - start - search);
        line("second-search %.2f\n", search);
        line("second-send %.2f\n", mainform.linked - mainform.identified);
        line("second-exit %.2f\n", ended - mainform.linked);

        // The running copy's steps for the same link, in the order it takes them.
        double t = nowMs();
        mainform.writehistory(0, address);
        line("running-history %.2f\n", nowMs() - t);
        t = nowMs();
        mainform.rebuildmenu();
        line("running-menu %.2f\n", nowMs() - t);
        t = nowMs();
        mainform.openquery(0, address, "");
        line("running-window %.2f\n", nowMs() - t);
        Tloadform& w = *mainform.queries().back();
        t = nowMs();
        if (!pump(10000, [&] { return w.started; })) return 3;
        line("running-paint %.2f\n", nowMs() - t);
        w.close();
        if (!pump(10000, [&] { return mainform.queries().empty(); })) return 3;
    }
    return 0;
}

SIZE_T residentBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

LRESULT CALLBACK plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int windows(const std::string& plugins, const std::string& address, int count) {
    velmora::test::app();
    Tmainform mainform;
    mainform.loadplugins(plugins);
    if (mainform.games().empty()) return 2;
    auto openAll = [&](int n) {
        for (int i = 0; i < n; ++i) mainform.openquery(0, address, "");
        return pump(20000, [&] {
            for (const auto& w : mainform.queries())
                if (!w->started) return false;
            return true;
        });
    };
    // One window first: what the first one loads once (fonts, the socket
    // library, window classes) is no cost of each window.
    if (!openAll(1)) return 3;
    pump(300);
    const SIZE_T before = residentBytes();
    if (!openAll(count)) return 3;
    pump(300);
    line("windows-kib %.2f\n", static_cast<double>(residentBytes() - before) / 1024.0 / count);
    for (const auto& w : mainform.queries()) w->close();
    pump(10000, [&] { return mainform.queries().empty(); });

    // The floor: plain tool windows of the same client size, shown and painted.
    WNDCLASSA wc{};
    wc.lpfnWndProc = plainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "BenchPlainWindow";
    RegisterClassA(&wc);
    auto plain = [&] {
        RECT frame{0, 0, 202, 177};
        AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_TOOLWINDOW);
        const HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, "BenchPlainWindow", "plain", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                       100, 100, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                       wc.hInstance, nullptr);
        ShowWindow(h, SW_SHOW);
        UpdateWindow(h);
    };
    plain();
    pump(300);
    const SIZE_T plainBefore = residentBytes();
    for (int i = 0; i < count; ++i) plain();
    pump(300);
    line("plain-kib %.2f\n", static_cast<double>(residentBytes() - plainBefore) / 1024.0 / count);
    return 0;
}

double loadUnloadMs(const std::string& file) {
    const double start = nowMs();
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const HMODULE module = LoadLibraryA(file.c_str());
    SetErrorMode(previous);
    if (!module) return -1;
    FreeLibrary(module);
    return nowMs() - start;
}

int pluginLoads(const std::string& folder, const std::string& floor, int count) {
    std::vector<std::string> files;
    for (const auto& name : listplugins(folder)) files.push_back(folder + "plugins\\" + name);
    files.push_back(floor);
    for (const auto& file : files) {
        for (int i = 0; i < count; ++i) {
            const double took = loadUnloadMs(file);
            if (took < 0) return 3;
            std::printf("load %.3f %s\n", took, file.substr(file.find_last_of("\\/") + 1).c_str());
        }
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    timeBeginPeriod(1);  // Sleep(1) sleeps about a millisecond while waiting for windows
    int rc = 1;
    if ((mode == "ping" || mode == "timeout") && argc == 5) {
        const bool ping = mode == "ping";
        // The pointer rests off the windows, as it does off the floor's: a
        // pointer over the query window has the form track it for its hints.
        if (!ping) SetCursorPos(0, 0);
        rc = queries(argv[2], argv[3], std::atoi(argv[4]), [&](Tloadform& w, double cpuBefore) {
            if (ping)
                line("ping %.0f\n", static_cast<double>(w.elapsedMs));
            else
                line("cpu %.1f\n", processCpuMs() - cpuBefore);
        });
    } else if (mode == "handoff" && argc == 7) {
        rc = handoff(argv[2], argv[3], argv[4], argv[5], std::atoi(argv[6]));
    } else if (mode == "breakdown" && argc == 6) {
        rc = breakdown(argv[2], argv[3], argv[4], std::atoi(argv[5]));
    } else if (mode == "windows" && argc == 5) {
        rc = windows(argv[2], argv[3], std::atoi(argv[4]));
    } else if (mode == "plugins" && argc == 5) {
        rc = pluginLoads(argv[2], argv[3], std::atoi(argv[4]));
    } else {
        std::fprintf(stderr, "usage: velmora_bench ping|timeout PLUGINS ADDRESS COUNT\n"
                             "       velmora_bench handoff VELMORA FLOOR HANDOFF PORT COUNT\n"
                             "       velmora_bench breakdown PLUGINS VELMORA PORT COUNT\n"
                             "       velmora_bench windows PLUGINS ADDRESS COUNT\n"
                             "       velmora_bench plugins FOLDER FLOOR COUNT\n");
    }
    timeEndPeriod(1);
    return rc;
}
