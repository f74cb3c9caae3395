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
        {"1.2.3.0", true},
        {"010.0.0.1", false},  // inet_addr reads a leading zero as octal: 8.0.0.1
        {"00.1.2.3", false},
        {"1.02.3.4", false},
        {"1.2.3.00", false},
        {"1.2.3.0001", false},
        {"1.2.3.4 .5", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isDottedQuad(c.text), c.quad) << "'" << c.text << "'";
}

// The watcher, the socket and the links read a dotted quad one way: what the
// player typed is the address asked, in host order.
TEST(DottedQuad, OneReadingGivesTheAddressInHostOrder) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> address;
    };
    const Case cases[] = {
        {"127.0.0.1", 0x7F000001u},       {"10.0.0.1", 0x0A000001u}, {" 1.2.3.4  ", 0x01020304u},
        {"255.255.255.255", 0xFFFFFFFFu}, {"0.0.0.0", 0u},           {"192.168.100.200", 0xC0A864C8u},
        {"010.0.0.1", std::nullopt},      {"127.1", std::nullopt},   {"0x7f.0.0.1", std::nullopt},
        {"1.2.3.4.5", std::nullopt},      {"256.0.0.1", std::nullopt}, {"1.2.3.4:27500", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parseDottedQuad(c.text), c.address) << "'" << c.text << "'";
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
        {"0001.2.3.4", false, false},   {"a-", true, false},                 {"1.2.3.4.", false, false},
        {"010.0.0.1", false, false},    {"0.0.0.0", true, false},            {"0", false, false},
    };
    // A number alone is no host: digits and dots must make a whole dotted quad.
    for (const auto& c : cases) {
        EXPECT_EQ(joinablehost(c.text), c.host) << "'" << c.text << "'";
        EXPECT_EQ(joinableport(c.text), c.port) << "'" << c.text << "'";
    }
}

// Web links, link files and the watcher's stored servers pass one test: a
// host a game cannot take for a command and a port a socket really opens.
TEST(AddressFault, OneRuleForEveryServerAddress) {
    struct Case {
        const char* address;
        const char* why;  // nullptr: taken
    } const cases[] = {
        {"127.0.0.1:27500", nullptr},
        {"quake.example-1.org:27960", nullptr},
        {"host", nullptr},  // a link's port may be left to the game's default
        {"1.2.3.4:65535", nullptr},
        {"", "It names no server."},
        {":27500", "It names no server."},
        {"10.0.0.1:53,192.168.1.1:161,evil.example:27500", "Its host is not"},
        {"\"Fri,day\"1.2.3.4:27500", "Its host is not"},
        {"day\"127.0.0.2:27500", "Its host is not"},
        {"010.0.0.1:27500", "Its host is not"},
        {"-connect:27500", "Its host is not"},
        {"a b:27500", "Its host is not"},
        {"1.2.3.4:27500:27500", "Its host is not"},
        {"1.2.3.4:", "Its port is not"},
        {"1.2.3.4:0", "Its port is not"},
        {"1.2.3.4:65536", "Its port is not"},
        {"1.2.3.4:27500...", "Its port is not"},
        {"1.2.3.4:27500,", "Its port is not"},
        {"1.2.3.4: 27500", "Its port is not"},
        {"1.2.3.4:+27500", "Its port is not"},
    };
    for (const auto& c : cases) {
        const char* why = addressfault(c.address);
        if (!c.why) {
            EXPECT_EQ(why, nullptr) << c.address << ": " << why;
            continue;
        }
        ASSERT_NE(why, nullptr) << c.address;
        EXPECT_EQ(std::string(why).rfind(c.why, 0), 0u) << c.address << ": " << why;
    }
}
