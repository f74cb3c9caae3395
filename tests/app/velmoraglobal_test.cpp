#include <gtest/gtest.h>

#include "app/velmoraglobal.h"

using namespace velmora;
using Pieces = std::vector<std::string>;

struct AddressCase {
    const char* address;
    const char* host;
    const char* port;
};

// The query window reads its target back from "host:port..." and joining puts
// the port on a command line: a stray "..." or a wrong colon would reach the game.
TEST(AddressSplit, HostAndPortAtTheLastColonWithoutTrailingDots) {
    const AddressCase cases[] = {
        {"1.2.3.4:27960...", "1.2.3.4", "27960"},
        {"1.2.3.4:27960", "1.2.3.4", "27960"},
        {"1.2.3.4", "", ""},
        {"1.2.3.4...", "", ""},
        {"a:b:c", "a:b", "c"},
        {"::", ":", ""},
        {":", "", ""},
        {"", "", ""},
        {"...", "", ""},
        {"host:...", "host", ""},
        {"host:27960......", "host", "27960..."},  // only one trailing "..." goes
        {"..:..", "..", ".."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gethost(c.address), c.host) << c.address;
        EXPECT_EQ(getport(c.address), c.port) << c.address;
    }
}

struct SplitCase {
    const char* text;
    char sep;
    Pieces pieces;
};

// Stored history values rely on these exact rules, the lost last character included.
TEST(SplitString, PiecesFollowTheStoredListRules) {
    const SplitCase cases[] = {
        {"a,b,", ',', {"a", "b"}},
        {"a,bc", ',', {"a", "b"}},      // an unterminated last piece loses its last character
        {"a,,b,", ',', {"a", "", "b"}},
        {",a,", ',', {"", "", "a"}},    // a leading separator gives two empty pieces
        {"", ',', {""}},
        {"a", ',', {""}},
        {",", ',', {"", ""}},
        {"abc,", ',', {"abc"}},
        {"x\"y\"", '"', {"x", "y"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitstring(c.text, c.sep), c.pieces) << c.text;
}
