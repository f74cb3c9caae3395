// The standard library reports a misused container (a string or vector grown
// past its largest size, an index out of range, a bad number) through the
// functions below. Its own versions throw its standard exception classes,
// which keep their texts in the reference-counted string of the library's
// older binary interface and so take that whole string type into the program:
// fifty kilobytes of its hundred. These throw the program's own error with the
// library's text instead, which the message loop reports like any other; the
// errors that carry no text stay the library's classes. They are all there,
// so the library's file of them never joins a link: a library that adds one
// more makes the link stop on the doubled definitions.
#include <cstdarg>
#include <cstddef>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

#include "base/error.h"

namespace {
// The library's range texts use %zu, %s and %% only, and the system's
// formatter behind vformat does not know %zu on every Windows.
std::string rangetext(const char* format, va_list args) {
    std::string text;
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            text += va_arg(args, const char*);
            ++p;
        } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
            text += std::to_string(va_arg(args, std::size_t));
            p += 2;
        } else if (p[0] == '%' && p[1] == '%') {
            text += '%';
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}
}  // namespace

namespace std {
void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* text) { throw velmora::Error(text); }
void __throw_domain_error(const char* text) { throw velmora::Error(text); }
void __throw_invalid_argument(const char* text) { throw velmora::Error(text); }
void __throw_length_error(const char* text) { throw velmora::Error(text); }
void __throw_out_of_range(const char* text) { throw velmora::Error(text); }
void __throw_runtime_error(const char* text) { throw velmora::Error(text); }
void __throw_range_error(const char* text) { throw velmora::Error(text); }
void __throw_overflow_error(const char* text) { throw velmora::Error(text); }
void __throw_underflow_error(const char* text) { throw velmora::Error(text); }
void __throw_out_of_range_fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = rangetext(format, args);
    va_end(args);
    throw velmora::Error(std::move(text));
}
}  // namespace std
