#include "base/address.h"

namespace velmora {

namespace {
bool digit(char c) { return c >= '0' && c <= '9'; }
bool letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
}  // namespace

std::string_view withoutdots(std::string_view label) {
    if (label.size() >= 3 && label.substr(label.size() - 3) == "...") label.remove_suffix(3);
    return label;
}

std::string gethost(std::string_view address) {
    address = withoutdots(address);
    const size_t colon = address.rfind(':');
    return colon == std::string_view::npos ? std::string() : std::string(address.substr(0, colon));
}

std::string getport(std::string_view address) {
    address = withoutdots(address);
    const size_t colon = address.rfind(':');
    return colon == std::string_view::npos ? std::string() : std::string(address.substr(colon + 1));
}

std::optional<std::uint32_t> parseDottedQuad(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') return std::nullopt;
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        std::uint32_t value = 0;
        while (digits < text.size() && digit(text[digits])) {
            if (++digits > 3) return std::nullopt;
            value = value * 10u + static_cast<std::uint32_t>(text[digits - 1] - '0');
        }
        if (digits == 0 || value > 255 || (digits > 1 && text.front() == '0')) return std::nullopt;
        address = (address << 8) | value;
        text.remove_prefix(digits);
    }
    if (!text.empty()) return std::nullopt;
    return address;
}

bool isDottedQuad(std::string_view text) { return parseDottedQuad(text).has_value(); }

std::uint32_t leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::uint32_t n = 0;
    for (; i < text.size() && digit(text[i]); ++i) n = n * 10u + static_cast<std::uint32_t>(text[i] - '0');
    return n;
}

bool startsWithDigit(std::string_view trimmed) { return !trimmed.empty() && digit(trimmed[0]); }

std::string trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

bool joinablehost(std::string_view host) {
    if (host.empty()) return false;
    bool allDigitsAndDots = true;
    for (const char c : host) {
        if (!(digit(c) || letter(c) || c == '.' || c == '-')) return false;
        if (!(digit(c) || c == '.')) allDigitsAndDots = false;
    }
    // Digits and dots alone must make a real dotted quad.
    if (allDigitsAndDots) return isDottedQuad(host);
    // A name never begins with "-", which a game could read as an option.
    return host.front() != '-';
}

bool joinableport(std::string_view port) {
    if (port.empty() || port.size() > 5) return false;
    int value = 0;
    for (const char c : port) {
        if (!digit(c)) return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

const char* addressfault(std::string_view address) {
    const std::size_t colon = address.rfind(':');
    const std::string_view host = address.substr(0, colon);
    if (host.empty()) return "It names no server.";
    if (!joinablehost(host)) return "Its host is not a dotted quad or a name of letters, digits, \".\" and \"-\".";
    if (colon != std::string_view::npos && !joinableport(address.substr(colon + 1)))
        return "Its port is not a number from 1 to 65535.";
    return nullptr;
}

}  // namespace velmora
