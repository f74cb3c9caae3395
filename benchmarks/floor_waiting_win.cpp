// The floor of a query window waiting out its time-out: the frames such a
// window shows while it waits, shown by the plainest program. A window of the
// query window's size whose 105 x 105 picture changes ten times a second (a
// window timer and one BitBlt from a memory bitmap), and a tray icon that
// changes five times a second (NIM_MODIFY between two icons), for COUNT waits
// of a second each. Like velmora_bench's timeout mode it prints "waiting N" as
// a wait starts and "cpu" as it ends, so bench.py reads both the same way.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr UINT_PTR kHandFrame = 1, kTrayFrame = 2, kTimeOut = 3;
constexpr int kSide = 105, kFrames = 12;

struct Floor {
    HBITMAP strip = nullptr;
    int frame = 0;
    HICON icons[2] = {};
    int shown = 0;
    NOTIFYICONDATAA tray{};
    bool waiting = false;
};
Floor floor;

void showNextFrame(HWND window) {
    floor.frame = (floor.frame + 1) % kFrames;
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, floor.strip);
    BitBlt(dc, 48, 8, kSide, kSide, memory, floor.frame * kSide, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(window, dc);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_TIMER) return DefWindowProcA(window, message, wParam, lParam);
    if (wParam == kHandFrame) {
        showNextFrame(window);
    } else if (wParam == kTrayFrame) {
        floor.shown ^= 1;
        floor.tray.hIcon = floor.icons[floor.shown];
        Shell_NotifyIconA(NIM_MODIFY, &floor.tray);
    } else if (wParam == kTimeOut) {
        floor.waiting = false;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 20;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = "FloorWaiting";
    RegisterClassA(&wc);

    HDC screen = GetDC(nullptr);
    floor.strip = CreateCompatibleBitmap(screen, kSide * kFrames, kSide);
    ReleaseDC(nullptr, screen);
    floor.icons[0] = LoadIconA(nullptr, IDI_APPLICATION);
    floor.icons[1] = LoadIconA(nullptr, IDI_INFORMATION);

    // The tray icon is there before the waits, as the program's is.
    HWND owner = CreateWindowA("FloorWaiting", "tray", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    floor.tray.cbSize = sizeof floor.tray;
    floor.tray.hWnd = owner;
    floor.tray.uID = 1;
    floor.tray.uFlags = NIF_ICON | NIF_TIP;
    floor.tray.hIcon = floor.icons[0];
    lstrcpyA(floor.tray.szTip, "floor");
    Shell_NotifyIconA(NIM_ADD, &floor.tray);

    for (int i = 0; i < count; ++i) {
        RECT frame{0, 0, 202, 177};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        HWND window = CreateWindowA("FloorWaiting", "floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                    nullptr);
        UpdateWindow(window);
        std::printf("waiting %d\n", i);
        std::fflush(stdout);
        floor.waiting = true;
        SetTimer(window, kHandFrame, 100, nullptr);
        SetTimer(owner, kTrayFrame, 200, nullptr);
        SetTimer(window, kTimeOut, 1000, nullptr);
        MSG msg;
        while (floor.waiting && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        KillTimer(owner, kTrayFrame);
        std::printf("cpu\n");
        std::fflush(stdout);
        DestroyWindow(window);
    }
    Shell_NotifyIconA(NIM_DELETE, &floor.tray);
    DestroyWindow(owner);
    DeleteObject(floor.strip);
    return 0;
}
