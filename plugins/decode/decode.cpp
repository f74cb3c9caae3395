#include "plugins/decode/decode.h"

#include <cstdint>

namespace velmora::plugins {
namespace {

constexpr std::string_view kPrefix = "\xff\xff\xff\xff";
constexpr const char* kUnknown = "???";
// The host drops the first three characters of the players text.
constexpr std::string_view kPlayersFiller = "   ";

bool startsWith(std::string_view text, std::string_view head) { return text.substr(0, head.size()) == head; }

std::string_view chopCarriageReturn(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// The text after the game's status header, or nothing when `reply` is not a
// status reply of that game.
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

bool isNumber(std::string_view word) {
    size_t i = 0;
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
    const auto words = playerWords(line);
    return !words.empty() && isNumber(words.front());
}

std::string countText(size_t count) { return std::string(kPlayersFiller) + std::to_string(count); }

struct Keys {
    std::vector<std::string_view> name, game, mod, map, maxplayers;
};

const Keys& keysOf(Game game) {
    static const Keys quake{{"hostname", "sv_hostname"}, {"gamename", "version"}, {"modname", "gamedir"},
                            {"mapname", "map"}, {"sv_maxclients", "maxplayers", "maxclients"}};
    static const Keys quakeworld{{"hostname"}, {"*version", "version"}, {"*gamedir", "gamedir"},
                                 {"map", "mapname"}, {"maxclients"}};
    static const Keys quake2{{"hostname"}, {"version", "gamename"}, {"gamedir", "game", "gamename"},
                             {"mapname", "map"}, {"maxclients"}};
    static const Keys quake3{{"sv_hostname", "hostname"}, {"version", "com_gamename"}, {"gamename", "fs_game"},
                             {"mapname"}, {"sv_maxclients"}};
    switch (game) {
        case Game::quake: return quake;
        case Game::quakeworld: return quakeworld;
        case Game::quake2: return quake2;
        case Game::quake3:
        case Game::openarena: return quake3;
    }
    return quake3;
}

void appendForMarkup(std::string& out, char c) {
    switch (c) {
        case '<': out += '('; break;
        case '>': out += ')'; break;
        case '&': out += "&&"; break;
        default: out += c;
    }
}

}  // namespace

const GameTexts& gameTexts(Game game) {
    static const GameTexts quake{"Quake", "qs", "26000", "\xff\xff\xff\xff" "getstatus", "+connect "};
    static const GameTexts quakeworld{"QuakeWorld", "qws", "27500", "\xff\xff\xff\xff" "status\n", "+connect "};
    static const GameTexts quake2{"Quake II", "q2s", "27910", "\xff\xff\xff\xff" "status\n", "+connect "};
    static const GameTexts quake3{"Quake III Arena", "q3a", "27960", "\xff\xff\xff\xff" "getstatus", "+connect "};
    static const GameTexts openarena{"OpenArena", "oa", "27960", "\xff\xff\xff\xff" "getstatus", "+connect "};
    switch (game) {
        case Game::quake: return quake;
        case Game::quakeworld: return quakeworld;
        case Game::quake2: return quake2;
        case Game::quake3: return quake3;
        case Game::openarena: return openarena;
    }
    return quake;
}

ServerFields unknownFields() { return {kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown}; }

InfoString::InfoString(std::string_view text) {
    if (!text.empty() && text.front() == '\\') text.remove_prefix(1);
    while (!text.empty()) {
        const size_t keyEnd = text.find('\\');
        const std::string_view key = text.substr(0, keyEnd);
        std::string_view value;
        if (keyEnd == std::string_view::npos) {
            text = {};
        } else {
            text.remove_prefix(keyEnd + 1);
            const size_t valueEnd = text.find('\\');
            value = text.substr(0, valueEnd);
            text = valueEnd == std::string_view::npos ? std::string_view{} : text.substr(valueEnd + 1);
        }
        if (!key.empty()) pairs_.push_back({key, value});
    }
}

std::optional<std::string_view> InfoString::find(std::string_view key) const {
    for (const auto& pair : pairs_)
        if (pair.key == key) return pair.value;
    return std::nullopt;
}

std::optional<std::string_view> InfoString::findAny(const std::vector<std::string_view>& keys) const {
    for (const auto key : keys)
        if (auto value = find(key); value && !value->empty()) return value;
    return std::nullopt;
}

std::vector<std::string_view> playerWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size()) break;
        if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            const size_t end = close == std::string_view::npos ? line.size() : close;
            words.push_back(line.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? line.size() : close + 1;
        } else {
            size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '"') ++end;
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

bool isQuakeWorldSpectator(std::string_view line) {
    const auto words = playerWords(line);
    if (words.size() >= 2 && words[1] == "S") return true;
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '"') return startsWith(line.substr(i + 1), "\\s\\");
    return false;
}

std::string foldQuakeChars(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char raw : text) {
        const unsigned char c = static_cast<unsigned char>(raw) & 0x7f;
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else if (c >= 0x12 && c <= 0x1b) {
            out += static_cast<char>('0' + (c - 0x12));  // the gold digits
        } else {
            switch (c) {
                case 0x05: case 0x0e: case 0x0f: case 0x1c: out += '.'; break;  // dots and bullets
                case 0x0d: out += '>'; break;                                    // the arrow
                case 0x10: out += '['; break;
                case 0x11: out += ']'; break;
                case 0x1d: case 0x1e: case 0x1f: out += '-'; break;              // bar pieces
                default: break;  // boxes, the cursor, line ends: nothing readable
            }
        }
    }
    return out;
}

std::string stripColourCodes(std::string_view text, bool darkplaces) {
    auto isHex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '^' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[i + 1];
        if (!darkplaces) {
            ++i;  // "^" and whatever follows it
        } else if (next == '^') {
            out += '^';
            ++i;
        } else if (next >= '0' && next <= '9') {
            ++i;
        } else if (next == 'x' && i + 4 < text.size() && isHex(text[i + 2]) && isHex(text[i + 3]) &&
                   isHex(text[i + 4])) {
            i += 4;
        } else {
            out += '^';  // not a DarkPlaces colour: shown as it is
        }
    }
    return out;
}

std::string showable(Game game, std::string_view text) {
    std::string clean;
    switch (game) {
        case Game::quake: clean = foldQuakeChars(stripColourCodes(text, true)); break;
        case Game::quakeworld:
        case Game::quake2: clean = foldQuakeChars(text); break;
        case Game::quake3:
        case Game::openarena: clean = stripColourCodes(text, false); break;
    }
    std::string out;
    out.reserve(clean.size());
    for (const char c : clean) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) continue;
        appendForMarkup(out, c);
    }
    return out;
}

ServerFields decodeReply(Game game, std::string_view reply) {
    const auto body = statusBody(game, reply);
    if (!body) return unknownFields();

    const size_t infoEnd = body->find('\n');
    const InfoString info(chopCarriageReturn(body->substr(0, infoEnd)));
    std::string_view rest = infoEnd == std::string_view::npos ? std::string_view{} : body->substr(infoEnd + 1);

    size_t players = 0;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = chopCarriageReturn(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (!isPlayerLine(line)) continue;
        if (game == Game::quakeworld && isQuakeWorldSpectator(line)) continue;
        ++players;
    }

    const Keys& keys = keysOf(game);
    auto field = [&](const std::vector<std::string_view>& names) -> std::string {
        const auto value = info.findAny(names);
        return value ? showable(game, *value) : kUnknown;
    };
    ServerFields out{field(keys.name), field(keys.game),    field(keys.mod),
                     field(keys.map),  countText(players), field(keys.maxplayers)};
    if (game == Game::quake) {
        // DarkPlaces stops listing players when the datagram is full; its
        // client count stays right.
        if (const auto clients = info.find("clients")) {
            const std::string_view digits = *clients;
            bool valid = !digits.empty() && digits.size() <= 9;
            for (const char c : digits) valid = valid && c >= '0' && c <= '9';
            if (valid) out.players = countText(std::stoul(std::string(digits)));
        }
    }
    return out;
}

}  // namespace velmora::plugins
