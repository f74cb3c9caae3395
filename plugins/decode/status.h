// The reference plug-ins' decoding core: a server's status reply read into
// the texts of ServerInfo and PlayerInfo, written into a buffer the caller
// gives. It allocates nothing and throws nothing, so a plug-in links no C++
// runtime beyond it; everything works on a text of known length and never
// looks beyond it.
#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

#include "plugins/include/velmora_plugin.h"

namespace velmora::plugins {

enum class Game { quake, quakeworld, quake2, quake3, openarena };

inline constexpr Game allGames[] = {Game::quake, Game::quakeworld, Game::quake2, Game::quake3,
                                    Game::openarena};

// What getgamename, getgameid, getdefport, getsendstr and getparam return.
struct GameTexts {
    const char* gamename;
    const char* gameid;
    const char* defport;
    const char* sendstr;  // the whole status datagram, FF FF FF FF included, no zero byte
    const char* param;
};
const GameTexts& gameTexts(Game game);

// Zero-terminated texts appended to a fixed buffer. What does not fit is cut
// (never written past the buffer); each text still ends with its zero.
class TextStore {
public:
    TextStore(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    void put(char c) {
        if (used_ + 1 < capacity_) buffer_[used_++] = c;
    }
    void put(std::string_view text) {
        for (const char c : text) put(c);
    }
    // Room for this many more characters in the current text.
    std::size_t room() const { return used_ + 1 < capacity_ ? capacity_ - used_ - 1 : 0; }
    // Where the next character goes, for a writer that checks room() first.
    char* cursor() { return buffer_ + used_; }
    void advance(std::size_t count) { used_ += count; }
    // Ends the current text and returns it.
    const char* finish();

private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::size_t start_ = 0;
};

// The text after the game's status header, or nothing when `reply` is not a
// status reply of that game.
std::optional<std::string_view> statusBody(Game game, std::string_view reply);

// The next pair of a "\key\value\key\value" info text, taken off its front;
// false at its end. A key without value gets an empty value.
bool nextInfoPair(std::string_view& text, std::string_view& key, std::string_view& value);

// The next blank-separated word of a player line from `pos` on; a word in
// double quotes keeps its blanks and loses the quotes, an unclosed quote runs
// to the line's end. False when the line has no more words.
bool nextWord(std::string_view line, std::size_t& pos, std::string_view& word);

// True when a QuakeWorld status line describes a spectator: "\s\" before the
// name (status 23) or "S" in place of the frags (status 31).
bool isQuakeWorldSpectator(std::string_view line);

// Every text of a status reply (server fields and players alike) as the game
// itself draws it for its players, appended: the game's colour codes gone,
// its character set read as plain letters, control characters dropped. It
// comes plain otherwise: the host makes it inert for its markup.
//   Quake III, OpenArena: "^" and a letter or digit is a colour (ioquake3's
//     rule; "^" before anything else is drawn);
//   Quake (DarkPlaces): "^0".."^9", "^xRGB", "^^" for one "^", and Quake's
//     character set;
//   QuakeWorld, Quake II: Quake's character set, no colour codes.
void appendReadable(Game game, std::string_view text, TextStore& out);
// Quake's character set folded to ASCII, one character at a time (0: none).
char foldQuakeChar(char raw);
// Colour codes removed, Quake III's or (with `darkplaces`) DarkPlaces', each
// drawn character handed to `emit`.
template <typename Emit>
void forEachUncoloured(std::string_view text, bool darkplaces, Emit emit);

// decodedata's six texts for `reply`, in ServerInfo's order, written into
// `store` (serverStoreSize bytes are enough for a reply of that length).
std::size_t serverStoreSize(std::size_t replyLength);
void decodeServer(Game game, std::string_view reply, TextStore& store, const char* fields[6]);

// decodeplayers: at most `max` players of `reply` written to `players`, their
// texts in `store` (playersStoreSize bytes are enough); returns how many.
std::size_t playersStoreSize(std::size_t replyLength);
int decodePlayers(Game game, std::string_view reply, PlayerInfo* players, int max, TextStore& store);

template <typename Emit>
void forEachUncoloured(std::string_view text, bool darkplaces, Emit emit) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto isHex = [&](char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '^' || i + 1 == text.size()) {
            emit(text[i]);  // a "^" at the end is drawn
            continue;
        }
        const char next = text[i + 1];
        if (!darkplaces) {
            // id's 1.32 took any character but "^" as a colour; ioquake3, on
            // which OpenArena and today's Quake III clients run, takes only
            // letters and digits, and draws the "^" of anything else.
            if (isDigit(next) || isLetter(next))
                ++i;
            else
                emit('^');
        } else if (next == '^') {
            emit('^');
            ++i;
        } else if (isDigit(next)) {
            ++i;
        } else if (next == 'x' && i + 4 < text.size() && isHex(text[i + 2]) && isHex(text[i + 3]) &&
                   isHex(text[i + 4])) {
            i += 4;
        } else {
            emit('^');  // not a DarkPlaces colour: shown as it is
        }
    }
}

}  // namespace velmora::plugins
