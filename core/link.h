// Server links: "host[:port] [gameid] ["title"]", alone or as the first line of
// a .server file, resolved against the game table to a game, the query
// window's address label, its caption and the history entry.
#pragma once
#include <cstddef>
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
    int game = -1;              // -1: "Game cannot be determindeded", unless refused
    std::string refusal;        // not empty: the link was refused (game -1), the message to show
    std::string address;        // host:port, the default port added when missing
    std::string label;          // the query window's Label2: address + "..."
    std::string title;          // the caption when not empty
    std::string historyEntry;   // "\"title\"address" or address
};

// The game a port selects: the last row whose default port d has
// d <= port <= d + 4; -1 when none does or the port is not a whole number.
// Rows whose defport is not a whole number are skipped.
int gamefromport(std::string_view port, const std::vector<GameKey>& games);

// Resolves one link line (already read from its file, if it named one). A
// link whose game is found but whose address breaks the address rules
// (base/address.h) is refused; the title loses its commas and double quotes,
// which would split or misread the stored history.
ResolvedLink resolvelink(std::string_view line, const std::vector<GameKey>& games);

// A refused link is shown as far as this.
constexpr size_t kShownLinkLimit = 255;

// The message for a link that is not opened: the link, why, and the form a
// server link takes (`form` without its final full stop).
std::string refusedlinkmessage(std::string_view link, std::string_view why, std::string_view form);

// The first line of a link file's bytes: it ends at CR, LF, a zero byte or the
// end. An empty file, or one that starts with a zero byte, has no first line
// and raises "List index out of bounds (0)".
std::string firstline(std::string_view bytes);

// Reads a link file as far as its first line needs (see readlinkbytes), or
// nothing when `path` names no file.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// One read from an open file: fills at most `size` bytes of `buffer` and
// returns how many, 0 at the end of the file (or after a failed read, which
// the caller reports).
using ChunkReader = std::function<size_t(char* buffer, size_t size)>;

// A first line longer than this is cut here.
constexpr size_t kLinkLineLimit = 64 * 1024;
// The reads are of this size, so at most this much is read past the line.
constexpr size_t kLinkReadChunk = 4096;

// The start of a link file: read chunk by chunk until a chunk holds a CR, LF
// or zero byte, the file ends, or kLinkLineLimit bytes were read.
std::string readlinkbytes(const ChunkReader& read);

// The link line for an `openlink` argument: the first line of the file it
// names, or the argument itself.
std::string linkline(const std::string& arg, const FileReader& readFile);

}  // namespace velmora
