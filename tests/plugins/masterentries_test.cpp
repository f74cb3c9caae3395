// What the reference plug-ins' master exports return, read natively with the
// same core they link: each game's masters and query, and reply datagrams
// written out as "a.b.c.d:port" texts into the caller's entries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugins/decode/masterentries.h"
#include "tests/plugins/master_capture.h"

using namespace velmora::plugins;
using namespace velmora::testing;

namespace {

// The words of a blank-separated list; empty words (two blanks) kept, so a
// stray blank shows.
std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    if (text.empty()) return out;
    size_t from = 0;
    while (true) {
        const size_t blank = text.find(' ', from);
        out.push_back(text.substr(from, blank == std::string::npos ? std::string::npos : blank - from));
        if (blank == std::string::npos) return out;
        from = blank + 1;
    }
}

// A master's name is letters, digits, dots and dashes, its port 1 to 65535 in
// plain decimal.
bool isHostPort(const std::string& word) {
    const size_t colon = word.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == word.size() || colon + 6 < word.size()) return false;
    for (size_t i = 0; i < colon; ++i) {
        const char c = word[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-')) return false;
    }
    if (word[colon + 1] == '0') return false;
    long port = 0;
    for (size_t i = colon + 1; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9') return false;
        port = port * 10 + (word[i] - '0');
    }
    return port >= 1 && port <= 65535;
}

struct Listed {
    int count = 0;
    int last = -1;
    std::vector<std::string> addresses;
};

// decodeMasterEntries with `max` entries of room and a marked entry after
// them, which must come back untouched.
Listed list(Game game, const std::string& reply, int max = 512) {
    std::vector<MasterEntry> entries(static_cast<size_t>(max) + 1);
    std::strcpy(entries[static_cast<size_t>(max)].address, "untouched");
    std::vector<MasterAddress> room(kMostMasterEntries);
    Listed l;
    l.count = decodeMasterEntries(game, entries.data(), max, reply.data(), static_cast<int>(reply.size()), &l.last,
                                  room.data(), kMostMasterEntries);
    EXPECT_STREQ(entries[static_cast<size_t>(max)].address, "untouched") << "written past max";
    for (int i = 0; i < l.count; ++i) l.addresses.emplace_back(entries[static_cast<size_t>(i)].address);
    return l;
}

}  // namespace

// The query goes out as each game's clients send it; a wrong byte and the
// master does not answer at all.
TEST(GameMasters, EachGameAsksInItsMastersForm) {
    const struct {
        Game game;
        std::string sendstr;
        MasterProtocol protocol;
    } cases[] = {
        {Game::quakeworld, "c\n", MasterProtocol::QuakeWorld},
        {Game::quake2, "query\n", MasterProtocol::Quake2},
        {Game::quake3, "\xFF\xFF\xFF\xFFgetservers 68 empty full", MasterProtocol::Quake3},
        {Game::openarena, "\xFF\xFF\xFF\xFFgetservers 71 empty full", MasterProtocol::Quake3},
        {Game::quake, "\xFF\xFF\xFF\xFFgetservers DarkPlaces-Quake 3 empty full", MasterProtocol::Quake3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gameMasters(c.game).sendstr, c.sendstr) << gameTexts(c.game).gamename;
        EXPECT_EQ(gameMasters(c.game).protocol, c.protocol) << gameTexts(c.game).gamename;
    }
}

// The masters the games' communities run today, as the engines ship them:
// each a host:port word, one blank between them.
TEST(GameMasters, DefaultMastersAreTheCommunitiesOwnAsHostPortWords) {
    const struct {
        Game game;
        std::vector<std::string> masters;
    } cases[] = {
        {Game::quakeworld,
         {"master.quakeservers.net:27000", "qwmaster.fodquake.net:27000", "master.quakeworld.nu:27000",
          "qwmaster.ocrana.de:27000"}},
        {Game::quake2, {"master.quakeservers.net:27900", "netdome.biz:27900"}},
        {Game::quake3,
         {"master.quake3arena.com:27950", "directory.ioquake3.org:27950", "master.maverickservers.com:27950"}},
        {Game::openarena, {"dpmaster.deathmask.net:27950", "directory.ioquake3.org:27950"}},
        {Game::quake, {"dpmaster.deathmask.net:27950", "dpmaster.tchr.no:27950", "dpm.dpmaster.org:27777"}},
    };
    for (const auto& c : cases) {
        const auto listed = words(gameMasters(c.game).masters);
        EXPECT_EQ(listed, c.masters) << gameTexts(c.game).gamename;
        for (const auto& w : listed) EXPECT_TRUE(isHostPort(w)) << w;
    }
}

// The recorded lists of a real master, each read by the game whose query
// asked for it; a game of another protocol refuses them.
TEST(GameMasterEntries, TheRecordedListsComeOutAsAddressTexts) {
    const struct {
        Game game;
        const char* file;
        std::vector<int> counts;  // per datagram
        std::vector<int> lasts;
        const char* first;
    } cases[] = {
        {Game::openarena, "dpm-getservers-71-empty-full.bin", {1}, {1}, "127.0.0.1:27961"},
        {Game::quake3, "dpm-getservers-68-empty-full.bin", {196, 104}, {0, 1}, "127.0.1.111:27960"},
        {Game::quake, "dpm-getservers-darkplaces-quake.bin", {1}, {1}, "127.0.0.1:26001"},
        {Game::quake, "dpm-getservers-unknown-game.bin", {0}, {1}, nullptr},
        {Game::quakeworld, "dpm-getservers-71-empty-full.bin", {-1}, {0}, nullptr},
        {Game::quake2, "dpm-getservers-darkplaces-quake.bin", {-1}, {0}, nullptr},
    };
    for (const auto& c : cases) {
        const auto replies = masterDatagrams(c.file);
        ASSERT_EQ(replies.size(), c.counts.size()) << c.file;
        for (size_t i = 0; i < replies.size(); ++i) {
            const Listed l = list(c.game, replies[i]);
            EXPECT_EQ(l.count, c.counts[i]) << c.file << " datagram " << i;
            EXPECT_EQ(l.last, c.lasts[i]) << c.file << " datagram " << i;
            if (c.first && i == 0) {
                ASSERT_FALSE(l.addresses.empty()) << c.file;
                EXPECT_EQ(l.addresses[0], c.first) << c.file;
            }
        }
    }
}

// QuakeWorld's and Quake II's one datagram, and hostile ones of every form: a
// short tail is left, a cut end marker is no end, a status reply or another
// protocol's list is not a list of this game.
TEST(GameMasterEntries, EachGameReadsItsOwnFormAndRefusesOthers) {
    const std::string two = masterEntry(10, 0, 0, 1, 27500) + masterEntry(192, 168, 1, 2, 27501);
    const struct {
        const char* what;
        Game game;
        std::string reply;
        int count, last;
        const char* first;
    } cases[] = {
        {"qw", Game::quakeworld, kMasterPrefix + "d\n" + two, 2, 1, "10.0.0.1:27500"},
        {"qw unprefixed", Game::quakeworld, "d\n" + two, 2, 1, "10.0.0.1:27500"},
        {"qw length no multiple of 6", Game::quakeworld, "d\n" + two + std::string("\x7f\x00\x00", 3), 2, 1,
         "10.0.0.1:27500"},
        {"qw asked of quake2", Game::quake2, "d\n" + two, -1, 0, nullptr},
        {"qw status reply", Game::quakeworld, kMasterPrefix + "n\\hostname\\x\n", -1, 0, nullptr},
        {"q2", Game::quake2, kMasterPrefix + "servers " + two, 2, 1, "10.0.0.1:27500"},
        {"q2 length no multiple of 6", Game::quake2, kMasterPrefix + "servers\n" + two.substr(0, 11), 1, 1,
         "10.0.0.1:27500"},
        {"q2 asked of quake3", Game::quake3, kMasterPrefix + "servers " + two, -1, 0, nullptr},
        {"q3 cut end marker", Game::openarena,
         kMasterPrefix + "getserversResponse\\" + masterEntry(10, 0, 0, 1, 27960) + std::string("\\EOT\0", 5), 1, 0,
         "10.0.0.1:27960"},
        {"q3 short entry", Game::quake3,
         kMasterPrefix + "getserversResponse\\" + masterEntry(10, 0, 0, 1, 27960) + std::string("\\\x0a\x00", 3), 1, 0,
         nullptr},
        {"q3 asked of quakeworld", Game::quakeworld, quake3List(2, true), -1, 0, nullptr},
        {"q3 extended form", Game::quake, kMasterPrefix + "getserversExtResponse\\" + two, -1, 0, nullptr},
        {"empty datagram", Game::quake3, "", -1, 0, nullptr},
    };
    for (const auto& c : cases) {
        const Listed l = list(c.game, c.reply);
        EXPECT_EQ(l.count, c.count) << c.what;
        EXPECT_EQ(l.last, c.last) << c.what;
        if (c.first) {
            ASSERT_FALSE(l.addresses.empty()) << c.what;
            EXPECT_EQ(l.addresses[0], c.first) << c.what;
        }
    }
}

// The caller's entries are never written past `max`, nor the lent room past
// its size; a full list still tells whether it ended.
TEST(GameMasterEntries, NoMoreEntriesThanTheCallerHasRoomFor) {
    const std::string reply = quake3List(300, true);
    for (const int max : {1, 2, 196, 299, 300, 301}) {
        const Listed l = list(Game::quake3, reply, max);
        EXPECT_EQ(l.count, std::min(max, 300)) << max;
        EXPECT_EQ(l.last, 1) << max;
        EXPECT_EQ(l.addresses.back(), "10.0." + std::to_string((l.count - 1) >> 8) + "." +
                                          std::to_string((l.count - 1) & 0xFF) + ":27960")
            << max;
    }
    // Less room lent than entries asked for: no more than the room.
    std::vector<MasterEntry> entries(10);
    std::vector<MasterAddress> room(4);
    int last = -1;
    EXPECT_EQ(decodeMasterEntries(Game::quake3, entries.data(), 10, reply.data(), static_cast<int>(reply.size()),
                                  &last, room.data(), 4),
              4);
    EXPECT_STREQ(entries[3].address, "10.0.0.3:27960");
    EXPECT_EQ(entries[4].address[0], '\0');
}

// No room, a negative count or missing pointers write nothing and still tell
// this game's reply (0) from another (-1).
TEST(GameMasterEntries, NothingAskedForStillTellsAReplyFromAnother) {
    const std::string ours = quake3List(3, true);
    const std::string theirs = "d\n" + masterEntry(1, 2, 3, 4, 5);
    std::vector<MasterAddress> room(kMostMasterEntries);
    MasterEntry entry{};
    const int size = static_cast<int>(ours.size());
    int last = -1;
    EXPECT_EQ(decodeMasterEntries(Game::openarena, &entry, 0, ours.data(), size, &last, room.data(), 8), 0);
    EXPECT_EQ(last, 1);
    EXPECT_EQ(decodeMasterEntries(Game::openarena, &entry, -5, ours.data(), size, &last, room.data(), 8), 0);
    EXPECT_EQ(decodeMasterEntries(Game::openarena, nullptr, 8, ours.data(), size, &last, room.data(), 8), 0);
    EXPECT_EQ(decodeMasterEntries(Game::openarena, &entry, 1, ours.data(), size, nullptr, room.data(), 8), 1);
    EXPECT_STREQ(entry.address, "10.0.0.0:27960");
    EXPECT_EQ(decodeMasterEntries(Game::openarena, &entry, 1, theirs.data(), 8, &last, room.data(), 8), -1);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(decodeMasterEntries(Game::openarena, &entry, 1, nullptr, 8, &last, room.data(), 8), -1);
    EXPECT_EQ(decodeMasterEntries(Game::openarena, &entry, 1, ours.data(), -1, &last, room.data(), 8), -1);
    EXPECT_EQ(decodeMasterEntries(Game::openarena, &entry, 1, ours.data(), size, &last, nullptr, 8), 0);
}
