#include "base/gamenames.h"

namespace velmora::gamenames {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// How many bytes of the colour code at text[i] (a "^") the engine consumes
// without drawing them, and the character it draws instead (0: none).
std::size_t colourCode(Flavour flavour, std::string_view text, std::size_t i, char& drawn) {
    drawn = 0;
    if (i + 1 >= text.size()) return 0;  // a "^" at the end is drawn
    const char next = text[i + 1];
    if (flavour == Flavour::quake3) return isDigit(next) || isLetter(next) ? 2 : 0;
    if (flavour != Flavour::darkplaces) return 0;
    if (next == '^') {
        drawn = '^';
        return 2;
    }
    if (isDigit(next)) return 2;
    if (next == 'x' && i + 4 < text.size() && isHex(text[i + 2]) && isHex(text[i + 3]) && isHex(text[i + 4]))
        return 5;
    return 0;
}

// One character as Quake's console font draws it: the high bit only colours,
// 16 and 17 are the brackets, 18-27 the digits; other low glyphs and 127 are
// no letters and go (0).
char quakeChar(unsigned char c) {
    c &= 0x7f;
    if (c == 16) return '[';
    if (c == 17) return ']';
    if (c >= 18 && c <= 27) return static_cast<char>('0' + (c - 18));
    if (c < 32 || c == 127) return 0;
    return static_cast<char>(c);
}

}  // namespace

Flavour flavourOfGame(std::string_view gameid) {
    char id[3] = {};
    for (std::size_t i = 0; i < 3 && i < gameid.size(); ++i) id[i] = lower(gameid[i]);
    const std::string_view head(id, gameid.size() < 3 ? gameid.size() : 3);
    if (head == "qws" || head == "q2s") return Flavour::quakeworld;
    if (head == "q3a" || head == "oa") return Flavour::quake3;
    if (head == "qs") return Flavour::darkplaces;
    return Flavour::plain;
}

std::size_t readable(Flavour flavour, std::string_view text, char* out) {
    const bool quakeFont = flavour == Flavour::quakeworld || flavour == Flavour::darkplaces;
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '^') {
            char drawn = 0;
            if (const std::size_t skip = colourCode(flavour, text, i, drawn)) {
                if (drawn) out[length++] = drawn;
                i += skip - 1;
                continue;
            }
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (quakeFont) {
            if (const char shown = quakeChar(c)) out[length++] = shown;
        } else if (c >= 32 && c != 127) {
            out[length++] = static_cast<char>(c);
        }
    }
    return length;
}

}  // namespace velmora::gamenames
