// stuck_copy.exe : a running Velmora that is slow to let go, for the installer
// test, which puts it in place of the installed velmora.exe and starts it there.
// It shows the running copy's window (class Tmainform, answering WM_IDENTIFY)
// and holds its own file as a running program does, and ends on the quit
// request with exit code 0:
//   --busy MS    reads no message for its first MS, as a copy busy or hung;
//   --linger MS  keeps running MS after its window has gone, as a copy that
//                still finishes its work on the way out.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "app/main_win.h"

namespace {

LRESULT CALLBACK copyWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case velmora::WM_IDENTIFY: return velmora::kIdentifyAnswer;
        case velmora::WM_QUITVELMORA: DestroyWindow(hwnd); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

}  // namespace

int main(int argc, char** argv) {
    DWORD busy = 0, linger = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--busy") == 0) busy = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--linger") == 0) linger = std::strtoul(argv[i + 1], nullptr, 10);
    }
    // Windows keeps a running program's file from being written or deleted;
    // Wine may not, so the copy holds it itself.
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const HANDLE file = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;

    WNDCLASSA wc{};
    wc.lpfnWndProc = copyWindow;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = velmora::kMainformClass;
    if (!RegisterClassA(&wc)) return 3;
    // Hidden and top-level, as the program's own: the installer finds it by class.
    if (!CreateWindowExA(0, velmora::kMainformClass, "Velmora", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                         wc.hInstance, nullptr))
        return 4;

    if (busy) Sleep(busy);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    if (linger) Sleep(linger);
    CloseHandle(file);
    return 0;
}
