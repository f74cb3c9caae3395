// Web links as a browser hands them over: the accepted forms become a link
// line for the scheme's game, everything a page could smuggle in is refused
// with the link and the reason, and what reaches a game is host and port.
#include <gtest/gtest.h>

#include "core/urllink.h"
#include "base/address.h"

using namespace velmora;

namespace {
const std::vector<GameKey> kGames = {{"qws", "27500"}, {"q3a", "27960"}};
const std::string kLong = "qw://" + std::string(290, 'a') + ":27500/";  // 300 characters
}  // namespace

TEST(WebLink, AcceptedFormsBecomeALinkLineForTheSchemesGame) {
    const struct {
        const char* url;
        const char* line;
    } cases[] = {
        {"qw://127.0.0.1:27500/", "127.0.0.1:27500 qws"},
        {"qw://1.2.3.4:27500", "1.2.3.4:27500 qws"},
        {"QW://1.2.3.4:27500/", "1.2.3.4:27500 qws"},
        {"qW://Server-1.Example.org", "Server-1.Example.org qws"},  // the host keeps its case
        {"Quake2://q2.example.org/", "q2.example.org q2s"},
        {"quake2://connect/10.0.0.1:27910", "10.0.0.1:27910 q2s"},
        {"quake3://connect/1.2.3.4:27960", "1.2.3.4:27960 q3a"},
        {"QUAKE3://CONNECT/1.2.3.4:27960/", "1.2.3.4:27960 q3a"},
        {"quake3://1.2.3.4:1", "1.2.3.4:1 q3a"},
        {"quake3://1.2.3.4:65535/", "1.2.3.4:65535 q3a"},
        {"qw://connect", "connect qws"},  // a host of that name, not the connect form
    };
    for (const auto& c : cases) {
        const WebLink web = parseweblink(c.url);
        EXPECT_EQ(web.kind, WebLink::Kind::Accepted) << c.url << "\n" << web.message;
        EXPECT_EQ(web.line, c.line) << c.url;
    }
}

TEST(WebLink, HostileAndMalformedLinksAreRefusedWithTheLinkAndTheReason) {
    const struct {
        std::string url;
        const char* why;
    } cases[] = {
        {"qw://1.2.3.4:27500+exec+evil.cfg", "It holds a \"+\""},
        {"quake3://connect/1.2.3.4:27960/+set%20x", "It holds a \"+\""},
        {"qw://1.2.3.4%3A27500/", "It holds %-escapes."},
        {"qw://a@b:1", "user information (\"@\")"},
        {"qw://player:secret@1.2.3.4:27500/", "user information (\"@\")"},
        {"qw://host:99999", "Its port is not a number from 1 to 65535."},
        {"qw://host:0", "Its port is not"},
        {"qw://host:", "Its port is not"},
        {"qw://host:27500x", "Its port is not"},
        {"qw://host:-1", "Its port is not"},
        {"qw://", "It names no server."},
        {"qw:///", "It names no server."},
        {"quake3://connect/", "It names no server."},
        {"qw://:27500", "It names no server."},
        {"qw:1.2.3.4:27500", "no \"//\""},
        {"quake3:27960 q3a", "no \"//\""},
        {kLong, "It is longer than 255 characters."},
        {"qw://1.2.3.4:27500/?spectate=1", "a query string (\"?\")"},
        {"qw://1.2.3.4:27500/#top", "a fragment (\"#\")"},
        {"qw://1.2.3.4/maps/dm4", "more path"},
        {"qw://1.2.3.4:27500//", "more path"},
        {"quake3://connect//1.2.3.4", "more path"},
        {"quake3://connect/connect/1.2.3.4", "more path"},
        {"qw://1.2.3.4 :27500", "blanks"},
        {"qw://1.2.\t3.4", "blanks"},
        {"qw://1.2.3.4:27500/ qws", "blanks"},
        {"qw://\"1.2.3.4\"", "quotes"},
        {"qw://1.2.3.4';exec'", "quotes"},
        {"qw://-connect:27500", "Its host is not"},
        {"qw://1.2.3.256:27500", "Its host is not"},
        {"qw://010.0.0.1:27500", "Its host is not"},  // inet_addr would read 8.0.0.1
        {"qw://1.2.3.4,5.6.7.8:27500", "Its host is not"},
        {"qw://[::1]:27500", "Its host is not"},
        {"qw://host_name", "Its host is not"},
        {"qw://h\\o:1", "Its host is not"},
        {"qw://h\xe9te:1", "Its host is not"},
    };
    for (const auto& c : cases) {
        const WebLink web = parseweblink(c.url);
        ASSERT_EQ(web.kind, WebLink::Kind::Refused) << c.url << " -> " << web.line;
        EXPECT_NE(web.message.find(c.why), std::string::npos) << c.url << "\n" << web.message;
        EXPECT_TRUE(web.line.empty());
        if (c.url.size() <= kWebLinkLimit) {
            EXPECT_NE(web.message.find("\r\n\r\n" + c.url + "\r\n\r\n"), std::string::npos) << web.message;
        }
    }
    // The long link is shown as far as the limit.
    EXPECT_NE(parseweblink(kLong).message.find(kLong.substr(0, kWebLinkLimit) + "...\r\n"), std::string::npos);
    EXPECT_NE(parseweblink("QUAKE3://a b").message.find("A server link reads quake3://host:port/ or "
                                                        "quake3://connect/host:port/."),
              std::string::npos);
}

TEST(WebLink, OtherTextsAreLeftToTheServerLinkRules) {
    for (const char* text : {"", "1.2.3.4:27500 qws", "http://1.2.3.4/", "quake4://1.2.3.4", "qwerty:27500",
                             "C:\\links\\qw.server", "qws://1.2.3.4", "q3a 1.2.3.4"})
        EXPECT_EQ(parseweblink(text).kind, WebLink::Kind::NotWeb) << text;
}

// The port defaults to the game's own, the scheme alone picks the game, and
// the game's command line gets the checked host and port only.
TEST(WebLink, TheSchemesGameServesTheLinkWithItsDefaultPort) {
    const struct {
        const char* url;
        int game;
        const char* label;
    } cases[] = {
        {"qw://127.0.0.1/", 0, "127.0.0.1:27500..."},
        {"qw://127.0.0.1:27960/", 0, "127.0.0.1:27960..."},  // a q3a port, but a qw link
        {"quake3://connect/127.0.0.1", 1, "127.0.0.1:27960..."},
        {"quake3://127.0.0.1:27500", 1, "127.0.0.1:27500..."},
        {"quake2://127.0.0.1:27960", -1, ""},  // no Quake II row: the port does not find another game
        {"quake2://127.0.0.1", -1, ""},
    };
    for (const auto& c : cases) {
        const ResolvedLink link = resolveweblink(parseweblink(c.url), kGames);
        EXPECT_EQ(link.game, c.game) << c.url;
        EXPECT_EQ(link.label, c.label) << c.url;
        EXPECT_TRUE(link.title.empty());
        if (link.game == -1) continue;
        EXPECT_EQ(link.historyEntry + "...", link.label);
        // What a link lets in, the join lets through to the game's command line.
        EXPECT_TRUE(joinablehost(gethost(link.label)) && joinableport(getport(link.label))) << c.url;
        EXPECT_EQ(gethost(link.label) + ":" + getport(link.label), link.address) << c.url;
    }
}
