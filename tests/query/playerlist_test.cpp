// The query window's player list without a window: copying what a plug-in
// returned (whatever count it gives), the order, the rows and the copy.
#include "query/playerlist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velmora::query;

namespace {

PlayerEntry player(const char* name, const char* score, const char* ping = "50", bool spectator = false) {
    return {name, score, ping, "", "", spectator};
}

std::string names(const std::vector<PlayerEntry>& players) {
    std::string out;
    for (const auto& p : players) out += p.name + (p.spectator ? "*" : "") + " ";
    return out;
}

}  // namespace

TEST(PlayerCopy, TheCountIsClampedToWhatWasAskedWhateverThePluginReturns) {
    PlayerInfo entries[4] = {{"a", "1", "2", "3", "red", 0}, {"b", nullptr, nullptr, nullptr, nullptr, 1},
                             {"c", "", "", "", "", 0}, {"d", "", "", "", "", 0}};
    const struct {
        int returned, max;
        const char* names;
    } cases[] = {{2, 4, "a b* "}, {4, 4, "a b* c d "}, {9, 4, "a b* c d "}, {1000000, 3, "a b* c "},
                 {-1, 4, ""},     {-2147483647 - 1, 4, ""}, {3, 0, ""}, {3, -5, ""}};
    for (const auto& c : cases) EXPECT_EQ(names(copiedplayers(entries, c.returned, c.max)), c.names) << c.returned;
    EXPECT_TRUE(copiedplayers(nullptr, 3, 4).empty());
    const auto copied = copiedplayers(entries, 2, 4);
    EXPECT_EQ(copied[0], (PlayerEntry{"a", "1", "2", "3", "red", false}));
    EXPECT_EQ(copied[1], (PlayerEntry{"b", "", "", "", "", true}));  // null texts read as ""
}

namespace {
int returnedCount = 0;
int askedMax = 0;
std::string askedReply;
int VELMORA_CALL fakeDecodePlayers(PlayerInfo* players, int max, const char* reply) {
    askedMax = max;
    askedReply = reply;
    players[0] = {"first", "1", "2", "", "", 0};
    return returnedCount;
}
}  // namespace

TEST(PlayerCopy, AskingAPluginCopiesAtMostWhatWasAsked) {
    for (const int returned : {1, 0, -7, kPlayersAsked + 1, 2147483647}) {
        returnedCount = returned;
        const auto players = askplayers(fakeDecodePlayers, "\xff\xff\xff\xffstatusResponse\n");
        EXPECT_EQ(askedMax, kPlayersAsked);
        EXPECT_EQ(askedReply, "\xff\xff\xff\xffstatusResponse\n");
        EXPECT_EQ(players.size(), static_cast<size_t>(std::clamp(returned, 0, kPlayersAsked))) << returned;
        if (!players.empty()) {
            EXPECT_EQ(players[0].name, "first");
            EXPECT_EQ(players.back().name, players.size() > 1 ? "" : "first") << "untouched entries are empty";
        }
    }
    EXPECT_TRUE(askplayers(nullptr, "x").empty());
}

TEST(PlayerOrder, HighestScoreFirstThenSpectators) {
    const struct {
        std::vector<PlayerEntry> in;
        const char* order;
    } cases[] = {
        {{player("low", "1"), player("high", "20"), player("mid", "7")}, "high mid low "},
        {{player("onlooker", "", "0", true), player("neg", "-3"), player("zero", "0")}, "zero neg onlooker* "},
        {{player("a", "5"), player("b", "5"), player("c", "5")}, "a b c "},  // ties keep the server's order
        {{player("odd", "x"), player("none", ""), player("one", "1")}, "one odd none "},
        {{player("s2", "9", "0", true), player("s1", "1", "0", true), player("p", "-9999")}, "p s2* s1* "},
        {{}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(names(orderedplayers(c.in)), c.order);
}

TEST(PlayerRows, AHeadingThenAtMostSixteenRowsAndTheRestCounted) {
    EXPECT_TRUE(playerrows({}).empty()) << "no players: the window keeps its layout";
    for (const size_t count : {1u, 16u, 17u, 40u}) {
        std::vector<PlayerEntry> players;
        for (size_t i = 0; i < count; ++i) players.push_back(player(("p" + std::to_string(i)).c_str(), "1"));
        const auto rows = playerrows(players);
        const size_t shown = std::min<size_t>(count, 16);
        ASSERT_EQ(rows.size(), 1 + shown + (count > 16 ? 1 : 0)) << count;
        EXPECT_EQ(rows[shown], "p" + std::to_string(shown - 1) + "<IND x=\"124\">1<IND x=\"160\">50<br>");
        if (count > 16) {
            EXPECT_EQ(rows.back(), "<i>...and " + std::to_string(count - 16) + " more</i>");
        }
    }
    const auto rows = playerrows({player("Sarge", "12", "48"), player("Watcher", "", "999", true)});
    EXPECT_EQ(rows[0], "<B>name<IND x=\"124\">score<IND x=\"160\">ping</b><br>");
    EXPECT_EQ(rows[1], "Sarge<IND x=\"124\">12<IND x=\"160\">48<br>");
    EXPECT_EQ(rows[2], "<i>Watcher<IND x=\"124\">spectator</i><br>");
}

TEST(PlayerRows, ServerTextsStayInert) {
    const struct {
        PlayerEntry p;
        const char* row;
    } cases[] = {
        {player("<a href=\"x.exe\">go</a>", "1"), "(a href=\"x.exe\")...<IND x=\"124\">1<IND x=\"160\">50<br>"},
        {player("R&D", "<b>", "&9"), "R&&D<IND x=\"124\">(b)<IND x=\"160\">&&9<br>"},
        {player("a\r\nb\x01", "1\n2", "\t3"), "ab<IND x=\"124\">12<IND x=\"160\">3<br>"},
        {player("AVeryLongPlayerNameIndeed", "123456789", "123456"),
         "AVeryLongPlayerN...<IND x=\"124\">123456<IND x=\"160\">12345<br>"},
        {player("&&&&&&&&&&&&&&&&&&&&&", "1"), "&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&&...<IND x=\"124\">1<IND x=\"160\">50<br>"},
    };
    for (const auto& c : cases) EXPECT_EQ(playerrows({c.p})[1], c.row) << c.p.name;
}

// A name padded with what is not drawn lost its end to the padding: the
// padding goes first, then the name is cut to the column's width.
TEST(PlayerRows, PaddingTakesNoRoomFromTheName) {
    const std::string pad(30, '\x01');
    const struct {
        PlayerEntry p;
        const char* row;
    } cases[] = {
        {player((pad + "Sarge").c_str(), "12", "48"), "Sarge<IND x=\"124\">12<IND x=\"160\">48<br>"},
        {player(("Sar" + pad + "ge\x7f\x7f").c_str(), "1"), "Sarge<IND x=\"124\">1<IND x=\"160\">50<br>"},
        {player((pad + "NineteenCharacters!").c_str(), "1"),
         "NineteenCharacters!<IND x=\"124\">1<IND x=\"160\">50<br>"},
        {player("TwentyCharactersLong", (pad + "123").c_str(), (pad + "45").c_str()),
         "TwentyCharacters...<IND x=\"124\">123<IND x=\"160\">45<br>"},
    };
    for (const auto& c : cases) EXPECT_EQ(playerrows({c.p})[1], c.row) << c.p.name;
}

// 0x85 is a lead byte in the Chinese, Japanese and Korean code pages: it
// would swallow the character after it, so no row holds it.
TEST(PlayerRows, NoByteOfTheRowsIsADoubleByteLead) {
    std::vector<PlayerEntry> players;
    for (int i = 0; i < 20; ++i) players.push_back(player("AVeryLongPlayerNameIndeed", "1"));
    for (const std::string& row : playerrows(players)) EXPECT_EQ(row.find('\x85'), std::string::npos) << row;
}

TEST(PlayerCopy, PlainTextWithTheAddressAndEveryPlayer) {
    std::vector<PlayerEntry> players{player("Sarge", "12", "48"), player("Tab\tName<&>", "3", "9"),
                                     player("Watcher", "", "999", true)};
    for (int i = 0; i < 20; ++i) players.push_back(player("bot", "0"));
    const std::string text = playerclipboard("127.0.0.1:27960", players);
    EXPECT_EQ(text.substr(0, text.find("bot")),
              "127.0.0.1:27960\r\nSarge\t12\t48\r\nTab Name<&>\t3\t9\r\nWatcher\tspectator\t999\r\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 24) << "every player, not only the rows shown";
}

TEST(PlayerWindow, AGrownWindowStaysOnTheWorkArea) {
    const struct {
        int top, height, workTop, workBottom, fitted;
    } cases[] = {
        {100, 200, 0, 740, 100},  // fits where it is
        {600, 200, 0, 740, 540},  // moved up to end at the bottom
        {540, 200, 0, 740, 540},
        {300, 900, 0, 740, 0},    // taller than the screen: its top stays visible
        {20, 200, 30, 740, 30},   // a task bar above
    };
    for (const auto& c : cases) EXPECT_EQ(fittedtop(c.top, c.height, c.workTop, c.workBottom), c.fitted) << c.top;
}
