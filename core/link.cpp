#include "core/link.h"

#include <algorithm>
#include <cstdint>

#include "base/address.h"
#include "core/velmoraglobal.h"
#include "base/error.h"
#include "base/text.h"

namespace velmora {

int gamefromport(std::string_view port, const std::vector<GameKey>& games) {
    const auto number = tryStrToInt(port);
    if (!number || *number == -1) return -1;
    int result = -1;
    for (size_t i = 0; i < games.size(); ++i) {
        // A plug-in promises decimal text; a row that breaks that promise
        // simply never matches.
        const auto defport = tryStrToInt(games[i].defport);
        if (!defport) continue;
        for (std::int64_t j = 0; j <= 4; ++j)
            if (*number == *defport + j) result = static_cast<int>(i);
    }
    return result;
}

namespace {
// Splits `text` at its first blank when it has one and does not end with one:
// the part before stays in `text`, the part after is returned.
std::string splitAtFirstBlank(std::string& text) {
    const size_t blank = text.find(' ');
    if (blank == std::string::npos || text.back() == ' ') return {};
    std::string after = text.substr(blank + 1);
    text.resize(blank);
    return after;
}
}  // namespace

ResolvedLink resolvelink(std::string_view line, const std::vector<GameKey>& games) {
    ResolvedLink link;
    std::string address(line);
    std::string gamefield = splitAtFirstBlank(address);
    std::string quoted = splitAtFirstBlank(gamefield);
    // The title loses its first and last characters, whatever they are: they
    // are meant to be the double quotes. A comma would cut the stored history
    // into two entries (the second a server nobody asked for) and a quote
    // would end the title early when the entry is read back; a page's title
    // is kept without them rather than the link refused.
    if (quoted.size() > 2)
        for (const char c : std::string_view(quoted).substr(1, quoted.size() - 2))
            if (c != ',' && c != '"') link.title += c;

    if (!gamefield.empty()) {
        const std::string wanted = upperAscii(gamefield);
        for (size_t i = 0; i < games.size(); ++i)
            if (upperAscii(games[i].gameid) == wanted) link.game = static_cast<int>(i);
    }
    if (link.game == -1) link.game = gamefromport(getport(address), games);
    if (link.game == -1) return link;

    if (getport(address).empty()) address += ":" + games[static_cast<size_t>(link.game)].defport;
    // A downloaded file decides where datagrams go: only a plain host and a
    // port get into the history, the watcher's rounds and a query.
    if (const char* why = addressfault(address)) {
        ResolvedLink refused;
        refused.refusal = refusedlinkmessage(
            line, why, "host:port, optionally followed by the game's three letters and a \"title\"");
        return refused;
    }
    link.address = address;
    link.label = address + "...";
    link.historyEntry = link.title.empty() ? address : "\"" + link.title + "\"" + address;
    return link;
}

std::string refusedlinkmessage(std::string_view link, std::string_view why, std::string_view form) {
    std::string shown(link.substr(0, kShownLinkLimit));
    if (link.size() > kShownLinkLimit) shown += "...";
    return "This link was not opened:\r\n\r\n" + shown + "\r\n\r\n" + std::string(why) +
           "\r\n\r\nA server link reads " + std::string(form) + ".";
}

std::string firstline(std::string_view bytes) {
    if (bytes.empty() || bytes.front() == '\0') throwListIndex(0);
    const size_t end = bytes.find_first_of(std::string_view("\r\n\0", 3));
    return std::string(bytes.substr(0, end));
}

std::string readlinkbytes(const ChunkReader& read) {
    std::string bytes;
    char buffer[kLinkReadChunk];
    while (bytes.size() < kLinkLineLimit) {
        const size_t got = read(buffer, std::min(sizeof buffer, kLinkLineLimit - bytes.size()));
        if (got == 0) break;
        bytes.append(buffer, got);
        if (std::string_view(buffer, got).find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
            break;
    }
    return bytes;
}

std::string linkline(const std::string& arg, const FileReader& readFile) {
    if (auto bytes = readFile(arg)) return firstline(*bytes);
    return arg;
}

}  // namespace velmora
