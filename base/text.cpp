#include "base/text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "base/error.h"

namespace velmora {

void throwListIndex(long index) { throw Error(format("List index out of bounds (%ld)", index)); }

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string out = vformat(fmt, args);
    va_end(args);
    return out;
}

namespace {
#ifdef _WIN32
// The system C library's formatter. The program formats whole numbers and
// texts only, and MinGW's own C99 formatter would bring its floating-point
// conversions along: about a twentieth of the program.
int formattedLength(const char* fmt, va_list args) { return _vscprintf(fmt, args); }
void formatInto(std::vector<char>& buffer, const char* fmt, va_list args) {
    _vsnprintf(buffer.data(), buffer.size(), fmt, args);
}
#else
int formattedLength(const char* fmt, va_list args) { return std::vsnprintf(nullptr, 0, fmt, args); }
void formatInto(std::vector<char>& buffer, const char* fmt, va_list args) {
    std::vsnprintf(buffer.data(), buffer.size(), fmt, args);
}
#endif
}  // namespace

std::string vformat(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int needed = formattedLength(fmt, copy);
    va_end(copy);
    if (needed <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    formatInto(buffer, fmt, args);
    return std::string(buffer.data(), static_cast<size_t>(needed));
}

std::optional<std::int32_t> tryStrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t strToInt(std::string_view text) {
    if (auto value = tryStrToInt(text)) return *value;
    throw Error(format("'%s' is not a valid integer value", std::string(text).c_str()));
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string trimControls(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return std::string(text.substr(begin, end - begin));
}

std::string growingbuffertext(const BufferFiller& fill, std::size_t size) {
    // Beyond the longest path the system has there is nothing more to wait for.
    constexpr std::size_t kLargest = 1 << 16;
    std::vector<char> buffer(std::max<std::size_t>(size, 2));
    for (;;) {
        const std::size_t length = fill(buffer.data(), buffer.size());
        if (length < buffer.size() || buffer.size() >= kLargest)
            return std::string(buffer.data(), std::min(length, buffer.size()));
        buffer.resize(buffer.size() * 2);
    }
}

int leadingCount(std::string_view text) {
    long long n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        n = std::min(n * 10 + (c - '0'), 1000000LL);
    }
    return static_cast<int>(n);
}

}  // namespace velmora
