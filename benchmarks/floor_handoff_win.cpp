// The floor of a hand-off that ends in a shown window, in two roles:
//   bench_floor_handoff receive   a running copy: a hidden window that, when
//                                 a second copy sends it the link message,
//                                 reads the atom and creates and shows a
//                                 plain tool window of the query window's
//                                 client size (202 x 177)
//   bench_floor_handoff send      a second copy: finds that window, makes the
//                                 atom, sends the message and deletes the atom
// What Velmora's hand-off does beyond this is its own work.
#include <windows.h>

#include <cstring>

namespace {

constexpr char kReceiverClass[] = "TFloorReceiver";
constexpr char kShownClass[] = "TFloorQuery";
constexpr UINT kOpenLink = 32871;

LRESULT CALLBACK shownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        DestroyWindow(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK receiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kOpenLink) {
        char link[260] = {};
        GlobalGetAtomNameA(static_cast<ATOM>(LOWORD(wParam)), link, sizeof link);
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        RECT frame{0, 0, 202, 177};
        AdjustWindowRectEx(&frame, style, FALSE, WS_EX_TOOLWINDOW);
        const int w = frame.right - frame.left, h = frame.bottom - frame.top;
        const HWND shown = CreateWindowExA(WS_EX_TOOLWINDOW, kShownClass, link, style,
                                           (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                                           (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr,
                                           GetModuleHandleA(nullptr), nullptr);
        ShowWindow(shown, SW_SHOW);
        return 0;
    }
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int receive() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = receiverProc;
    wc.lpszClassName = kReceiverClass;
    RegisterClassA(&wc);
    wc.lpfnWndProc = shownProc;
    wc.lpszClassName = kShownClass;
    RegisterClassA(&wc);
    CreateWindowA(kReceiverClass, "floor", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

int send() {
    const HWND receiver = FindWindowA(kReceiverClass, nullptr);
    if (!receiver) return 2;
    const ATOM atom = GlobalAddAtomA("127.0.0.1:27500 qws");
    SendMessageA(receiver, kOpenLink, atom, 0);
    GlobalDeleteAtom(atom);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "receive") == 0) return receive();
    if (argc == 2 && std::strcmp(argv[1], "send") == 0) return send();
    return 1;
}
