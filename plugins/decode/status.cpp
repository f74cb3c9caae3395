#include "plugins/decode/status.h"

namespace velmora::plugins {
namespace {

constexpr std::string_view kPrefix = "\xff\xff\xff\xff";
constexpr std::string_view kUnknown = "???";
// The host drops the first three characters of the players text.
constexpr std::string_view kPlayersFiller = "   ";

// string_view's substr checks its position by throwing; these cut quietly.
std::string_view take(std::string_view text, std::size_t count) {
    return {text.data(), count < text.size() ? count : text.size()};
}
std::string_view drop(std::string_view text, std::size_t count) {
    return count < text.size() ? std::string_view(text.data() + count, text.size() - count) : std::string_view{};
}
bool startsWith(std::string_view text, std::string_view head) { return take(text, head.size()) == head; }

std::string_view chopCarriageReturn(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// The next line of `rest`, taken off its front (a "\r" before the "\n" goes too).
std::string_view nextLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = chopCarriageReturn(take(rest, end));
    rest = end == std::string_view::npos ? std::string_view{} : drop(rest, end + 1);
    return line;
}

bool isNumber(std::string_view word) {
    std::size_t i = 0;
    if (i < word.size() && (word[i] == '-' || word[i] == '+')) ++i;
    bool digits = false, point = false;
    for (; i < word.size(); ++i) {
        const char c = word[i];
        if (c >= '0' && c <= '9')
            digits = true;
        else if (c == '.' && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

// A player line starts with a number (score, or QuakeWorld's user id); a
// line cut short by a truncated datagram still counts.
bool isPlayerLine(std::string_view line) {
    std::size_t pos = 0;
    std::string_view first;
    return nextWord(line, pos, first) && isNumber(first);
}

void putCount(TextStore& out, std::size_t count) {
    char digits[24];
    std::size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + count % 10);
        count /= 10;
    } while (count != 0);
    out.put(kPlayersFiller);
    while (n > 0) out.put(digits[--n]);
}

// The info keys each field is read from, first present one wins.
using Keys = const char* const*;
struct FieldKeys {
    Keys name, game, mod, map, maxplayers;
};

constexpr const char* quakeName[] = {"hostname", "sv_hostname", nullptr};
constexpr const char* quakeGame[] = {"gamename", "version", nullptr};
constexpr const char* quakeMod[] = {"modname", "gamedir", nullptr};
constexpr const char* quakeMap[] = {"mapname", "map", nullptr};
constexpr const char* quakeMax[] = {"sv_maxclients", "maxplayers", "maxclients", nullptr};
constexpr const char* qwName[] = {"hostname", nullptr};
constexpr const char* qwGame[] = {"*version", "version", nullptr};
constexpr const char* qwMod[] = {"*gamedir", "gamedir", nullptr};
constexpr const char* qwMap[] = {"map", "mapname", nullptr};
constexpr const char* qwMax[] = {"maxclients", nullptr};
constexpr const char* q2Game[] = {"version", "gamename", nullptr};
constexpr const char* q2Mod[] = {"gamedir", "game", "gamename", nullptr};
constexpr const char* q2Map[] = {"mapname", "map", nullptr};
constexpr const char* q3Name[] = {"sv_hostname", "hostname", nullptr};
constexpr const char* q3Game[] = {"version", "com_gamename", nullptr};
constexpr const char* q3Mod[] = {"gamename", "fs_game", nullptr};
constexpr const char* q3Map[] = {"mapname", nullptr};
constexpr const char* q3Max[] = {"sv_maxclients", nullptr};

FieldKeys keysOf(Game game) {
    switch (game) {
        case Game::quake: return {quakeName, quakeGame, quakeMod, quakeMap, quakeMax};
        case Game::quakeworld: return {qwName, qwGame, qwMod, qwMap, qwMax};
        case Game::quake2: return {qwName, q2Game, q2Mod, q2Map, qwMax};
        case Game::quake3:
        case Game::openarena: break;
    }
    return {q3Name, q3Game, q3Mod, q3Map, q3Max};
}

// The value of the first pair named `key` (the engines read the first too).
std::optional<std::string_view> infoFind(std::string_view info, std::string_view key) {
    std::string_view k, v;
    while (nextInfoPair(info, k, v))
        if (k == key) return v;
    return std::nullopt;
}

// The first of `keys` present with a non-empty value.
std::optional<std::string_view> infoFindAny(std::string_view info, Keys keys) {
    for (; *keys; ++keys)
        if (const auto value = infoFind(info, *keys); value && !value->empty()) return value;
    return std::nullopt;
}

// One text of a reply as the game shows it, ended in the store.
const char* putReadable(TextStore& out, Game game, std::string_view text) {
    appendReadable(game, text, out);
    return out.finish();
}

}  // namespace

const char* TextStore::finish() {
    if (capacity_ == 0) return "";
    buffer_[used_] = '\0';
    const char* text = buffer_ + start_;
    if (used_ + 1 < capacity_) ++used_;
    start_ = used_;
    return text;
}

const GameTexts& gameTexts(Game game) {
    static constexpr GameTexts quake{"Quake", "qs", "26000", "\xff\xff\xff\xff" "getstatus", "+connect "};
    // "status 23" asks for the spectators too, marked "\s\"; servers that know
    // no options answer it as a plain "status".
    static constexpr GameTexts quakeworld{"QuakeWorld", "qws", "27500", "\xff\xff\xff\xff" "status 23\n",
                                          "+connect "};
    static constexpr GameTexts quake2{"Quake II", "q2s", "27910", "\xff\xff\xff\xff" "status\n", "+connect "};
    static constexpr GameTexts quake3{"Quake III Arena", "q3a", "27960", "\xff\xff\xff\xff" "getstatus",
                                      "+connect "};
    static constexpr GameTexts openarena{"OpenArena", "oa", "27960", "\xff\xff\xff\xff" "getstatus", "+connect "};
    switch (game) {
        case Game::quake: return quake;
        case Game::quakeworld: return quakeworld;
        case Game::quake2: return quake2;
        case Game::quake3: return quake3;
        case Game::openarena: return openarena;
    }
    return quake;
}

std::optional<std::string_view> statusBody(Game game, std::string_view reply) {
    if (!startsWith(reply, kPrefix)) return std::nullopt;
    reply.remove_prefix(kPrefix.size());
    std::string_view header;
    switch (game) {
        case Game::quakeworld: header = "n"; break;              // A2C_PRINT, then the info text
        case Game::quake2: header = "print\n"; break;
        case Game::quake:
        case Game::quake3:
        case Game::openarena: header = "statusResponse"; break;  // then a line end
    }
    if (!startsWith(reply, header)) return std::nullopt;
    reply.remove_prefix(header.size());
    if (header == "statusResponse") {
        if (startsWith(reply, "\r")) reply.remove_prefix(1);
        if (startsWith(reply, "\n"))
            reply.remove_prefix(1);
        else if (!reply.empty())
            return std::nullopt;  // "statusResponseX..." is some other word
    }
    // The same print header carries messages ("Bad rcon_password."); a status
    // always starts with its info text, which starts with a backslash.
    if (!reply.empty() && reply.front() != '\\' && reply.front() != '\n' && reply.front() != '\r')
        return std::nullopt;
    return reply;
}

bool nextInfoPair(std::string_view& text, std::string_view& key, std::string_view& value) {
    if (!text.empty() && text.front() == '\\') text.remove_prefix(1);
    while (!text.empty()) {
        const std::size_t keyEnd = text.find('\\');
        key = take(text, keyEnd);
        value = {};
        if (keyEnd == std::string_view::npos) {
            text = {};
        } else {
            text = drop(text, keyEnd + 1);
            const std::size_t valueEnd = text.find('\\');
            value = take(text, valueEnd);
            // The backslash before the next key stays; the next call drops it.
            text = valueEnd == std::string_view::npos ? std::string_view{} : drop(text, valueEnd);
        }
        if (!key.empty()) return true;  // empty keys are skipped
        if (!text.empty() && text.front() == '\\') text.remove_prefix(1);
    }
    return false;
}

bool nextWord(std::string_view line, std::size_t& pos, std::string_view& word) {
    std::size_t i = pos;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) {
        pos = line.size();
        return false;
    }
    if (line[i] == '"') {
        const std::size_t close = line.find('"', i + 1);
        const std::size_t end = close == std::string_view::npos ? line.size() : close;
        word = std::string_view(line.data() + i + 1, end - i - 1);
        pos = close == std::string_view::npos ? line.size() : close + 1;
    } else {
        std::size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '"') ++end;
        word = std::string_view(line.data() + i, end - i);
        pos = end;
    }
    return true;
}

bool isQuakeWorldSpectator(std::string_view line) {
    std::size_t pos = 0;
    std::string_view word;
    if (nextWord(line, pos, word) && nextWord(line, pos, word) && word == "S") return true;
    const std::size_t quote = line.find('"');
    return quote != std::string_view::npos && startsWith(drop(line, quote + 1), "\\s\\");
}

// The console font draws a glyph for every byte; a name shows these few as
// look-alikes of letters, so they keep a readable stand-in instead of leaving
// a gap where the players see a character.
char foldQuakeChar(char raw) {
    const unsigned char c = static_cast<unsigned char>(raw) & 0x7f;
    if (c >= 0x20 && c < 0x7f) return static_cast<char>(c);
    if (c >= 0x12 && c <= 0x1b) return static_cast<char>('0' + (c - 0x12));  // the gold digits
    switch (c) {
        case 0x05: case 0x0e: case 0x0f: case 0x1c: return '.';  // dots and bullets
        case 0x0d: return '>';                                    // the arrow
        case 0x10: return '[';
        case 0x11: return ']';
        case 0x1d: case 0x1e: case 0x1f: return '-';              // bar pieces
        default: return 0;  // boxes, the cursor, line ends: nothing readable
    }
}

void appendReadable(Game game, std::string_view text, TextStore& out) {
    // No game draws a control character (a line end, a tab); everything else
    // goes to the host plain, which makes it inert for its markup.
    auto drawn = [&out](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) return;
        out.put(c);
    };
    auto folded = [&drawn](char c) {
        if (const char f = foldQuakeChar(c)) drawn(f);
    };
    switch (game) {
        case Game::quake: forEachUncoloured(text, true, folded); break;
        case Game::quakeworld:
        case Game::quake2:
            for (const char c : text) folded(c);
            break;
        case Game::quake3:
        case Game::openarena: forEachUncoloured(text, false, drawn); break;
    }
}

std::size_t serverStoreSize(std::size_t replyLength) {
    // Six fields, each at most the reply's length, and the count; twice that
    // leaves room for any readable form a game may yet need.
    return 12 * replyLength + 64;
}

void decodeServer(Game game, std::string_view reply, TextStore& store, const char* fields[6]) {
    const auto body = statusBody(game, reply);
    if (!body) {
        for (int i = 0; i < 6; ++i) {
            store.put(kUnknown);
            fields[i] = store.finish();
        }
        return;
    }
    std::string_view rest = *body;
    const std::string_view info = nextLine(rest);

    std::size_t players = 0;
    while (!rest.empty()) {
        const std::string_view line = nextLine(rest);
        if (!isPlayerLine(line)) continue;
        if (game == Game::quakeworld && isQuakeWorldSpectator(line)) continue;
        ++players;
    }
    if (game == Game::quake) {
        // DarkPlaces stops listing players when the datagram is full; its
        // client count stays right.
        if (const auto clients = infoFind(info, "clients")) {
            bool valid = !clients->empty() && clients->size() <= 9;
            std::size_t count = 0;
            for (const char c : *clients) {
                valid = valid && c >= '0' && c <= '9';
                count = count * 10 + static_cast<std::size_t>(c - '0');
            }
            if (valid) players = count;
        }
    }

    const FieldKeys keys = keysOf(game);
    auto field = [&](Keys names) {
        if (const auto value = infoFindAny(info, names))
            appendReadable(game, *value, store);
        else
            store.put(kUnknown);
        return store.finish();
    };
    fields[0] = field(keys.name);
    fields[1] = field(keys.game);
    fields[2] = field(keys.mod);
    fields[3] = field(keys.map);
    putCount(store, players);
    fields[4] = store.finish();
    fields[5] = field(keys.maxplayers);
}

std::size_t playersStoreSize(std::size_t replyLength) {
    // The texts are pieces of the lines, each with its zero; a line holds at
    // least a digit and its line end, and five texts come from each.
    return 4 * replyLength + 64;
}

int decodePlayers(Game game, std::string_view reply, PlayerInfo* players, int max, TextStore& store) {
    const auto body = statusBody(game, reply);
    if (!body || !players || max <= 0) return 0;
    std::string_view rest = *body;
    nextLine(rest);  // the info text
    int count = 0;
    while (!rest.empty() && count < max) {
        const std::string_view line = nextLine(rest);
        if (!isPlayerLine(line)) continue;
        std::string_view words[9];
        std::size_t n = 0, pos = 0;
        while (n < 9 && nextWord(line, pos, words[n])) ++n;

        PlayerInfo& p = players[count++];
        p.spectator = 0;
        std::string_view name, score, ping, time, team;
        if (game == Game::quakeworld) {
            // user id, frags, minutes, ping, "name", "skin", colours, "team"
            p.spectator = isQuakeWorldSpectator(line) ? 1 : 0;
            score = p.spectator ? std::string_view{} : words[1];
            time = words[2];
            ping = words[3];
            name = words[4];
            team = words[8];
            if (p.spectator && startsWith(name, "\\s\\")) {
                name.remove_prefix(3);
                if (startsWith(ping, "-")) ping.remove_prefix(1);  // status 23 negates a spectator's ping
            }
        } else {
            // score, ping, "name"; DarkPlaces adds the team where teams play
            score = words[0];
            ping = words[1];
            name = words[2];
            if (game == Game::quake) team = words[3];
        }
        // The same rules as the server's own texts: a name reads the same in
        // the list as in the server's name, and the figures are the game's
        // texts too.
        p.name = putReadable(store, game, name);
        p.score = putReadable(store, game, score);
        p.ping = putReadable(store, game, ping);
        p.time = putReadable(store, game, time);
        p.team = putReadable(store, game, team);
    }
    return count;
}

}  // namespace velmora::plugins
