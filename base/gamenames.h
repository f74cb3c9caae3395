// Names a person can read: a player's or a server's name as the game's own
// console would draw it, with the colour codes and the coloured character set
// of each engine turned into plain 8-bit text. Shared by the game plug-ins
// (which link nothing else of the program) and the host, so it allocates
// nothing and throws nothing.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::gamenames {

// How an engine codes colour into its texts.
enum class Flavour {
    plain,       // no codes known: only control characters go
    quakeworld,  // QuakeWorld, Quake II: the high bit colours, 16-27 are coloured brackets and digits
    quake3,      // Quake III, OpenArena: "^" and a letter or digit
    darkplaces,  // DarkPlaces: "^0".."^9", "^xRGB", "^^" for "^", and Quake's character set
};

// The flavour of a game by the identifier its plug-in gives (first three
// characters, any case): "qws" and "q2s" QuakeWorld, "q3a" and "oa" Quake III,
// "qs" DarkPlaces; any other is plain.
Flavour flavourOfGame(std::string_view gameid);

// Writes the readable form of `text` to `out` and returns its length. The
// result is never longer than `text`, so `out` needs text.size() bytes, and
// it holds no byte below 32 and no 127. No zero is written after it.
std::size_t readable(Flavour flavour, std::string_view text, char* out);

// The same into a new string, for the host.
inline std::string readable(Flavour flavour, std::string_view text) {
    std::string out(text.size(), '\0');
    out.resize(readable(flavour, text, out.data()));
    return out;
}

}  // namespace velmora::gamenames
