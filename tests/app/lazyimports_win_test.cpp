// The shell, common controls and dialogs are loaded at the first call of one
// of their functions: before it the library is not in the process, the first
// call does what the function does, and from then on the program's pointer to
// the function is the library's own.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <bit>
#include <vector>

#include <gtest/gtest.h>

namespace {

FARPROC address(auto function) { return std::bit_cast<FARPROC>(function); }

struct Import {
    const char* dll;
    const char* name;
    FARPROC pointer;  // what a call goes through: with dllimport, &function reads the pointer
};

// Read anew on each call.
std::vector<Import> imports() {
    return {
        {"shell32.dll", "SHChangeNotify", address(&SHChangeNotify)},
        {"shell32.dll", "SHGetFileInfoA", address(&SHGetFileInfoA)},
        {"shell32.dll", "ShellExecuteA", address(&ShellExecuteA)},
        {"shell32.dll", "Shell_NotifyIconA", address(&Shell_NotifyIconA)},
        {"comctl32.dll", "ImageList_Add", address(&ImageList_Add)},
        {"comctl32.dll", "ImageList_Create", address(&ImageList_Create)},
        {"comctl32.dll", "ImageList_Destroy", address(&ImageList_Destroy)},
        {"comctl32.dll", "ImageList_Draw", address(&ImageList_Draw)},
        {"comctl32.dll", "ImageList_DrawEx", address(&ImageList_DrawEx)},
        {"comctl32.dll", "ImageList_GetIconSize", address(&ImageList_GetIconSize)},
        {"comctl32.dll", "ImageList_GetImageCount", address(&ImageList_GetImageCount)},
        {"comctl32.dll", "ImageList_ReplaceIcon", address(&ImageList_ReplaceIcon)},
        {"comctl32.dll", "InitCommonControlsEx", address(&InitCommonControlsEx)},
        {"comdlg32.dll", "GetOpenFileNameA", address(&GetOpenFileNameA)},
    };
}

void useTheCommonControls() {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&init));
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 2);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_ReplaceIcon(list, -1, LoadIconA(nullptr, MAKEINTRESOURCEA(32512))), 0);  // IDI_APPLICATION
    HBITMAP bitmap = CreateBitmap(16, 16, 1, 32, nullptr);
    EXPECT_EQ(ImageList_Add(list, bitmap, nullptr), 1);
    DeleteObject(bitmap);
    EXPECT_EQ(ImageList_GetImageCount(list), 2);
    int cx = 0, cy = 0;
    EXPECT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(cx, 16);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 32, 16);
    HGDIOBJ old = SelectObject(dc, target);
    EXPECT_TRUE(ImageList_Draw(list, 0, dc, 0, 0, ILD_NORMAL));
    EXPECT_TRUE(ImageList_DrawEx(list, 1, dc, 16, 0, 16, 16, CLR_NONE, CLR_NONE, ILD_NORMAL));
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(ImageList_Destroy(list));
}

void useTheDialogs() {
    OPENFILENAMEA bad{};  // a size of 0 is refused before any dialog opens
    EXPECT_FALSE(GetOpenFileNameA(&bad));
}

void useTheShell() {
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    SHFILEINFOA info{};
    EXPECT_NE(SHGetFileInfoA(windows, 0, &info, sizeof info, SHGFI_ATTRIBUTES), 0u);
    EXPECT_TRUE(info.dwAttributes & SFGAO_FOLDER);
    auto opened = ShellExecuteA(nullptr, "open", "Z:\\no\\such\\file.velmora-test", nullptr, nullptr, SW_SHOWNORMAL);
    EXPECT_LE(reinterpret_cast<INT_PTR>(opened), 32);
    NOTIFYICONDATAA none{};  // no window, no icon: nothing to remove
    none.cbSize = sizeof none;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &none));
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

struct FirstUse {
    const char* dll;
    void (*use)();
};
constexpr FirstUse uses[] = {
    {"comctl32.dll", useTheCommonControls},
    {"comdlg32.dll", useTheDialogs},
    {"shell32.dll", useTheShell},
};

HMODULE moduleAt(FARPROC pointer) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(pointer), &module);
    return module;
}

TEST(LazyImports, EachLibraryLoadsAtItsFirstCallAndThenIsCalledDirectly) {
    for (const Import& before : imports()) {
        SCOPED_TRACE(before.name);
        ASSERT_EQ(GetModuleHandleA(before.dll), nullptr) << "in the process before any call";
        EXPECT_EQ(moduleAt(before.pointer), GetModuleHandleA(nullptr)) << "the pointer leads elsewhere than this program";
    }
    for (const FirstUse& first : uses) {
        SCOPED_TRACE(first.dll);
        first.use();
        EXPECT_NE(GetModuleHandleA(first.dll), nullptr);
    }
    for (const Import& after : imports()) {
        SCOPED_TRACE(after.name);
        FARPROC real = GetProcAddress(GetModuleHandleA(after.dll), after.name);
        ASSERT_NE(real, nullptr);
        EXPECT_EQ(after.pointer, real);
    }
    for (const FirstUse& again : uses) again.use();
}

}  // namespace
