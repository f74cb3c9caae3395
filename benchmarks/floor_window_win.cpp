// The floor of an idle tray program: one hidden window and a message loop in
// a program that loads the system libraries Velmora loads, so its memory is
// what any such program costs under the same system.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // One call into each library, so the loader maps every one of them.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    CommDlgExtendedError();
    timeGetTime();
    SHGetFileInfoA("", 0, nullptr, 0, 0);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "software", 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
    HMODULE sockets = LoadLibraryA("wsock32.dll");
    GetStockObject(DEFAULT_GUI_FONT);

    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = "FloorWindow";
    RegisterClassA(&wc);
    CreateWindowA("FloorWindow", "floor", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    FreeLibrary(sockets);
    return 0;
}
