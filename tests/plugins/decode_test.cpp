#include "plugins/decode/decode.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/plugins/capture.h"

using namespace velmora::plugins;
using velmora::testing::qstatRawFields;
using velmora::testing::readCapture;

namespace {

const std::string kOob = "\xff\xff\xff\xff";

std::string q3Status(const std::string& info, const std::string& players = "") {
    return kOob + "statusResponse\n" + info + "\n" + players;
}
std::string qwStatus(const std::string& info, const std::string& players = "") {
    return kOob + "n" + info + "\n" + players;
}
// A Quake II server answers "status" with SVC_Status: a print of its
// serverinfo cvars and one "frags ping \"name\"" line per client.
std::string q2Status(const std::string& info, const std::string& players = "") {
    return kOob + "print\n" + info + "\n" + players;
}

// The decoded fields as one text, so a failing case shows them all.
std::string show(const ServerFields& f) {
    return f.name + "|" + f.game + "|" + f.mod + "|" + f.map + "|" + f.players + "|" + f.maxplayers;
}

}  // namespace

// ---- recorded replies of real servers -------------------------------------

TEST(RecordedReplies, DecodeToTheServersOwnSettings) {
    struct Case {
        const char* capture;
        Game game;
        ServerFields want;
    } const cases[] = {
        {"qw-empty/status.bin", Game::quakeworld, {"peers-qw", "MVDSV 0.35", "ktx", "start", "   0", "8"}},
        {"qw-players/status.bin", Game::quakeworld, {"peers-qw", "MVDSV 0.35", "ktx", "start", "   2", "8"}},
        // status 23 and 31 list the spectator too; it is not a player
        {"qw-players/status-23.bin", Game::quakeworld, {"peers-qw", "MVDSV 0.35", "ktx", "start", "   2", "8"}},
        {"qw-players/status-31.bin", Game::quakeworld, {"peers-qw", "MVDSV 0.35", "ktx", "start", "   2", "8"}},
        {"qw-players/status-nonewline.bin", Game::quakeworld,
         {"peers-qw", "MVDSV 0.35", "ktx", "start", "   2", "8"}},
        {"q3-empty/getstatus.bin", Game::openarena,
         {"peers-q3", "ioq3 1.36+u20221123.70d07d9+dfsg-1/Debian linux-x86_64 Jan  8 2023", "baseoa", "oa_dm1",
          "   0", "8"}},
        {"q3-players/getstatus.bin", Game::openarena,
         {"peers-q3", "ioq3 1.36+u20221123.70d07d9+dfsg-1/Debian linux-x86_64 Jan  8 2023", "baseoa", "oa_dm1",
          "   2", "8"}},
        {"q3-players/getstatus-challenge.bin", Game::quake3,
         {"peers-q3", "ioq3 1.36+u20221123.70d07d9+dfsg-1/Debian linux-x86_64 Jan  8 2023", "baseoa", "oa_dm1",
          "   2", "8"}},
        {"nq-empty/getstatus.bin", Game::quake, {"peers-nq", "DarkPlaces-Quake", "id1", "start", "   0", "8"}},
        {"nq-players/getstatus.bin", Game::quake, {"peers-nq", "DarkPlaces-Quake", "id1", "start", "   2", "8"}},
    };
    for (const auto& c : cases) {
        const std::string reply = readCapture(c.capture);
        ASSERT_FALSE(reply.empty()) << c.capture;
        EXPECT_EQ(show(decodeReply(c.game, reply)), show(c.want)) << c.capture;
    }
}

TEST(RecordedReplies, AgreeWithQuakestatOnNameMapAndPlayers) {
    // quakestat's "-raw ," line of the same server in the same recording run.
    struct Case {
        const char* capture;
        const char* qstat;
        Game game;
        size_t nameAt, mapAt, maxAt, playersAt;
    } const cases[] = {
        {"qw-empty/status.bin", "qw-empty/qstat-qws-raw.txt", Game::quakeworld, 2, 3, 4, 5},
        {"qw-players/status-23.bin", "qw-players/qstat-qws-raw.txt", Game::quakeworld, 2, 3, 4, 5},
        {"q3-empty/getstatus.bin", "q3-empty/qstat-q3s-raw.txt", Game::quake3, 2, 3, 4, 5},
        {"q3-players/getstatus.bin", "q3-players/qstat-q3s-raw.txt", Game::openarena, 2, 3, 4, 5},
        {"nq-empty/getstatus.bin", "nq-empty/qstat-qs-raw.txt", Game::quake, 2, 5, 6, 7},
        {"nq-players/getstatus.bin", "nq-players/qstat-qs-raw.txt", Game::quake, 2, 5, 6, 7},
    };
    for (const auto& c : cases) {
        const auto q = qstatRawFields(c.qstat);
        ASSERT_GT(q.size(), c.playersAt) << c.qstat;
        const ServerFields f = decodeReply(c.game, readCapture(c.capture));
        EXPECT_EQ(f.name, q[c.nameAt]) << c.capture;
        EXPECT_EQ(f.map, q[c.mapAt]) << c.capture;
        EXPECT_EQ(f.maxplayers, q[c.maxAt]) << c.capture;
        EXPECT_EQ(f.players, "   " + q[c.playersAt]) << c.capture;
    }
}

TEST(RecordedReplies, OtherAnswersAreNotAStatus) {
    // Replies to other queries, and status replies of another game, show "???".
    struct Case {
        const char* capture;
        Game game;
    } const cases[] = {
        {"qw-players/ping.bin", Game::quakeworld},
        {"q3-players/getinfo.bin", Game::quake3},
        {"q3-players/getinfo-challenge.bin", Game::openarena},
        {"nq-players/getinfo.bin", Game::quake},
        {"nq-players/ccreq-server-info.bin", Game::quake},
        {"nq-players/ccreq-player-info-0.bin", Game::quake},
        {"qw-players/status.bin", Game::quake3},
        {"qw-players/status.bin", Game::quake2},
        {"q3-players/getstatus.bin", Game::quakeworld},
        {"q3-players/getstatus.bin", Game::quake2},
    };
    for (const auto& c : cases) {
        const std::string reply = readCapture(c.capture);
        ASSERT_FALSE(reply.empty()) << c.capture;
        EXPECT_EQ(show(decodeReply(c.game, reply)), show(unknownFields())) << c.capture;
    }
}

// ---- Quake II, built from its protocol -------------------------------------

TEST(QuakeTwo, DecodesTheStatusPrint) {
    const std::string info =
        "\\mapname\\q2dm1\\anticheat\\0\\gamedate\\Nov 30 1997\\gamename\\baseq2\\maxspectators\\4"
        "\\Admin\\Someone\\website\\none\\sv_maxclients\\99\\maxclients\\16\\protocol\\34\\cheats\\0"
        "\\timelimit\\20\\fraglimit\\30\\dmflags\\16\\deathmatch\\1\\version\\3.20 x86 Dec 14 1997 Linux RELEASE"
        "\\hostname\\Frag\xe6\xf5\xee Arena\\game\\ctf";
    const std::string players = "12 48 \"Grunt\"\n-3 999 \"Bitterman\"\n0 71 \"a b\"\n";
    const ServerFields f = decodeReply(Game::quake2, q2Status(info, players));
    EXPECT_EQ(show(f), show({"Fragfun Arena", "3.20 x86 Dec 14 1997 Linux RELEASE", "ctf", "q2dm1", "   3", "16"}));
}

TEST(QuakeTwo, ModFallsBackFromGamedirToGameToGamename) {
    struct Case {
        const char* info;
        const char* mod;
    } const cases[] = {
        {"\\gamedir\\rocketarena\\game\\ra2\\gamename\\baseq2", "rocketarena"},
        {"\\game\\ra2\\gamename\\baseq2", "ra2"},
        {"\\gamename\\baseq2", "baseq2"},  // a server without "game" runs the base game
        {"\\hostname\\x", "???"},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeReply(Game::quake2, q2Status(c.info)).mod, c.mod) << c.info;
}

TEST(QuakeTwo, PrintsThatAreNotAStatusShowUnknown) {
    // Quake II answers with the same "print" for messages.
    for (const char* text : {"print\nServer is full.\n", "print\n", "print", "print\r\n\\hostname\\x\n"}) {
        const ServerFields f = decodeReply(Game::quake2, kOob + text);
        if (std::string(text) == "print\n") {
            EXPECT_EQ(f.players, "   0");  // an empty status: no keys, no players
            EXPECT_EQ(f.name, "???");
        } else {
            EXPECT_EQ(show(f), show(unknownFields())) << text;
        }
    }
}

// ---- what is not a status reply ----------------------------------------------

TEST(NotAStatus, FailureTextsAndForeignDatagramsShowUnknownEverywhere) {
    // The host passes failure texts to the decoder as they are.
    const std::string cases[] = {
        "",
        "unknown error",
        "Bad information returned from server",
        "socks error Connection refused",
        "\xff\xff\xff",
        kOob,
        kOob + "statusResponseX\n\\sv_hostname\\x\n",
        kOob + "infoResponse\n\\hostname\\x",
        kOob + "disconnect",
        kOob + "nBad rcon_password.\n",
        std::string("\xff\xff\xfe\xff") + "statusResponse\n\\sv_hostname\\x\n",
    };
    for (const auto& reply : cases)
        for (const Game game : allGames)
            EXPECT_EQ(show(decodeReply(game, reply)), show(unknownFields())) << reply << " " << int(game);
}

// ---- hostile and broken status replies ---------------------------------------

TEST(BrokenStatus, MissingKeysShowUnknownAndTheRestStillDecodes) {
    const ServerFields f = decodeReply(Game::quake3, q3Status("\\mapname\\q3dm17", "0 0 \"a\"\n"));
    EXPECT_EQ(show(f), show({"???", "???", "???", "q3dm17", "   1", "???"}));
}

TEST(BrokenStatus, FirstOfDuplicateKeysWins) {
    // ioq3 and Quake II read the first of equal keys, so the server meant that one.
    const ServerFields f =
        decodeReply(Game::quake3, q3Status("\\sv_hostname\\first\\mapname\\a\\sv_hostname\\second\\mapname\\b"));
    EXPECT_EQ(f.name, "first");
    EXPECT_EQ(f.map, "a");
}

TEST(BrokenStatus, KeyOrderDoesNotMatter) {
    const ServerFields a = decodeReply(
        Game::quakeworld, qwStatus("\\hostname\\h\\map\\m\\maxclients\\4\\*gamedir\\g\\*version\\v", "1 0 0 0 \"p\"\n"));
    const ServerFields b = decodeReply(
        Game::quakeworld, qwStatus("\\*version\\v\\maxclients\\4\\*gamedir\\g\\map\\m\\hostname\\h", "1 0 0 0 \"p\"\n"));
    EXPECT_EQ(show(a), show(b));
    EXPECT_EQ(show(a), show({"h", "v", "g", "m", "   1", "4"}));
}

TEST(BrokenStatus, NegativeAndFloatScoresAreStillPlayers) {
    const std::string players = "-5 0 \"a\"\n3.5 10 \"b\"\n+2 -1 \"c\"\n-0.25 0 \"d\"\n";
    EXPECT_EQ(decodeReply(Game::quake3, q3Status("\\sv_hostname\\x", players)).players, "   4");
}

TEST(BrokenStatus, LinesThatAreNoPlayersAreNotCounted) {
    const std::string players = "\n\r\n   \nhello world\n\"only a name\"\n- 0 \"x\"\n. 0 \"y\"\n7 0 \"real\"\n";
    EXPECT_EQ(decodeReply(Game::quake3, q3Status("\\sv_hostname\\x", players)).players, "   1");
}

TEST(BrokenStatus, TruncatedDatagramsDecodeWhatArrived) {
    // A datagram cut at the sender's buffer size ends anywhere.
    struct Case {
        std::string reply;
        const char* fields;
    } const cases[] = {
        {kOob + "statusResponse\n\\sv_hostname\\peers\\mapname\\oa_dm1\\sv_maxclients\\8\n0 0 \"Sarge\"\n0 0 \"Ang",
         "peers|???|???|oa_dm1|   2|8"},
        {kOob + "statusResponse\n\\sv_hostname\\peers\\mapname\\oa_dm1\\sv_maxclients\\8\n0 0 \"Sarge\"\n0",
         "peers|???|???|oa_dm1|   2|8"},
        {kOob + "statusResponse\n\\sv_hostname\\peers\\mapname\\oa_d", "peers|???|???|oa_d|   0|???"},
        {kOob + "statusResponse\n\\sv_hostname\\peers\\mapname", "peers|???|???|???|   0|???"},
        {kOob + "statusResponse\n\\sv_hostname\\", "???|???|???|???|   0|???"},
        {kOob + "statusResponse\n\\", "???|???|???|???|   0|???"},
        {kOob + "statusResponse\n", "???|???|???|???|   0|???"},
        {kOob + "statusResponse", "???|???|???|???|   0|???"},
    };
    for (const auto& c : cases) EXPECT_EQ(show(decodeReply(Game::openarena, c.reply)), c.fields) << c.reply;
}

TEST(BrokenStatus, WindowsLineEndsAreLineEnds) {
    const ServerFields f =
        decodeReply(Game::quake3, kOob + "statusResponse\r\n\\sv_hostname\\x\\mapname\\m\r\n1 2 \"p\"\r\n3 4 \"q\"\r\n");
    EXPECT_EQ(show(f), "x|???|???|m|   2|???");
}

TEST(BrokenStatus, HugeRepliesDecodeWhole) {
    // Far beyond any datagram: nothing is cut or overrun.
    const std::string longName(1 << 20, 'n');
    std::string players;
    for (int i = 0; i < 100000; ++i) players += std::to_string(i - 50000) + " 0 \"p\"\n";
    const ServerFields f = decodeReply(Game::quake3, q3Status("\\sv_hostname\\" + longName, players));
    EXPECT_EQ(f.name, longName);
    EXPECT_EQ(f.players, "   100000");
}

TEST(BrokenStatus, DecodingStopsAtTheEndOfTheGivenText) {
    // The bytes after the view's end belong to someone else.
    const std::string whole = q3Status("\\sv_hostname\\inside\\mapname\\m", "1 0 \"a\"\n") + "9 0 \"outside\"\n";
    const std::string_view cut(whole.data(), whole.size() - std::string("9 0 \"outside\"\n").size());
    EXPECT_EQ(decodeReply(Game::quake3, cut).players, "   1");
    const std::string_view mid(whole.data(), whole.find("inside") + 3);
    EXPECT_EQ(decodeReply(Game::quake3, mid).name, "ins");
}

TEST(BrokenStatus, DarkPlacesClientCountWinsOverAShortPlayerList) {
    // DarkPlaces stops listing players when its datagram is full; "clients" stays right.
    struct Case {
        const char* clients;
        const char* players;
    } const cases[] = {
        {"\\clients\\5", "   5"},
        {"\\clients\\x", "   1"},      // not a number: the listed players count
        {"\\clients\\-2", "   1"},
        {"\\clients\\", "   1"},
        {"\\clients\\99999999999", "   1"},
        {"", "   1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeReply(Game::quake, q3Status(std::string("\\hostname\\h") + c.clients, "1 0 \"a\"\n")).players,
                  c.players)
            << c.clients;
}

TEST(BrokenStatus, InfoTextWithoutLeadingBackslashOrWithEmptyKeys) {
    InfoString info("\\a\\1\\\\2\\b\\\\c");
    EXPECT_EQ(info.find("a").value_or("-"), "1");
    EXPECT_EQ(info.find("b").value_or("-"), "");
    EXPECT_EQ(info.find("c").value_or("-"), "");
    EXPECT_FALSE(info.find("").has_value());
    EXPECT_EQ(info.findAny({"b", "a"}).value_or("-"), "1");  // an empty value counts as missing
}

// ---- QuakeWorld spectators ----------------------------------------------------

TEST(QuakeWorldPlayers, SpectatorsAreLeftOut) {
    struct Case {
        const char* line;
        bool spectator;
    } const cases[] = {
        {"1 -9999 0 -999 \"\\s\\Watcher\" \"base\" 4 4 \"red\"", true},
        {"1 S 0 999 \"Watcher\" \"base\" 4 4", true},
        {"2 0 0 999 \"Player\" \"base\" 4 4", false},
        {"2 -9999 0 20 \"Loser\" \"base\" 4 4", false},  // a score alone does not make a spectator
        {"2 0 0 999 \"\\s\\", true},                       // cut short right after the mark
        {"2 0 0 999 \"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isQuakeWorldSpectator(c.line), c.spectator) << c.line;
}

TEST(QuakeWorldPlayers, WordsOfAPlayerLine) {
    const auto words = playerWords("3 -2 14 50 \"Big \\s\\ Guy\" \"base\"  4\t13 \"unclosed");
    ASSERT_EQ(words.size(), 9u);
    EXPECT_EQ(words[4], "Big \\s\\ Guy");
    EXPECT_EQ(words[7], "13");
    EXPECT_EQ(words[8], "unclosed");
}

// ---- names made fit to show ------------------------------------------------------

TEST(ShownNames, QuakeCharactersFoldToAscii) {
    struct Case {
        std::string raw;
        const char* shown;
    } const cases[] = {
        {"\xd1\xf5\xe1\xeb\xe5", "Quake"},            // the gold (high-bit) letters
        {"\x10\x12\x13\x11", "[01]"},                 // brackets and gold digits
        {"\x1b\x1a\x19\x92\x9b", "98709"},
        {"a\x05" "b\x8e" "c\x1c" "d", "a.b.c.d"},    // dots
        {"\x1d\x1e\x1f", "---"},                      // the bar
        {"\x01\x02\x0a\x7f\xff" "x", "x"},            // boxes, line end, cursor: gone
        {"\x8d", ">"},
    };
    for (const auto& c : cases) EXPECT_EQ(foldQuakeChars(c.raw), c.shown) << c.raw;
}

TEST(ShownNames, ColourCodesAreRemoved) {
    struct Case {
        const char* raw;
        bool darkplaces;
        const char* shown;
    } const cases[] = {
        {"^1Red^7White", false, "RedWhite"},
        {"^^1x", false, "^x"},          // "^^" is no colour; "^1" is
        {"a^", false, "a^"},            // a lone "^" at the end stays
        {"^a^Z^.", false, "^."},        // a letter or digit after "^" (ioquake3)
        {"^1Dark^7Places", true, "DarkPlaces"},
        {"^xF80Orange^x12", true, "Orange^x12"},  // a cut "^x" code is shown
        {"^^1", true, "^1"},
        {"^q", true, "^q"},
    };
    for (const auto& c : cases) EXPECT_EQ(stripColourCodes(c.raw, c.darkplaces), c.shown) << c.raw;
}

TEST(ShownNames, EachGameCleansItsOwnWay) {
    struct Case {
        Game game;
        std::string raw;
        const char* shown;
    } const cases[] = {
        {Game::quake3, "^1Big^7 \x01Server\t", "Big Server"},
        {Game::openarena, "caf\xe9", "caf\xe9"},  // Latin-1 names stay as the code page shows them
        {Game::quakeworld, "\xc2\xe9\xe7 ^1qw", "Big ^1qw"},  // QuakeWorld has no colour codes
        {Game::quake2, "\xc7\xf2\xe5\xe5\xee", "Green"},
        {Game::quake, "^3\xc4\xd0 box", "DP box"},
    };
    for (const auto& c : cases) EXPECT_EQ(readable(c.game, c.raw), c.shown) << c.raw;
}

TEST(ShownNames, MarkupInANameComesPlainForTheHostToMakeInert) {
    // The host is the one place that makes server texts safe for its markup:
    // a plug-in that escaped too would show "&" twice. Control characters
    // still go, since no game draws them.
    const std::string reply =
        q3Status("\\sv_hostname\\<a href=\"file://c:/x.exe\">Join</a> & <img src=\"file://h/s/i.bmp\">"
                 "\\mapname\\<b>m\x01");
    const ServerFields f = decodeReply(Game::quake3, reply);
    EXPECT_EQ(f.name, "<a href=\"file://c:/x.exe\">Join</a> & <img src=\"file://h/s/i.bmp\">");
    EXPECT_EQ(f.map, "<b>m");
    for (const Game game : allGames)
        EXPECT_EQ(readable(game, "\xbc" "x\xbe"), game == Game::quake3 || game == Game::openarena ? "\xbc" "x\xbe" : "<x>")
            << int(game);
}
