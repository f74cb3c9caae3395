#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/link.h"
#include "base/error.h"

using namespace velmora;

namespace {
// Row 0 aaa/27958, row 1 bbb/27960: the two default ports overlap in 27960..27962.
const std::vector<GameKey> kTable = {{"aaa", "27958"}, {"bbb", "27960"}};

struct LinkCase {
    const char* link;
    int game;
    const char* label;
    const char* title;
    const char* history;
};
}  // namespace

TEST(ResolveLink, WorkedExamples) {
    const LinkCase cases[] = {
        {"1.2.3.4:27960 bbb \"Friday night\"", 1, "1.2.3.4:27960...", "Friday night", "\"Friday night\"1.2.3.4:27960"},
        {"1.2.3.4 bbb", 1, "1.2.3.4:27960...", "", "1.2.3.4:27960"},
        {"1.2.3.4:26001 BBB", 1, "1.2.3.4:26001...", "", "1.2.3.4:26001"},  // the game field decides
        {"1.2.3.4:27958", 0, "1.2.3.4:27958...", "", "1.2.3.4:27958"},
        {"1.2.3.4:27961", 1, "1.2.3.4:27961...", "", "1.2.3.4:27961"},      // both match; the later wins
        {"1.2.3.4:27964", 1, "1.2.3.4:27964...", "", "1.2.3.4:27964"},      // 27960 + 4
        {"1.2.3.4:27960 bbb My Server", 1, "1.2.3.4:27960...", "y Serve", "\"y Serve\"1.2.3.4:27960"},
        {"1.2.3.4:27960 \"Friday night\"", 1, "1.2.3.4:27960...", "ight", "\"ight\"1.2.3.4:27960"},
        {"1.2.3.4:27960  bbb", 1, "1.2.3.4:27960...", "b", "\"b\"1.2.3.4:27960"},  // two blanks: by port
    };
    for (const auto& c : cases) {
        const ResolvedLink r = resolvelink(c.link, kTable);
        EXPECT_EQ(r.game, c.game) << c.link;
        EXPECT_EQ(r.label, c.label) << c.link;
        EXPECT_EQ(r.title, c.title) << c.link;
        EXPECT_EQ(r.historyEntry, c.history) << c.link;
    }
}

TEST(ResolveLink, UnknownGamesAreRefused) {
    for (const char* link : {"1.2.3.4:27965", "1.2.3.4", "1.2.3.4 ccc", "1.2.3.4:-1", "1.2.3.4 bbb ",
                             "", " ", "1.2.3.4:27957", "1.2.3.4:"}) {
        EXPECT_EQ(resolvelink(link, kTable).game, -1) << '"' << link << '"';
        // No game found keeps its own message.
        EXPECT_EQ(resolvelink(link, kTable).refusal, "") << '"' << link << '"';
    }
    EXPECT_EQ(resolvelink("1.2.3.4:27960", {}).game, -1);
}

TEST(ResolveLink, GameFieldIgnoresCaseAndTheLastMatchingRowWins) {
    const std::vector<GameKey> twins = {{"Q3a", "1"}, {"q3A", "2"}};
    EXPECT_EQ(resolvelink("h q3a", twins).game, 1);
    EXPECT_EQ(resolvelink("h q3a", twins).label, "h:2...");
    // The port is not looked at once the field matched.
    EXPECT_EQ(resolvelink("h:27958 bbb", kTable).game, 1);
}

TEST(ResolveLink, TitleKeepsBlanksAndDropsAnyTwoEndCharacters) {
    EXPECT_EQ(resolvelink("h:27960 bbb xa b cx", kTable).title, "a b c");
    EXPECT_EQ(resolvelink("h:27960 bbb \"\"", kTable).title, "");
    EXPECT_EQ(resolvelink("h:27960 bbb \"", kTable).title, "");
    EXPECT_EQ(resolvelink("h:27960 bbb \"\"", kTable).historyEntry, "h:27960");
}

TEST(GameFromPort, NumberRulesAndBrokenDefaultPorts) {
    EXPECT_EQ(gamefromport("27960", kTable), 1);
    EXPECT_EQ(gamefromport(" 27958", kTable), 0);
    EXPECT_EQ(gamefromport("+27962", kTable), 1);
    EXPECT_EQ(gamefromport("27960...", kTable), -1);
    EXPECT_EQ(gamefromport("4294995256", kTable), -1);  // 27960 + 2^32 must not wrap
    EXPECT_EQ(gamefromport("99999999999999999999999", kTable), -1);
    EXPECT_EQ(gamefromport("", kTable), -1);
    // -1 is never a port, even for a game whose default port says -1.
    EXPECT_EQ(gamefromport("-1", {{"neg", "-1"}}), -1);
    EXPECT_EQ(gamefromport("0", {{"neg", "-1"}}), 0);
    // A default port that is not a whole number skips its row and only its row.
    const std::vector<GameKey> broken = {{"aaa", "27958"}, {"bad", "27960x"}, {"big", "2147483647"}};
    EXPECT_EQ(gamefromport("27960", broken), 0);
    EXPECT_EQ(gamefromport("2147483647", broken), 2);
    EXPECT_EQ(gamefromport("-2147483648", broken), -1);
}

TEST(ResolveLink, BadInputHasADefinedResult) {
    const std::string huge(1 << 20, 'x');
    EXPECT_EQ(resolvelink(huge, kTable).game, -1);
    EXPECT_EQ(resolvelink(huge + ":27960", kTable).label, huge + ":27960...");
    EXPECT_EQ(resolvelink(std::string(1000, ':'), kTable).game, -1);
    EXPECT_EQ(resolvelink(std::string(1000, '.'), kTable).game, -1);
    // Colons and bytes outside a host's alphabet are refused, not queried.
    EXPECT_NE(resolvelink(".:.:.:27960", kTable).refusal, "");
    EXPECT_EQ(resolvelink(".:.:.:27960", kTable).label, "");
    std::string binary;
    for (int c = 1; c < 256; ++c) binary += static_cast<char>(c);
    EXPECT_EQ(resolvelink(binary, kTable).game, -1);
    EXPECT_NE(resolvelink("\xff\xfe:27960 \x01\x02\x03", kTable).refusal, "");
    EXPECT_EQ(resolvelink("\xff\xfe:27960 \x01\x02\x03", kTable).label, "");
    // The message shows a long link only as far as its limit.
    const std::string message = resolvelink(huge + ",:27960", kTable).refusal;
    EXPECT_NE(message.find("\r\n\r\n" + huge.substr(0, kShownLinkLimit) + "...\r\n\r\n"), std::string::npos);
    EXPECT_LT(message.size(), 2 * kShownLinkLimit);
}

// A link file decides where datagrams go: an address a web link could not
// name is refused with the link and the reason, and nothing of it reaches the
// history, the watcher or a query window.
TEST(ResolveLink, AddressesOutsideTheAddressRulesAreRefused) {
    const std::vector<GameKey> games = {{"qws", "27500"}, {"bbb", "27960"}};
    const struct {
        const char* link;
        const char* why;
    } cases[] = {
        {"10.0.0.1:53,192.168.1.1:161,evil.example:27500 qws \"Fri,day\"", "Its host is not"},
        {"127.0.0.2:27500,127.0.0.3:27501,127.0.0.4:27502 qws \"Fri,day\"", "Its host is not"},
        {"127.0.0.2:27500,127.0.0.3:27501", "Its host is not"},  // found by its port, refused all the same
        {"1.2.3.4,5.6.7.8 qws", "Its host is not"},
        {"\"T\"1.2.3.4:27500 qws", "Its host is not"},
        {"010.0.0.1:27500 qws", "Its host is not"},  // a leading zero: octal to inet_addr
        {"1.2.3.256 qws", "Its host is not"},
        {"-connect:27500 qws", "Its host is not"},
        {"h\tx:27500 qws", "Its host is not"},
        {"host_name:27960", "Its host is not"},
        {":27500 qws", "It names no server."},
        {"1.2.3.4:0 qws", "Its port is not"},
        {"1.2.3.4:65536 qws", "Its port is not"},
        {"1.2.3.4:27500... qws", "Its port is not"},
        {"1.2.3.4:27500+exec qws", "Its port is not"},
        {"1.2.3.4:27500, qws", "Its port is not"},
        {"1.2.3.4:0027500 qws", "Its port is not"},
        {"1.2.3.4:+27960", "Its port is not"},  // the port rule finds the game, the address rule refuses it
    };
    for (const auto& c : cases) {
        const ResolvedLink r = resolvelink(c.link, games);
        EXPECT_EQ(r.game, -1) << c.link;
        EXPECT_TRUE(r.address.empty() && r.label.empty() && r.title.empty() && r.historyEntry.empty()) << c.link;
        EXPECT_EQ(r.refusal.rfind("This link was not opened:\r\n\r\n" + std::string(c.link) + "\r\n\r\n" + c.why, 0),
                  0u)
            << c.link << "\n" << r.refusal;
        EXPECT_NE(r.refusal.find("\r\n\r\nA server link reads host:port, optionally followed by the game's three "
                                 "letters and a \"title\"."),
                  std::string::npos)
            << r.refusal;
    }
}

// A page's title keeps the link working but can never split the stored
// history or end the title early when the entry is read back.
TEST(ResolveLink, TitlesLoseCommasAndDoubleQuotes) {
    const struct {
        const char* link;
        const char* title;
        const char* history;
    } cases[] = {
        {"1.2.3.4:27960 bbb \"Fri,day\"", "Friday", "\"Friday\"1.2.3.4:27960"},
        {"1.2.3.4:27960 bbb \"a,\"b\",c\"", "abc", "\"abc\"1.2.3.4:27960"},
        {"1.2.3.4:27960 bbb \",,\"", "", "1.2.3.4:27960"},
        {"1.2.3.4:27960 bbb \"\"\"\"", "", "1.2.3.4:27960"},
        {"1.2.3.4:27960 bbb \"x,127.0.0.3:27501,y\"", "x127.0.0.3:27501y", "\"x127.0.0.3:27501y\"1.2.3.4:27960"},
        {"1.2.3.4:27960 bbb ,Friday night,", "Friday night", "\"Friday night\"1.2.3.4:27960"},
    };
    for (const auto& c : cases) {
        const ResolvedLink r = resolvelink(c.link, kTable);
        EXPECT_EQ(r.game, 1) << c.link;
        EXPECT_EQ(r.title, c.title) << c.link;
        EXPECT_EQ(r.historyEntry, c.history) << c.link;
        EXPECT_EQ(r.historyEntry.find(','), std::string::npos) << c.link;
    }
}

TEST(LinkFile, OnlyTheFirstLineCounts) {
    EXPECT_EQ(firstline("1.2.3.4:27960 q3a\r\nsecond line"), "1.2.3.4:27960 q3a");
    EXPECT_EQ(firstline("a\nb"), "a");
    EXPECT_EQ(firstline("a\rb"), "a");
    EXPECT_EQ(firstline(std::string("a\0b", 3)), "a");
    EXPECT_EQ(firstline("no newline"), "no newline");
    EXPECT_EQ(firstline("\r\nsecond"), "");
    EXPECT_EQ(firstline("\xff\xfe\x01"), "\xff\xfe\x01");
}

TEST(LinkFile, NoFirstLineIsAListIndexError) {
    for (const std::string& bytes : {std::string(), std::string("\0rest", 5)}) {
        try {
            firstline(bytes);
            FAIL() << "no error";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "List index out of bounds (0)");
        }
    }
}

TEST(LinkFile, APathThatNamesNoFileIsTheLinkItself) {
    const std::map<std::string, std::string> files = {{"C:\\a b\\x.server", "1.2.3.4 q3a\nignored"}};
    const FileReader reader = [&](const std::string& path) -> std::optional<std::string> {
        const auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second;
    };
    EXPECT_EQ(linkline("C:\\a b\\x.server", reader), "1.2.3.4 q3a");
    EXPECT_EQ(linkline("C:\\a b\\y.server", reader), "C:\\a b\\y.server");
    EXPECT_EQ(linkline("1.2.3.4:27960", reader), "1.2.3.4:27960");
}

// A link file is read only as far as its first line needs, however large it is.
TEST(LinkFile, ReadingStopsAfterTheFirstLineOrAtTheLimit) {
    const std::string rest(1 << 20, 'r');
    const struct {
        std::string file;
        size_t lineLength;  // what firstline gives
        size_t mostRead;
    } cases[] = {
        {"1.2.3.4 q3a\r\n" + rest, 11, kLinkReadChunk},
        {"1.2.3.4 q3a\n" + rest, 11, kLinkReadChunk},
        {std::string("1.2.3.4 q3a\0", 12) + rest, 11, kLinkReadChunk},
        {std::string(kLinkReadChunk + 10, 'a') + "\r" + rest, kLinkReadChunk + 10, 2 * kLinkReadChunk},
        {rest, kLinkLineLimit, kLinkLineLimit},  // no line end: cut at the limit
        {"short", 5, 5},
    };
    for (const auto& c : cases) {
        size_t offset = 0;
        const ChunkReader reader = [&](char* buffer, size_t size) {
            const size_t n = std::min(size, c.file.size() - offset);
            std::copy_n(c.file.data() + offset, n, buffer);
            offset += n;
            return n;
        };
        const std::string bytes = readlinkbytes(reader);
        EXPECT_LE(offset, c.mostRead) << c.lineLength;
        EXPECT_EQ(bytes, c.file.substr(0, offset));
        EXPECT_EQ(firstline(bytes), c.file.substr(0, c.lineLength));
    }
}
