// The runtime's report of a failed system call.
#pragma once
#include <windows.h>

#include <string>

namespace velmora {

// The system's own text for `code`, without its trailing line end; empty
// when the system has none.
std::string systemMessage(DWORD code);

// "Win32 Error.  Code: %d.\n%s" with the system's text for `code`, or
// "A Win32 API function failed" when the system reports no code.
std::string win32ErrorText(DWORD code);

// Raises the last system error as a velmora::Error.
[[noreturn]] void raiseLastWin32Error();

}  // namespace velmora
