// Web links of the engines' own kind: qw://, quake2:// and quake3://, as a
// browser hands them over, turned into a server link line. A browser passes
// whatever a page wrote, so only a plain host and port get through.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/link.h"

namespace velmora {

// A scheme and the game (its three-character id) its links are for.
struct WebScheme {
    const char* scheme;  // lower case, without ":"
    const char* gameid;
};
extern const WebScheme kWebSchemes[3];

// The longest link taken: a running copy is handed links in a global atom,
// which holds no more, and a link that works cold works warm.
constexpr size_t kWebLinkLimit = 255;

struct WebLink {
    enum class Kind { NotWeb, Accepted, Refused } kind = Kind::NotWeb;
    std::string gameid;   // Accepted: the scheme's game
    std::string line;     // Accepted: "host[:port] gameid", a server link line
    std::string message;  // Refused: the link and why
};

// A text that starts with one of the schemes and a colon (in any case) is a
// web link: accepted in the forms scheme://host[:port][/] and
// scheme://connect/host[:port][/], refused otherwise. Any other text is no
// web link and is left to the server link rules.
WebLink parseweblink(std::string_view text);

// The link an accepted web link stands for: resolved like any link line, but
// only the scheme's game serves it (a port that fits another game does not
// count); game -1 when that game is not in the table.
ResolvedLink resolveweblink(const WebLink& web, const std::vector<GameKey>& games);

}  // namespace velmora
