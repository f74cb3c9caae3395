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

bool isDottedQuad(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::size_t end = text.size();
    while (end > i && text[end - 1] == ' ') --end;
    const std::string_view body = text.substr(i, end - i);
    if (body.empty() || body[0] == '.') return false;
    int dots = 0;
    unsigned part = 0;
    for (std::size_t k = 0; k < body.size(); ++k) {
        const char c = body[k];
        if (c == '.') {
            ++dots;
            if (k + 1 >= body.size() || !digit(body[k + 1])) return false;
            part = 0;
        } else if (digit(c)) {
            part = part * 10 + static_cast<unsigned>(c - '0');
            if (part > 255) return false;
        } else {
            return false;
        }
    }
    return dots == 3;
}

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

}  // namespace velmora
