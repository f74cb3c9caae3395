// The one error type of the program. A lower layer (registry, list index,
// number conversion, system call) throws it; the message loop catches it at the
// window-procedure boundary and shows its text in the "Velmora" message box.
#pragma once
#include <stdexcept>
#include <string>

namespace velmora {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// "List index out of bounds (%d)": the runtime's text for a bad list index.
[[noreturn]] void throwListIndex(long index);

}  // namespace velmora
