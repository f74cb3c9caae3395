// The query window's list of who is on the server, free of any window: the
// entries a plug-in's decodeplayers returned, copied and put in order, the
// markup rows the window shows and the plain text that Ctrl+C copies.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "plugins/include/velmora_plugin.h"

namespace velmora::query {

// One player, copied out of the plug-in's storage.
struct PlayerEntry {
    std::string name, score, ping, time, team;
    bool spectator = false;
    bool operator==(const PlayerEntry&) const = default;
};

// How many entries the window asks a plug-in for: more than any of the games
// has slots, so the "more" line counts every player.
constexpr int kPlayersAsked = 256;
// The rows the window lists before the "more" line.
constexpr int kPlayerRows = 16;

// The first `returned` entries of `entries`, copied; a count below 0 reads as
// 0 and one above `max` as `max`, whatever the plug-in returned. A null text
// reads as "".
std::vector<PlayerEntry> copiedplayers(const PlayerInfo* entries, int returned, int max);

// Asks a plug-in's decodeplayers for the players of `reply` (kPlayersAsked at
// most) and copies them at once, before the library is called again or
// unloaded. No export: no players.
std::vector<PlayerEntry> askplayers(decodeplayers_fn decodeplayers, const std::string& reply);

// Players by score, highest first (a score that is no number after those that
// are), then the spectators; each group keeps the server's order otherwise.
std::vector<PlayerEntry> orderedplayers(std::vector<PlayerEntry> players);

// The markup rows of the list: a heading, one row per player (at most
// kPlayerRows; spectators marked), then "...and ‹n› more" for the rest. Server
// texts are inert: no tag, no prefix character, no line break. No players, no rows.
std::vector<std::string> playerrows(const std::vector<PlayerEntry>& ordered);

// The list as plain text for the clipboard: the address, then one line per
// player (every one, not only the rows shown), fields separated by tabs, CRLF.
std::string playerclipboard(std::string_view address, const std::vector<PlayerEntry>& ordered);

// The window's top after it grew to `height`: as it was when it still fits
// above the work area's bottom, else moved up, but never above its top.
int fittedtop(int top, int height, int workTop, int workBottom);


}  // namespace velmora::query
