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
                             "", " ", "1.2.3.4:27957", "1.2.3.4:"})
        EXPECT_EQ(resolvelink(link, kTable).game, -1) << '"' << link << '"';
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
    EXPECT_EQ(resolvelink(".:.:.:27960", kTable).label, ".:.:.:27960...");
    std::string binary;
    for (int c = 1; c < 256; ++c) binary += static_cast<char>(c);
    EXPECT_EQ(resolvelink(binary, kTable).game, -1);
    EXPECT_EQ(resolvelink("\xff\xfe:27960 \x01\x02\x03", kTable).label, "\xff\xfe:27960...");
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
