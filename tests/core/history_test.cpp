#include <gtest/gtest.h>

#include "core/history.h"

using namespace velmora;

namespace {
// The stored value after adding `entry` to the stored value `before`.
std::string add(const std::string& before, const std::string& entry) {
    return historyvalue(puthistoryentry(historylist(before), entry));
}
std::string tenEntries() {
    std::string value;
    for (int i = 0; i < 10; ++i) value += "s" + std::to_string(i) + ",";
    return value;
}
}  // namespace

TEST(History, AddingFollowsTheStoredListRules) {
    struct Case {
        const char* before;
        const char* entry;
        const char* after;
    } const cases[] = {
        {"", "A", "A,"},
        {"B,A,", "A", "A,B,"},              // moved, not duplicated
        {"A,B,", "A", "A,B,"},
        {"C,B,A,", "B", "B,C,A,"},          // the others keep their order
        {"1.2.3.4:27960,", "\"T\"1.2.3.4:27960", "\"T\"1.2.3.4:27960,1.2.3.4:27960,"},
        {"abc,", "ABC", "ABC,abc,"},        // case counts
        {"A,B,A,", "A", "A,A,B,"},          // the last equal element moves
        {"ab", "x", "x,a,"},                // no final comma: the last character is lost
        {",", "x", "x,,,"},                 // a lone comma reads as two empty entries
    };
    for (const auto& c : cases) EXPECT_EQ(add(c.before, c.entry), c.after) << c.before << " + " << c.entry;
}

TEST(History, TenEntriesAtMost) {
    const std::string after = add(tenEntries(), "new");
    EXPECT_EQ(after, "new,s0,s1,s2,s3,s4,s5,s6,s7,s8,");
    EXPECT_EQ(historylist(after).size(), 10u);
    // An entry already there moves instead of pushing the oldest out.
    EXPECT_EQ(add(tenEntries(), "s9"), "s9,s0,s1,s2,s3,s4,s5,s6,s7,s8,");
}

TEST(History, ReadingTheStoredValue) {
    EXPECT_TRUE(historylist("").empty());
    EXPECT_EQ(historylist("a,b,"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(historylist("a,b"), (std::vector<std::string>{"a", ""}));
    // A value written before titles lost their commas reads back split.
    EXPECT_EQ(historylist("\"a,b\"h:1,"), (std::vector<std::string>{"\"a", "b\"h:1"}));
    EXPECT_EQ(historyvalue({}), "");
}

// Every stored entry reads back as itself: one holding a comma would come
// back as several servers, which the watcher would ask every round and which
// would push the player's servers out of the ten.
TEST(History, AnEntryHoldingACommaIsNotStored) {
    const struct {
        const char* before;
        const char* entry;
    } cases[] = {
        {"", "\"a,b\"h:1"},
        {"A,B,", "10.0.0.1:53,192.168.1.1:161,evil.example:27500"},
        {"A,", ","},
        {"A,", "A,"},
    };
    for (const auto& c : cases) EXPECT_EQ(add(c.before, c.entry), c.before) << c.before << " + " << c.entry;
    EXPECT_EQ(add(tenEntries(), "x,y"), tenEntries());
}
