// The one path through a game's plug-in, without a library: which datagrams
// count as a status reply of the game (before any plug-in call), and what the
// decoders of a loaded plug-in give.
#include "query/gameplugin.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "plugins/decode/status.h"
#include "tests/plugins/capture.h"

using namespace velmora;
using namespace velmora::query;

namespace {

const std::string kFF("\xFF\xFF\xFF\xFF", 4);
const std::string kGetstatus = kFF + "getstatus";
const std::string kQwStatus = kFF + "status 23\n";
const std::string kQ2Status = kFF + "status\n";

// A stand-in plug-in: counts its calls, names the server after the reply.
int decodes = 0, playerAsks = 0;
void VELMORA_CALL countingDecode(ServerInfo* info, const char* reply) {
    ++decodes;
    static std::string name;
    name = std::string(reply).substr(kFF.size());
    *info = {name.c_str(), "Game", nullptr, "DM4", "xxx2", "8"};
}
int VELMORA_CALL twoPlayers(PlayerInfo* players, int max, const char*) {
    ++playerAsks;
    for (int i = 0; i < 2 && i < max; ++i) players[i] = {i ? "b" : "a", "1", "2", "", "", 0};
    return 2;
}

tplugin game(const std::string& sendstr, decodedata_fn decode, decodeplayers_fn players = nullptr) {
    tplugin row;
    row.sendstr = sendstr;
    if (decode || players) row.calls = std::make_shared<const PluginCalls>(PluginCalls{decode, players});
    return row;
}

}  // namespace

// Only a reply to the question asked is let through: what else comes from a
// server's address (junk, an answer to another question) is dropped unread.
TEST(StatusReply, EachQueryTakesOnlyTheReplyItsEnginesSend) {
    const struct {
        const std::string& sendstr;
        std::string datagram;
        bool reply;
    } cases[] = {
        {kGetstatus, kFF + "statusResponse\n\\sv_hostname\\x", true},
        {kGetstatus, kFF + "statusResponse", true},
        {kGetstatus, kFF + "infoResponse\n\\hostname\\x", false},  // an answer to getinfo
        {kGetstatus, kFF + "print\n\\hostname\\x", false},
        {kGetstatus, kFF + "statusRespons", false},                 // cut short
        {kGetstatus, kFF + "n\\hostname\\x", false},
        {kGetstatus, "statusResponse\n", false},                     // no marker
        {kGetstatus, "\xFF\xFF\xFF" "statusResponse\n", false},
        {kGetstatus, "", false},
        {kGetstatus, "hello", false},
        {kQwStatus, kFF + "n\\hostname\\x\n", true},
        {kQwStatus, kFF + "print\n\\hostname\\x\n", true},
        {kQwStatus, kFF + "statusResponse\n\\hostname\\x", false},
        {kQwStatus, kFF + "l", false},                               // a ping's answer
        {kQ2Status, kFF + "print\n\\hostname\\x\n", true},
        {kQ2Status, kFF + "n\\hostname\\x\n", true},
        {kQ2Status, kFF + "ack", false},
        // A question the host does not know: the four bytes are all it asks for.
        {kFF + "info 34", kFF + "anything", true},
        {kFF + "info 34", "anything", false},
        {kFF + "getstatusx", kFF + "whatever", true},                 // another word, not getstatus
        {"getstatus", kFF + "whatever", true},                        // no marker: no known question
        {"", kFF, true},
        {"", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isstatusreply(c.sendstr, c.datagram), c.reply) << c.sendstr << " -> " << c.datagram;
}

// The host's check is never stricter than the plug-ins: every recorded reply
// that the reference decoder reads as a status reply of a game passes the
// check for that game's query, and the recorded answers to other questions
// do not.
TEST(StatusReply, EveryReplyTheReferenceDecoderReadsPassesTheHostsCheck) {
    using plugins::Game;
    const char* captures[] = {
        "qw-empty/status.bin",       "qw-empty/status-23.bin",    "qw-empty/status-31.bin",
        "qw-players/status.bin",     "qw-players/status-23.bin",  "qw-players/status-nonewline.bin",
        "q3-empty/getstatus.bin",    "q3-players/getstatus.bin",  "nq-empty/getstatus.bin",
        "nq-players/getstatus.bin",  "q3-players/getinfo.bin",    "nq-players/getinfo.bin",
        "qw-players/ping.bin",       "nq-players/ccreq-server-info.bin",
    };
    std::vector<std::string> replies;
    for (const char* name : captures) {
        replies.push_back(velmora::testing::readCapture(name));
        ASSERT_FALSE(replies.back().empty()) << name;
    }
    // No Quake II server was recorded: its reply as the engine builds it.
    replies.push_back(kFF + "print\n\\hostname\\Base\\mapname\\q2dm1\\maxclients\\8\n0 25 \"Player\"\n");
    std::vector<bool> read(replies.size(), false);
    for (const Game g : plugins::allGames) {
        const std::string sendstr = plugins::gameTexts(g).sendstr;
        for (size_t k = 0; k < replies.size(); ++k) {
            if (!plugins::statusBody(g, replies[k])) continue;
            read[k] = true;
            EXPECT_TRUE(isstatusreply(sendstr, replies[k])) << sendstr << " -> " << replies[k].substr(0, 40);
        }
        // The answers to getinfo and ping and the NetQuake control reply.
        for (size_t k = 10; k < 14; ++k)
            EXPECT_FALSE(isstatusreply(sendstr, replies[k])) << sendstr << " -> " << captures[k];
    }
    // Each status reply was read by some game's decoder, so none went unchecked.
    for (size_t k = 0; k < replies.size(); ++k)
        EXPECT_EQ(read[k], k < 10 || k == 14) << (k < 14 ? captures[k] : "Quake II");
}

// A datagram that is no status reply of the game gives nothing, and the
// plug-in is not called for it; a status reply is decoded once, its texts
// copied (a null text reads as empty).
TEST(GamePlugin, OnlyAStatusReplyReachesThePlugin) {
    decodes = 0;
    const tplugin row = game(kGetstatus, countingDecode);
    const GamePlugin plugin(row);
    EXPECT_EQ(plugin.sendstr(), kGetstatus);
    for (const std::string& junk : {std::string("hello"), kFF + "print\nBad rcon_password.\n", std::string()})
        EXPECT_FALSE(plugin.decodereply(junk).has_value()) << junk;
    EXPECT_EQ(decodes, 0);
    const std::optional<DecodedTexts> texts = plugin.decodereply(kFF + "statusResponse\nFriday");
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ(decodes, 1);
    EXPECT_EQ(texts->name, "statusResponse\nFriday");
    EXPECT_EQ(texts->mod, "") << "a null text reads as empty";
    EXPECT_EQ(texts->map, "DM4");
    EXPECT_EQ(texts->players, "xxx2");
}

// A game without a decoder (no library, or no decodedata) shows "???" and
// lists nobody; decodeplayers is asked only where it exists.
TEST(GamePlugin, WithoutADecoderTheTextsAreUnreadAndNobodyIsListed) {
    decodes = 0;
    playerAsks = 0;
    const std::string reply = kFF + "statusResponse\nx";
    const tplugin none = game(kGetstatus, nullptr), onlyPlayers = game(kGetstatus, nullptr, twoPlayers),
                  noPlayers = game(kGetstatus, countingDecode), both = game(kGetstatus, countingDecode, twoPlayers);
    for (const tplugin* row : {&none, &onlyPlayers}) {
        EXPECT_EQ(GamePlugin(*row).decodeserver(reply).name, "???");
        EXPECT_TRUE(GamePlugin(*row).decodeplayers(reply).empty());
    }
    EXPECT_TRUE(GamePlugin(noPlayers).decodeplayers(reply).empty());
    EXPECT_EQ(playerAsks, 0);
    const std::vector<PlayerEntry> listed = GamePlugin(both).decodeplayers(reply);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[1].name, "b");
    EXPECT_EQ(playerAsks, 1);
    EXPECT_EQ(decodes, 0) << "listing players decodes no server texts";
}
