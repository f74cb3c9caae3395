// The base of every window the program owns. One window procedure serves all
// of them: the object's `this` travels in CreateWindowEx's creation parameter,
// is bound to the HWND on WM_NCCREATE and unbound on WM_NCDESTROY (or before
// the object destroys its window). Errors never cross the window procedure:
// they are caught there and shown by the application's error report.
#pragma once
#include <windows.h>

namespace velmora {

class Window {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND handle() const { return hwnd_; }
    // The object behind a window of the shared procedure, or null for any other window.
    static Window* fromHandle(HWND hwnd);

    // Registers a window class served by the shared window procedure; a
    // class registered before is left as it is.
    static void registerClass(const char* className, UINT style = 0, HICON icon = nullptr,
                              HBRUSH background = nullptr);

protected:
    Window() = default;

    // Creates the window; raises the system error when that fails.
    void createWindow(const char* className, const char* caption, DWORD style, DWORD exStyle, int x, int y,
                      int width, int height, HWND parent);
    void destroyWindow();

    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcA(hwnd_, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

}  // namespace velmora
