// The decoding core (plugins/decode/status.h) in plain C++ values: the six
// shown texts and the players of a status reply as strings, for the tests
// and the tools. The plug-ins themselves link only the core.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugins/decode/status.h"

namespace velmora::plugins {

// The six texts of ServerInfo, in its order.
struct ServerFields {
    std::string name, game, mod, map, players, maxplayers;
    bool operator==(const ServerFields&) const = default;
};

// What a reply that is not a status reply shows: "???" in every field.
ServerFields unknownFields();

// The six texts for `reply` (the whole datagram, prefix included) from a
// server of `game`. Missing keys show "???"; players is three filler
// characters followed by the number of players.
ServerFields decodeReply(Game game, std::string_view reply);

// The key/value pairs of a "\key\value\key\value" info text, in their order.
// A key without value gets an empty value; empty keys are skipped.
class InfoString {
public:
    explicit InfoString(std::string_view text);
    // The value of the first pair named `key` (the engines read the first too).
    std::optional<std::string_view> find(std::string_view key) const;
    // The first of `keys` that is present with a non-empty value.
    std::optional<std::string_view> findAny(const std::vector<std::string_view>& keys) const;
    size_t size() const { return pairs_.size(); }

private:
    struct Pair {
        std::string_view key, value;
    };
    std::vector<Pair> pairs_;
};

// The blank-separated words of a player line; a word in double quotes keeps
// its blanks and loses the quotes, an unclosed quote runs to the line's end.
std::vector<std::string_view> playerWords(std::string_view line);

// Quake's character set: the high bit only colours a character; the low
// glyphs that have a readable look become that character, the others go.
std::string foldQuakeChars(std::string_view text);

// Quake III colour codes ("^" and a letter or digit) removed. With
// `darkplaces`, the DarkPlaces forms: "^0".."^9", "^xRGB", "^^" for one "^".
std::string stripColourCodes(std::string_view text, bool darkplaces);

// One player of a status reply, as decodeplayers gives it.
struct Player {
    std::string name, score, ping, time, team;
    bool spectator = false;
    bool operator==(const Player&) const = default;
};

// The players of `reply` (at most `max`), in the order of its lines.
std::vector<Player> decodePlayerList(Game game, std::string_view reply, int max = 1 << 20);

// Any text of a status reply as the game shows it to its players (see
// appendReadable): what decodedata and decodeplayers hand the host. Markup
// characters stay as they are; the host makes the text inert.
std::string readable(Game game, std::string_view text);

}  // namespace velmora::plugins
