#include "base/exepath_win.h"

#include <windows.h>

#include "base/text.h"

namespace velmora {

std::string exepath() {
    return growingbuffertext([](char* buffer, std::size_t size) {
        return static_cast<std::size_t>(GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size)));
    });
}

std::string exefolder() {
    const std::string path = exepath();
    return path.substr(0, path.find_last_of("\\:") + 1);
}

}  // namespace velmora
