// The host's side of the names a plug-in decoded. Each game's readable-name
// rules (colour codes, the coloured character set) belong to its plug-in,
// which applies them once to every text it returns (plugins/decode); the host
// trusts what it gets and never applies them again, since a second pass
// takes from a name what the first one made of it ("^1on1 arena", the
// readable form of "^^1on1 arena", would lose its "^1"), and a third-party
// plug-in's plain Latin-1 text is no Quake character set.
#pragma once
#include <string>
#include <string_view>

namespace velmora::gamenames {

// How an engine codes colour into its texts; the plug-in of that game
// decodes them.
enum class Flavour {
    plain,       // no codes known
    quakeworld,  // QuakeWorld, Quake II: the high bit colours, 16-27 are coloured brackets and digits
    quake3,      // Quake III, OpenArena: "^" and a letter or digit
    darkplaces,  // DarkPlaces: "^0".."^9", "^xRGB", "^^" for "^", and Quake's character set
};

// The flavour of a game by the identifier its plug-in gives (first three
// characters, any case): "qws" and "q2s" QuakeWorld, "q3a" and "oa" Quake III,
// "qs" DarkPlaces; any other is plain.
Flavour flavourOfGame(std::string_view gameid);

// A name from the plug-in of a game of any flavour, as the host shows it:
// the plug-in's text as it came, without the control characters no window
// draws (below 32, and 127). Never longer than `text`.
std::string readable(Flavour flavour, std::string_view text);

}  // namespace velmora::gamenames
