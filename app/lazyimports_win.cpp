// The Windows libraries a second copy of the program never calls (the shell,
// the common controls and dialogs) are loaded on their first call instead of
// at the start: a copy that only hands its link over to the running one then
// loads no more than kernel32, user32, gdi32 and advapi32.
//
// Every call of an imported function goes through a pointer the linker names
// __imp_<name> (on 32-bit Windows __imp__<name>@<bytes of its arguments>),
// which the system's import library fills in when the program starts. This
// file defines those pointers itself for the functions below, so that import
// library never joins the link: each pointer starts at a function of the same
// type that loads the library, puts the real address in the pointer and calls
// it. Later calls go straight to the system.
//
// The direct name of each function is defined too, as a jump through the
// pointer, since a link resolves the program's calls by that name before it
// turns them into calls through the pointer; and this file is compiled without
// link-time optimisation, so the linker sees both definitions from the start.
//
// A function added to the program from one of these libraries and not listed
// here is imported as usual; the imports test of velmora.exe says so.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <bit>

namespace {

// Found at the first call, or the program ends with a message: the system's
// loader would not have started it without them either.
FARPROC resolve(const char* dll, const char* name) {
    HMODULE library = LoadLibraryA(dll);
    if (FARPROC address = library ? GetProcAddress(library, name) : nullptr) return address;
    char text[200];  // the names are the short ones below
    wsprintfA(text, "Velmora cannot go on: Windows could not load %s from %s.", name, dll);
    MessageBoxA(nullptr, text, "Velmora", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    ExitProcess(1);
}

template <typename Pointer> struct Lazy;
template <typename R, typename... A> struct Lazy<R(WINAPI*)(A...)> {
    using Pointer = R(WINAPI*)(A...);

    // The bytes a stdcall function's arguments take on a 32-bit stack.
    static constexpr unsigned argumentBytes = (0u + ... + unsigned((sizeof(A) + 3) / 4 * 4));

    template <Pointer* Slot, const char* Dll, const char* Name>
    static R WINAPI first(A... args) {
        auto address = std::bit_cast<Pointer>(resolve(Dll, Name));
        std::atomic_ref<Pointer>(*Slot).store(address, std::memory_order_release);
        return address(args...);
    }
};

}  // namespace

// The names the linker knows a function by (the call through the pointer, and
// the direct call a link resolves its references by) and a jump of the second
// through the first.
#ifdef _WIN64
#define VELMORA_IMPORT_POINTER(name, bytes) "__imp_" #name
#define VELMORA_IMPORT_DIRECT(name, bytes) #name
#define VELMORA_IMPORT_JUMP(name, bytes) "jmp *__imp_" #name "(%rip)"
#else
#define VELMORA_IMPORT_POINTER(name, bytes) "__imp__" #name "@" #bytes
#define VELMORA_IMPORT_DIRECT(name, bytes) "_" #name "@" #bytes
#define VELMORA_IMPORT_JUMP(name, bytes) "jmp *__imp__" #name "@" #bytes
#endif

// LAZY_IMPORT(library, function, bytes of its arguments on 32-bit Windows)
#define LAZY_IMPORT(dll, name, bytes)                                                                      \
    namespace lazy_##name {                                                                                \
    constexpr char library[] = dll, function[] = #name;                                                    \
    using Import = Lazy<decltype(&::name)>;                                                                \
    static_assert(sizeof(void*) == 8 || Import::argumentBytes == bytes, #name " takes other arguments");  \
    extern "C" decltype(&::name) pointer_##name asm(VELMORA_IMPORT_POINTER(name, bytes));                  \
    decltype(&::name) pointer_##name = &Import::first<&pointer_##name, library, function>;                 \
    }                                                                                                      \
    asm(".text\n.globl " VELMORA_IMPORT_DIRECT(name, bytes) "\n" VELMORA_IMPORT_DIRECT(name, bytes) ":\n\t"  \
        VELMORA_IMPORT_JUMP(name, bytes) "\n");

LAZY_IMPORT("shell32.dll", SHChangeNotify, 16)
LAZY_IMPORT("shell32.dll", SHGetFileInfoA, 20)
LAZY_IMPORT("shell32.dll", ShellExecuteA, 24)
LAZY_IMPORT("shell32.dll", Shell_NotifyIconA, 8)
LAZY_IMPORT("comctl32.dll", ImageList_Add, 12)
LAZY_IMPORT("comctl32.dll", ImageList_Create, 20)
LAZY_IMPORT("comctl32.dll", ImageList_Destroy, 4)
LAZY_IMPORT("comctl32.dll", ImageList_Draw, 24)
LAZY_IMPORT("comctl32.dll", ImageList_DrawEx, 40)
LAZY_IMPORT("comctl32.dll", ImageList_GetIconSize, 12)
LAZY_IMPORT("comctl32.dll", ImageList_GetImageCount, 4)
LAZY_IMPORT("comctl32.dll", ImageList_ReplaceIcon, 12)
LAZY_IMPORT("comctl32.dll", InitCommonControlsEx, 4)
LAZY_IMPORT("comdlg32.dll", GetOpenFileNameA, 4)
