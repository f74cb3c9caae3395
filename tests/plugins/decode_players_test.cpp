// decodeplayers' core: the player lines of each game's status reply, from
// recorded replies of real servers and from hostile ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugins/decode/decode.h"
#include "tests/plugins/capture.h"

using namespace velmora::plugins;
using velmora::testing::readCapture;

namespace {

const std::string kOob = "\xff\xff\xff\xff";

// Each player as "name/score/ping/time/team" with a "*" for a spectator.
std::string listed(const std::vector<Player>& players) {
    std::string out;
    for (const Player& p : players)
        out += p.name + "/" + p.score + "/" + p.ping + "/" + p.time + "/" + p.team + (p.spectator ? "*" : "") + " ";
    return out;
}

// quakestat's player lines ("-raw ,", after the server's line and its rules),
// as name and score in its columns for the game.
std::vector<std::pair<std::string, std::string>> quakestatPlayers(const std::string& file, size_t nameColumn,
                                                                  size_t scoreColumn) {
    std::vector<std::pair<std::string, std::string>> out;
    const std::string text = readCapture(file);
    size_t start = 0;
    int line = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const std::string row = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (++line <= 2 || row.empty() || row[0] == '[' || row.find('=') != std::string::npos) continue;
        std::vector<std::string> columns;
        size_t from = 0;
        for (size_t comma; (comma = row.find(',', from)) != std::string::npos; from = comma + 1)
            columns.push_back(row.substr(from, comma - from));
        columns.push_back(row.substr(from));
        if (columns.size() > std::max(nameColumn, scoreColumn))
            out.emplace_back(columns[nameColumn], columns[scoreColumn]);
    }
    return out;
}

}  // namespace

TEST(RecordedPlayers, EachGamesLinesAsTheServerReportedThem) {
    struct Case {
        const char* capture;
        Game game;
        const char* players;
    } const cases[] = {
        // user id, frags, minutes, ping, name; "\s\" marks the spectator, whose ping status 23 negates
        {"qw-players/status-23.bin", Game::quakeworld,
         "PeerSpec1//999/0/red* PeerQW1/0/999/0/red PeerQW2/0/999/0/red "},
        {"qw-players/status-31.bin", Game::quakeworld,
         "PeerSpec1//999/0/red* PeerQW1/0/999/0/red PeerQW2/0/999/0/red "},
        {"qw-players/status.bin", Game::quakeworld, "PeerQW1/0/999/0/ PeerQW2/0/999/0/ "},
        {"q3-players/getstatus.bin", Game::openarena, "Sarge/0/0// Angelyss/0/0// "},
        {"q3-players/getstatus.bin", Game::quake3, "Sarge/0/0// Angelyss/0/0// "},
        {"nq-players/getstatus.bin", Game::quake, "PeerBot1/7/0// PeerBot2/3/0// "},
        {"q3-empty/getstatus.bin", Game::quake3, ""},
        {"qw-players/ping.bin", Game::quakeworld, ""},            // not a status reply
        {"q3-players/getinfo.bin", Game::quake3, ""},
        {"q3-players/getstatus.bin", Game::quakeworld, ""},       // another game's reply
    };
    for (const auto& c : cases) {
        const std::string reply = readCapture(c.capture);
        ASSERT_FALSE(reply.empty()) << c.capture;
        EXPECT_EQ(listed(decodePlayerList(c.game, reply)), c.players) << c.capture;
    }
}

TEST(RecordedPlayers, AgreeWithQuakestatOnNamesAndScores) {
    struct Case {
        const char* capture;
        const char* qstat;
        Game game;
        size_t nameColumn, scoreColumn;
    } const cases[] = {
        {"qw-players/status-23.bin", "qw-players/qstat-qws-raw.txt", Game::quakeworld, 1, 2},
        {"q3-players/getstatus.bin", "q3-players/qstat-q3s-raw.txt", Game::openarena, 0, 1},
        {"nq-players/getstatus.bin", "nq-players/qstat-qs-raw.txt", Game::quake, 1, 3},
    };
    for (const auto& c : cases) {
        const auto want = quakestatPlayers(c.qstat, c.nameColumn, c.scoreColumn);
        const auto got = decodePlayerList(c.game, readCapture(c.capture));
        ASSERT_EQ(got.size(), want.size()) << c.capture;
        ASSERT_FALSE(want.empty()) << c.qstat;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].name, want[i].first) << c.capture;
            if (!got[i].spectator) {
                EXPECT_EQ(got[i].score, want[i].second) << c.capture << " " << got[i].name;
            }
        }
    }
}

TEST(HostilePlayers, BrokenAndHugeLinesStayInsideTheReply) {
    const std::string huge(64 * 1024, 'x');
    struct Case {
        const char* what;
        Game game;
        std::string lines;
        std::string players;
    } const cases[] = {
        {"unclosed quote", Game::quake3, "3 50 \"Open name\n", "Open name/3/50// "},
        {"unclosed quote at the end of the datagram", Game::quakeworld, "2 5 1 40 \"Cut", "Cut/5/40/1/ "},
        {"a name of 64 KiB", Game::quake3, "1 2 \"" + huge + "\"\n", huge + "/1/2// "},
        {"colour codes at the end", Game::quake3, "1 2 \"Bob^1\"\n4 5 \"Al^\"\n", "Bob/1/2// Al^/4/5// "},
        {"\"^\" alone", Game::openarena, "1 2 \"^\"\n", "^/1/2// "},
        {"DarkPlaces codes and team", Game::quake, "9 33 \"^1Ra^x0F0ng^^er\" 2\n", "Rang^er/9/33//2 "},
        {"high characters", Game::quakeworld, "4 1 0 20 \"\xd2\xe1\x90\x92\x91\" \"base\" 0 0\n",
         "Ra[0]/1/20/0/ "},
        {"Quake II is plain frags, ping, name", Game::quake2, "12 48 \"Gr\xf5nt\"\n", "Grunt/12/48// "},
        {"a player line without fields", Game::quake3, "\n   \n\t\n7\n", "/7/// "},
        {"lines that are no players", Game::quake3, "name \"x\"\nx 3 \"q\"\n", ""},
        // 0x0d is no control character in Quake's font but its arrow
        {"control characters in every field", Game::quakeworld, "1 \x01" "3 \x02" "4 5\x7f \"a\x0d" "b\"\n",
         "a>b/3/5/4/ "},
        {"Windows line ends", Game::quake3, "1 2 \"a\"\r\n3 4 \"b\"\r\n", "a/1/2// b/3/4// "},
    };
    for (const auto& c : cases) {
        const std::string reply = c.game == Game::quakeworld ? kOob + "n\\hostname\\x\n" + c.lines
                                  : c.game == Game::quake2   ? kOob + "print\n\\hostname\\x\n" + c.lines
                                                             : kOob + "statusResponse\n\\sv_hostname\\x\n" + c.lines;
        EXPECT_EQ(listed(decodePlayerList(c.game, reply)), c.players) << c.what;
    }
}

TEST(HostilePlayers, NoMoreThanMaxEntriesAreWritten) {
    std::string lines;
    for (int i = 0; i < 300; ++i) lines += std::to_string(i) + " 1 \"p" + std::to_string(i) + "\"\n";
    const std::string reply = kOob + "statusResponse\n\\sv_hostname\\x\n" + lines;
    for (const int max : {0, 1, 16, 299, 300, 301, -5}) {
        const auto players = decodePlayerList(Game::quake3, reply, max);
        EXPECT_EQ(players.size(), static_cast<size_t>(std::clamp(max, 0, 300))) << max;
        if (!players.empty()) {
            EXPECT_EQ(players.back().name, "p" + std::to_string(players.size() - 1)) << max;
        }
    }
}

TEST(HostilePlayers, ATooSmallStoreCutsTextsButEndsEachOne) {
    const std::string reply = kOob + "statusResponse\n\\sv_hostname\\x\n12 34 \"Longname\"\n5 6 \"b\"\n";
    for (size_t capacity : {0u, 1u, 3u, 9u}) {
        std::string buffer(capacity + 1, '#');
        TextStore store(buffer.data(), capacity);
        PlayerInfo list[2] = {};
        ASSERT_EQ(decodePlayers(Game::quake3, reply, list, 2, store), 2) << capacity;
        size_t total = 0;
        for (const PlayerInfo& p : list)
            for (const char* text : {p.name, p.score, p.ping, p.time, p.team}) total += std::string(text).size();
        EXPECT_LE(total, capacity) << capacity;
        EXPECT_EQ(buffer[capacity], '#') << "nothing written past the store";
    }
}
