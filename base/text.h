// Small text helpers shared by every subsystem. Texts are 8-bit ANSI strings.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// printf-style formatting into a std::string: whole numbers and texts (on
// Windows the system's formatter does it, which has no C99 extras).
std::string format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string vformat(const char* fmt, va_list args);

// A signed decimal 32-bit whole number: leading blanks and one sign accepted,
// nothing after the digits, no overflow. Empty optional when the text is not one.
std::optional<std::int32_t> tryStrToInt(std::string_view text);

// As tryStrToInt, but a text that is not a number raises
// "'%s' is not a valid integer value".
std::int32_t strToInt(std::string_view text);

// ASCII-only case mapping: only the letters a-z / A-Z change.
std::string upperAscii(std::string_view text);
std::string lowerAscii(std::string_view text);

// Trims leading and trailing blanks and control characters (anything <= ' ').
std::string trimControls(std::string_view text);

// The leading decimal digits of a server's figure ("16", "8 bots") as a
// count, 0 without digits, and never above a million: a server's figures are
// shown and compared, never trusted.
int leadingCount(std::string_view text);

// The whole text of a call such as GetModuleFileName: `fill` writes into a
// buffer of `size` bytes and returns the length it wrote (0: failure, empty
// text). A result that fills the buffer may have been cut, so the call is
// repeated with ever larger buffers until the text is shorter than the buffer.
using BufferFiller = std::function<std::size_t(char* buffer, std::size_t size)>;
std::string growingbuffertext(const BufferFiller& fill, std::size_t size = 261);

}  // namespace velmora
