// velmora_find_bench.exe: the Windows side of benchmarks/find_bench.py. It
// drives a running velmora.exe from outside, as a player would, and prints
// one figure per line; nothing here judges.
//
//   wait                          until the running copy's window is there
//                                 and it takes messages
//   refresh VELMORA GAMEID        "begin", then starts VELMORA /find GAMEID;
//                                 milliseconds from that start until the
//                                 "Find a game" window shows ("window"),
//                                 until its masters are done ("servers") and
//                                 until its status line says all is done
//                                 ("done MS TEXT"), read every 10 ms
//   rows                          the list's rows as Ctrl+A, Ctrl+C copy
//                                 them ("row TEXT"), after "way clipboard";
//                                 where no copy comes, read cell by cell from
//                                 the list view ("way list view")
//   poll SECONDS                  the status line read every 10 ms for that
//                                 long: what the reading alone costs
//   handoff VELMORA LINK COUNT    milliseconds from starting a second copy
//                                 with LINK until the running copy's query
//                                 window is visible ("handoff MS")
//   handoff-during VELMORA LINK COUNT GAMEID
//                                 the same while "/find GAMEID" refreshes:
//                                 only hand-offs that began and ended while
//                                 servers were being asked count; once a
//                                 refresh ends the window is closed and opened
//                                 again for the next ("refreshes N")
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "benchmarks/started_win.h"

namespace {

constexpr wchar_t kFindCaption[] = L"Find a game";
constexpr char kMainClass[] = "Tmainform";
constexpr char kQueryClass[] = "Tloadform";
constexpr DWORD kPollMs = 10;

double nowMs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

DWORD runningCopy() {
    const HWND main = FindWindowA(kMainClass, nullptr);
    DWORD pid = 0;
    if (main) GetWindowThreadProcessId(main, &pid);
    return pid;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK findFindWindow(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    wchar_t caption[64] = {};
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->process || !InternalGetWindowText(hwnd, caption, 64) || lstrcmpW(caption, kFindCaption) != 0)
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

// The running copy's "Find a game" window (its caption read without a
// message to it), or null.
HWND findWindow(DWORD process) {
    Search s{process, nullptr};
    EnumWindows(&findFindWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

struct ChildSearch {
    const char* windowClass;
    HWND found;
};

BOOL CALLBACK findChild(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<ChildSearch*>(p);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, s->windowClass) != 0) return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND child(HWND parent, const char* windowClass) {
    ChildSearch s{windowClass, nullptr};
    if (parent) EnumChildWindows(parent, &findChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// The status bar's text (its part 0), or "" when it cannot be read.
std::wstring statusText(HWND bar) {
    wchar_t text[512] = {};
    DWORD_PTR result = 0;
    if (!bar || !SendMessageTimeoutW(bar, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                                     &result))
        return {};
    return text;
}

bool isDone(const std::wstring& status) {
    unsigned servers = 0, answered = 0, players = 0;
    wchar_t rest = 0;
    return std::swscanf(status.c_str(), L"%u servers, %u answered, %u players%lc", &servers, &answered, &players,
                        &rest) == 3;
}
bool asksServers(const std::wstring& status) { return status.find(L" of ") != std::wstring::npos; }

// "/find GAMEID" given to the running copy until the refresh it starts ends:
// the status line must first show the refresh at work, then all done.
struct Refresh {
    double started = 0, window = -1, servers = -1, done = -1;
    std::wstring status;
};

bool refresh(const std::string& velmora, const std::string& game, DWORD process, Refresh& r) {
    constexpr double kLimitMs = 120000;
    say("begin\n");
    Sleep(100);  // the processor time is read before the command goes
    r.started = nowMs();
    Started second("\"" + velmora + "\" /find " + game);
    if (!second.ok) return false;
    bool working = false;
    HWND bar = nullptr;
    while (nowMs() - r.started < kLimitMs) {
        if (!bar) {
            const HWND window = findWindow(process);
            if (window && r.window < 0) r.window = nowMs() - r.started;
            bar = child(window, "msctls_statusbar32");
        }
        const std::wstring text = statusText(bar);
        if (!text.empty()) {
            if (text != r.status) say("status %.1f %s\n", nowMs() - r.started, utf8(text).c_str());
            r.status = text;
            if (!isDone(text)) {
                working = true;
                if (asksServers(text) && r.servers < 0) r.servers = nowMs() - r.started;
            } else if (working) {
                r.done = nowMs() - r.started;
                return true;
            }
        }
        Sleep(kPollMs);
    }
    return false;
}

int doRefresh(const std::string& velmora, const std::string& game) {
    const DWORD process = runningCopy();
    if (!process) return 2;
    Refresh r;
    if (!refresh(velmora, game, process, r)) return 3;
    say("window %.1f\n", r.window);
    say("servers %.1f\n", r.servers);
    say("done %.1f %s\n", r.done, utf8(r.status).c_str());
    Sleep(300);  // the processor time is read before this program ends
    return 0;
}

int poll(double seconds) {
    const HWND bar = child(findWindow(runningCopy()), "msctls_statusbar32");
    if (!bar) return 2;
    const double start = nowMs();
    while (nowMs() - start < seconds * 1000.0) {
        statusText(bar);
        Sleep(kPollMs);
    }
    return 0;
}

// ---- the rows --------------------------------------------------------------

void key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

void click(int x, int y) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[2] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = MulDiv(x, 65535, w - 1);
        i.mi.dy = MulDiv(y, 65535, h - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof in[0]);
}

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// Whether `done()` came true within `ms`.
template <typename Done>
bool waitFor(DWORD ms, Done done) {
    const double start = nowMs();
    while (nowMs() - start < ms) {
        if (done()) return true;
        Sleep(10);
    }
    return done();
}

std::wstring clipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Ctrl+A, Ctrl+C in the list, as a player types them: the window brought to
// the front and the list given the focus with a click below its header.
bool copyRows(HWND window, HWND list, std::wstring& text) {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    const DWORD sequence = GetClipboardSequenceNumber();
    SetForegroundWindow(window);
    waitFor(2000, [&] { return GetForegroundWindow() == window; });
    if (focusOf(window) != list) {
        RECT r{}, header{};
        GetWindowRect(list, &r);
        const HWND head = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
        int top = r.top + 4;
        if (head && GetWindowRect(head, &header)) top = header.bottom + 4;
        click(r.left + 40, top + 4);
        waitFor(2000, [&] { return focusOf(window) == list; });
    }
    key(VK_CONTROL, false);
    key('A', false);
    key('A', true);
    key('C', false);
    key('C', true);
    key(VK_CONTROL, true);
    const double start = nowMs();
    while (nowMs() - start < 5000) {
        if (GetClipboardSequenceNumber() != sequence) {
            text = clipboardText();
            if (!text.empty()) return true;
        }
        Sleep(20);
    }
    return false;
}

// The rows read from the list view itself, cell by cell: the item and its
// text buffer live in the running copy's memory, where the list writes.
bool readRows(HWND list, std::wstring& text) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return false;
    constexpr int kChars = 512;
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    bool ok = remote != nullptr;
    const HWND head = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = head ? int(SendMessageW(head, HDM_GETITEMCOUNT, 0, 0)) : 6;
    const int rows = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; ok && row < rows; ++row) {
        for (int column = 0; ok && column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.cchTextMax = kChars;
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
            wchar_t cell[kChars] = {};
            ok = WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
                 WriteProcessMemory(process, remote + sizeof(LVITEMW), cell, sizeof(wchar_t), nullptr);
            DWORD_PTR length = 0;
            ok = ok && SendMessageTimeoutW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote),
                                           SMTO_ABORTIFHUNG, 2000, &length);
            ok = ok && ReadProcessMemory(process, remote + sizeof(LVITEMW), cell, sizeof cell - sizeof(wchar_t),
                                         nullptr);
            text += (column ? L"\t" : L"") + std::wstring(cell);
        }
        text += L"\r\n";
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return ok;
}

int rows() {
    const HWND window = findWindow(runningCopy());
    const HWND list = child(window, "SysListView32");
    if (!list) return 2;
    std::wstring text;
    if (copyRows(window, list, text)) {
        say("way clipboard\n");
    } else if (readRows(list, text)) {
        say("way list view\n");
    } else {
        return 3;
    }
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(L"\r\n", at);
        if (end == std::wstring::npos) end = text.size();
        if (end > at) say("row %s\n", utf8(text.substr(at, end - at)).c_str());
        at = end + 2;
    }
    return 0;
}

// ---- hand-offs -------------------------------------------------------------

struct Shown {
    DWORD process;
    bool visible;
};
BOOL CALLBACK findShownQuery(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<Shown*>(p);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->process && lstrcmpiA(cls, kQueryClass) == 0 && IsWindowVisible(hwnd)) {
        s->visible = true;
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Milliseconds from starting a second copy with the link until the running
// copy shows a query window (which is then closed); negative when it never does.
double handoff(const std::string& velmora, const std::string& link, DWORD process) {
    const double start = nowMs();
    Started second("\"" + velmora + "\" " + link);
    if (!second.ok) return -1;
    Shown s{process, false};
    while (!s.visible && nowMs() - start < 20000) {
        EnumWindows(&findShownQuery, reinterpret_cast<LPARAM>(&s));
        if (!s.visible) Sleep(1);
    }
    const double took = nowMs() - start;
    second.waitEnd();
    // The closed window gone before the next: its socket and timer are no
    // part of the next hand-off.
    Shown left{process, true};
    for (int i = 0; i < 500 && left.visible; ++i) {
        left.visible = false;
        EnumWindows(&findShownQuery, reinterpret_cast<LPARAM>(&left));
        if (left.visible) Sleep(10);
    }
    return s.visible ? took : -1;
}

int handoffs(const std::string& velmora, const std::string& link, int count) {
    const DWORD process = runningCopy();
    if (!process) return 2;
    for (int i = 0; i < count; ++i) {
        const double took = handoff(velmora, link, process);
        if (took < 0) return 3;
        say("handoff %.1f\n", took);
    }
    return 0;
}

int handoffsDuring(const std::string& velmora, const std::string& link, int count, const std::string& game) {
    const DWORD process = runningCopy();
    if (!process) return 2;
    int counted = 0, refreshes = 0;
    const double start = nowMs();
    while (counted < count && nowMs() - start < 300000) {
        // An open window asked for the same game again only comes to the
        // front; closed, it refreshes when it opens.
        if (const HWND open = findWindow(process); open && IsWindowVisible(open)) {
            PostMessageA(open, WM_CLOSE, 0, 0);
            if (!waitFor(10000, [&] { return !IsWindowVisible(open); })) return 3;
        }
        // A refresh started, and servers being asked.
        Started second("\"" + velmora + "\" /find " + game);
        if (!second.ok) return 2;
        second.waitEnd();
        ++refreshes;
        const HWND bar = child(findWindow(process), "msctls_statusbar32");
        const double asked = nowMs();
        while (!asksServers(statusText(bar)) && nowMs() - asked < 20000) Sleep(kPollMs);
        while (counted < count && asksServers(statusText(bar))) {
            const double took = handoff(velmora, link, process);
            if (took < 0) return 3;
            if (asksServers(statusText(bar))) {
                say("handoff %.1f\n", took);
                ++counted;
            }
        }
        // The refresh runs to its end before the next starts.
        while (!isDone(statusText(bar)) && nowMs() - asked < 120000) Sleep(kPollMs);
    }
    say("refreshes %d\n", refreshes);
    return counted == count ? 0 : 3;
}

int waitRunning() {
    for (int waited = 0; waited < 30000; waited += 50) {
        if (const HWND main = FindWindowA(kMainClass, nullptr)) {
            DWORD_PTR result = 0;
            if (SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result)) return 0;
        }
        Sleep(50);
    }
    return 3;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    timeBeginPeriod(1);  // Sleep(10) sleeps about 10 ms while reading the status line
    int rc = 1;
    if (mode == "wait" && argc == 2) {
        rc = waitRunning();
    } else if (mode == "refresh" && argc == 4) {
        rc = doRefresh(argv[2], argv[3]);
    } else if (mode == "rows" && argc == 2) {
        rc = rows();
    } else if (mode == "poll" && argc == 3) {
        rc = poll(std::atof(argv[2]));
    } else if (mode == "handoff" && argc == 5) {
        rc = handoffs(argv[2], argv[3], std::atoi(argv[4]));
    } else if (mode == "handoff-during" && argc == 6) {
        rc = handoffsDuring(argv[2], argv[3], std::atoi(argv[4]), argv[5]);
    } else {
        std::fprintf(stderr, "usage: velmora_find_bench wait | refresh VELMORA GAMEID | rows | poll SECONDS\n"
                             "       velmora_find_bench handoff VELMORA LINK COUNT\n"
                             "       velmora_find_bench handoff-during VELMORA LINK COUNT GAMEID\n");
    }
    timeEndPeriod(1);
    return rc;
}
