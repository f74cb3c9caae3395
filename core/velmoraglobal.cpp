#include "core/velmoraglobal.h"

namespace velmora {

std::vector<std::string> splitstring(std::string_view text, char sep) {
    // Positions 0..n, 1-based characters; position 0 looks at the first
    // character, as position 1 does. A piece ends at each separator and at the
    // last position, and holds the characters between the previous cut and the
    // position before this one, which is why an unterminated final piece loses
    // its last character.
    std::vector<std::string> pieces;
    const size_t n = text.size();
    size_t cut = 0;
    for (size_t p = 0; p <= n; ++p) {
        const bool atSep = n > 0 && text[p == 0 ? 0 : p - 1] == sep;
        if (!atSep && p != n) continue;
        const size_t length = p >= cut + 1 ? p - 1 - cut : 0;
        pieces.emplace_back(text.substr(cut, length));
        cut = p;
    }
    return pieces;
}

}  // namespace velmora
