// velmora.exe
#include <windows.h>

#include <cstdlib>

#include "app/startup_win.h"

// The runtime's default terminate handler prints the uncaught exception's
// type by name, which takes the whole C++ demangler into the program. Every
// error is caught at the message loop and at the start, so this one only
// ends the program, as the default would after its message.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return velmora::runvelmora(GetCommandLineA()); }
