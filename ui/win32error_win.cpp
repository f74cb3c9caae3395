#include "ui/win32error_win.h"

#include "base/error.h"
#include "base/text.h"

namespace velmora {

std::string systemMessage(DWORD code) {
    char buffer[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string win32ErrorText(DWORD code) {
    if (code == 0) return "A Win32 API function failed";
    return format("Win32 Error.  Code: %lu.\n%s", static_cast<unsigned long>(code), systemMessage(code).c_str());
}

void raiseLastWin32Error() { throw Error(win32ErrorText(GetLastError())); }

}  // namespace velmora
