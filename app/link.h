// Server links: "host[:port] [gameid] ["title"]", alone or as the first line of
// a .server file, resolved against the game table to a game, the query
// window's address label, its caption and the history entry.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// What link resolution needs of a game table row.
struct GameKey {
    std::string gameid;
    std::string defport;
};

struct ResolvedLink {
    int game = -1;              // -1: "Game cannot be determindeded"
    std::string address;        // host:port, the default port added when missing
    std::string label;          // the query window's Label2: address + "..."
    std::string title;          // the caption when not empty
    std::string historyEntry;   // "\"title\"address" or address
};

// The game a port selects: the last row whose default port d has
// d <= port <= d + 4; -1 when none does or the port is not a whole number.
// Rows whose defport is not a whole number are skipped.
int gamefromport(std::string_view port, const std::vector<GameKey>& games);

// Resolves one link line (already read from its file, if it named one).
ResolvedLink resolvelink(std::string_view line, const std::vector<GameKey>& games);

// The first line of a link file's bytes: it ends at CR, LF, a zero byte or the
// end. An empty file, or one that starts with a zero byte, has no first line
// and raises "List index out of bounds (0)".
std::string firstline(std::string_view bytes);

// Reads a whole file, or nothing when `path` names no file.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// The link line for an `openlink` argument: the first line of the file it
// names, or the argument itself.
std::string linkline(const std::string& arg, const FileReader& readFile);

}  // namespace velmora
