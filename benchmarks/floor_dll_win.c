/* The floor of loading a plug-in: a DLL from the same toolchain that holds
   one export and nothing else. */
#include <windows.h>

__declspec(dllexport) const char* __stdcall getgamename(void) { return "floor"; }
