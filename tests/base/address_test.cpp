// The address rules every subsystem shares, in one table each: splitting a
// label, the dotted quad, port numbers and what a game's command line takes.
#include "base/address.h"

#include <gtest/gtest.h>

using namespace velmora;

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

// The resolvers read digits up to the first other character: "27500..." is a port.
TEST(SocketNumberRule, ReadsLeadingDigitsOnly) {
    struct Case {
        const char* text;
        std::uint32_t number;
    };
    const Case cases[] = {
        {"27500", 27500}, {"27500...", 27500}, {"  27960", 27960}, {"0x1f", 0}, {"0abc", 0},
        {"17", 17},       {"12ab34", 12},     {"", 0},            {"abc", 0}, {"007", 7},
    };
    for (const Case& c : cases) EXPECT_EQ(leadingNumber(c.text), c.number) << c.text;
}

// A port keeps only the low 16 bits; the range is never tested.
TEST(SocketNumberRule, PortKeepsLowSixteenBits) {
    EXPECT_EQ(portNumber("65535"), 65535);
    EXPECT_EQ(portNumber("65536"), 0);
    EXPECT_EQ(portNumber("92036"), 92036 - 65536);
    EXPECT_EQ(portNumber("27500..."), 27500);
}

// Only the form a dotted quad can take goes to direct conversion; anything else is a host name.
TEST(DottedQuad, Table) {
    struct Case {
        const char* text;
        bool quad;
    };
    const Case cases[] = {
        {"127.0.0.1", true},
        {"  127.0.0.1  ", true},
        {"255.255.255.255", true},
        {"0.0.0.0", true},
        {".1.2.3", false},
        {" .1.2.3.4", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"1.2.3.256", false},
        {"300.1.1.1", false},
        {"1..2.3", false},
        {"1.2.3.", false},
        {"1.2.3.4a", false},
        {"localhost", false},
        {"1.2. 3.4", false},
        {"", false},
        {"   ", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isDottedQuad(c.text), c.quad) << "'" << c.text << "'";
}

// Blanks only: the resolvers trim spaces and nothing else.
TEST(SocketText, TrimBlanks) {
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    EXPECT_EQ(trimBlanks("\tab"), "\tab");
    EXPECT_EQ(trimBlanks("    "), "");
}

// Quake engines split their command line at "+": only a plain host and a port
// number may follow the game's parameters.
TEST(JoinableAddress, HostsAndPortsThatCannotCarryCommands) {
    struct Case {
        const char* text;
        bool host, port;
    } cases[] = {
        {"127.0.0.1", true, false},     {"quake.example-1.org", true, false}, {"localhost", true, false},
        {"27500", false, true},          {"1", false, true},                   {"65535", false, true},
        {"0", false, false},             {"65536", false, false},              {"099999", false, false},
        {"", false, false},             {"-game", false, false},             {"a b", false, false},
        {"127.0.0.1+quit", false, false}, {"300.1.1.1", false, false},       {"1.2.3", false, false},
        {"\"x\"", false, false},       {" 27500", false, false},            {"27500+", false, false},
        {"0001.2.3.4", true, false},    {"a-", true, false},                 {"1.2.3.4.", false, false},
    };
    // A number alone is no host: digits and dots must make a whole dotted quad.
    for (const auto& c : cases) {
        EXPECT_EQ(joinablehost(c.text), c.host) << "'" << c.text << "'";
        EXPECT_EQ(joinableport(c.text), c.port) << "'" << c.text << "'";
    }
}
