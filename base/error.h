// The one error type of the program. A lower layer (registry, list index,
// number conversion, system call) throws it; the message loop catches it at the
// window-procedure boundary and shows its text in the "Velmora" message box.
#pragma once
#include <exception>
#include <string>
#include <utility>

namespace velmora {

// It holds its text in a std::string of its own: the standard library's
// runtime_error keeps a second, reference-counted string type for its old
// binary interface, which would otherwise come into the program with it.
class Error : public std::exception {
public:
    explicit Error(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// "List index out of bounds (%d)": the runtime's text for a bad list index.
[[noreturn]] void throwListIndex(long index);

}  // namespace velmora
