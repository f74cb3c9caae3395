#include "base/gamenames.h"

namespace velmora::gamenames {
namespace {
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
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

// The flavour is the plug-in's business: whatever it is, the text is taken
// as the plug-in gave it.
std::string readable(Flavour, std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 32 && c != 127) out += c;
    return out;
}

}  // namespace velmora::gamenames
