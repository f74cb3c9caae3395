// One decoder for every text of a status reply: a server's name and a
// player's name with the same bytes read the same, as the game itself shows
// them to its players, in recorded replies of real servers.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "plugins/decode/decode.h"
#include "tests/plugins/capture.h"

using namespace velmora::plugins;
using velmora::testing::readCapture;

namespace {

// A recorded reply whose server name and first player are known, so that a
// case can put its text in both places.
struct Recording {
    const char* capture;
    std::string_view name;    // the server name in the capture
    std::string_view player;  // the first player's name in it
};
const Recording kQuakeWorld{"qw-players/status-31.bin", "peers-qw", "\"PeerSpec1\""};
const Recording kQuakeThree{"q3-players/getstatus.bin", "peers-q3", "\"Sarge\""};
const Recording kDarkPlaces{"nq-players/getstatus.bin", "peers-nq", "\"PeerBot1\""};

// A reply of `game` with `text` as the server's name and as the first
// player's: a recording of a real server, and for Quake II (none recorded)
// one built from its protocol, a print of the server info and "frags ping
// \"name\"" per player.
std::string replyWith(Game game, const std::string& text) {
    const Recording* r = &kQuakeThree;
    switch (game) {
        case Game::quake2:
            return "\xff\xff\xff\xff" "print\n\\hostname\\" + text + "\\maxclients\\8\n3 48 \"" + text + "\"\n";
        case Game::quakeworld: r = &kQuakeWorld; break;
        case Game::quake: r = &kDarkPlaces; break;
        case Game::quake3:
        case Game::openarena: break;
    }
    std::string reply = readCapture(r->capture);
    const size_t name = reply.find(r->name);
    if (name == std::string::npos) return {};
    reply.replace(name, r->name.size(), text);
    const size_t player = reply.find(r->player);
    if (player == std::string::npos) return {};
    reply.replace(player, r->player.size(), "\"" + text + "\"");
    return reply;
}

// A text that fits both places: no line end, no info separator, no quote.
bool fitsAReply(std::string_view text) {
    return text.find_first_of(std::string_view("\n\\\"\0", 4)) == std::string_view::npos;
}

struct Case {
    Game game;
    std::string raw;
    std::string shown;
};

}  // namespace

// The server's name and the player list used to go through two decoders that
// disagreed; each game's rules now live in one place, the way its players see them.
TEST(ReadableTexts, ServerNamesAndPlayerNamesReadAsTheGameShowsThem) {
    const Case cases[] = {
        // QuakeWorld, Quake II: Quake's console font; its arrow and dots are drawn
        {Game::quakeworld, "A\x0d" "B\x1c" "C", "A>B.C"},
        {Game::quake2, "A\x0d" "B\x1c" "C", "A>B.C"},
        {Game::quakeworld, "\xd1\xf5\xe1\xeb\xe5", "Quake"},  // the high bit only colours
        {Game::quakeworld, "\x10\x12\x13\x11", "[01]"},
        {Game::quakeworld, "\x90\x9b\x91", "[9]"},            // the same with the high bit
        {Game::quakeworld, "\x1b\x1a\x19\x92", "9870"},
        {Game::quakeworld, "a\x05\x8d\x1c\x1f\x0a\x7f\xff" "b", "a.>.-b"},  // line end and cursor: no glyph
        {Game::quakeworld, "^1qw", "^1qw"},                   // QuakeWorld has no colour codes
        {Game::quakeworld, "\xa0\xbc\xbe", " <>"},
        // The server's bytes are in Quake's font, whatever they are in Latin-1.
        {Game::quakeworld, "M\xfcller's Caf\xe9", "M|ller's Cafi"},
        {Game::quake2, "\xc7\xf2\xe5\xe5\xee", "Green"},
        // Quake III, OpenArena: "^" and a letter or digit is a colour (ioquake3)
        {Game::quake3, "a^!b^^c", "a^!b^"},
        {Game::openarena, "a^!b^^c", "a^!b^"},
        {Game::quake3, "^1Sar^7ge", "Sarge"},
        {Game::quake3, "^aA^ZZ", "AZ"},
        {Game::quake3, "^^1x", "^x"},          // "^^" is no code; "^1" is
        {Game::quake3, "a^.b", "a^.b"},        // "^" before punctuation is drawn
        {Game::openarena, "^a^Z^.", "^."},
        {Game::quake3, "Bob^", "Bob^"},        // a code cut at the end: the "^" stays
        {Game::quake3, "Bob^7", "Bob"},
        {Game::quake3, "^", "^"},
        {Game::openarena, "caf\xe9", "caf\xe9"},  // Latin-1 stays as the code page shows it
        {Game::quake3, "a\tb\x01\x7f" "c", "abc"},
        {Game::quake3, "^1Big^7 \x01Server\t", "Big Server"},
        // Quake (DarkPlaces): "^" and a digit, "^xRGB", "^^" for one "^", Quake's font
        {Game::quake, "^^1on1 arena", "^1on1 arena"},
        {Game::quake, "^1Dark^7Places", "DarkPlaces"},
        {Game::quake, "^xF80Orange", "Orange"},
        {Game::quake, "Orange^x12", "Orange^x12"},  // a cut "^x" is drawn
        {Game::quake, "^xG00a", "^xG00a"},          // no hex digits
        {Game::quake, "^q", "^q"},
        {Game::quake, "end^", "end^"},
        {Game::quake, "^3\xc4\xd0 box", "DP box"},
        {Game::quake, "A\x0d" "B\x1c" "C", "A>B.C"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readable(c.game, c.raw), c.shown) << int(c.game) << " " << c.raw;
        if (!fitsAReply(c.raw)) continue;
        const std::string reply = replyWith(c.game, c.raw);
        ASSERT_FALSE(reply.empty()) << "a recording of game " << int(c.game);
        EXPECT_EQ(decodeReply(c.game, reply).name, c.shown) << "server name " << int(c.game) << " " << c.raw;
        const auto players = decodePlayerList(c.game, reply, 1);
        ASSERT_FALSE(players.empty()) << c.raw;
        EXPECT_EQ(players.front().name, c.shown) << "player name " << int(c.game) << " " << c.raw;
    }
}

// The host sizes nothing by the readable form; it must still never grow, and
// never hand over a control character, whatever the bytes.
TEST(ReadableTexts, NeverLongerThanTheTextAndNeverAControlCharacter) {
    std::string all;
    for (int a = 0; a < 256; ++a) all += {'^', static_cast<char>(a), static_cast<char>(a), 'x', static_cast<char>(a)};
    for (const Game game : allGames) {
        const std::string shown = readable(game, all);
        ASSERT_LE(shown.size(), all.size()) << int(game);
        for (size_t i = 0; i < shown.size(); ++i)
            ASSERT_TRUE(static_cast<unsigned char>(shown[i]) >= 32 && shown[i] != 127) << int(game) << " at " << i;
    }
}

TEST(ReadableTexts, AHugeNameIsReadWhole) {
    const std::string huge = std::string(64 * 1024 - 2, '\xc1') + "^7";
    EXPECT_EQ(readable(Game::quakeworld, huge), std::string(64 * 1024 - 2, 'A') + "^7");
    EXPECT_EQ(readable(Game::quake3, huge), std::string(64 * 1024 - 2, '\xc1'));
}
