#include <gtest/gtest.h>

#include <map>

#include "tests/watch/testreplies.h"
#include "watch/watchrules.h"

using namespace velmora;
using namespace velmora::watch;

namespace {
constexpr std::uint32_t kLoop = 0x7F000001;  // 127.0.0.1
using test::decode;
using test::kPrefix;
using test::reply;

struct FakeNet : WatchTransport {
    std::vector<std::pair<Endpoint, std::string>> sent;
    std::vector<std::pair<std::uint32_t, std::string>> lookups;
    void send(const Endpoint& to, const std::string& bytes) override { sent.emplace_back(to, bytes); }
    void resolve(std::uint32_t ticket, const std::string& host) override { lookups.emplace_back(ticket, host); }
    int sentto(std::uint16_t port) const {
        return static_cast<int>(std::count_if(sent.begin(), sent.end(), [&](auto& s) { return s.first.port == port; }));
    }
};

WatchTarget target(int game, const std::string& entry, const std::string& host, std::uint16_t port) {
    return {game, entry, entry, host, port, kPrefix + "status"};
}

// A watch over servers 127.0.0.1:27500 + k, k < count, at `interval`.
struct Rig {
    FakeNet net;
    Watch watch{net, decode};
    std::vector<Balloon> balloons;
    int changes = 0;
    std::uint32_t now = 1000;
    explicit Rig(int count, std::uint32_t interval = 60000) {
        watch.OnBalloon = [this](const Balloon& b) { balloons.push_back(b); };
        watch.OnChange = [this] { ++changes; };
        std::vector<WatchTarget> targets;
        for (int k = 0; k < count; ++k)
            targets.push_back(target(0, "127.0.0.1:" + std::to_string(27500 + k), "127.0.0.1",
                                     static_cast<std::uint16_t>(27500 + k)));
        watch.settargets(targets, now);
        watch.setinterval(interval, now);
    }
    void answer(std::uint16_t port, const std::string& datagram) { watch.received({kLoop, port}, datagram, now); }
    // Moves the clock to the next wake-up (or by `most`) and wakes.
    void step(std::uint32_t most = 3600000) {
        const auto next = watch.nextwake(now);
        now += next ? std::min(*next, most) : most;
        watch.wake(now);
    }
    std::string status(std::uint16_t port) { return watch.status(0, "127.0.0.1:" + std::to_string(port)); }
};
}  // namespace

// The registry's "watch" minutes and "notify" switch; unknown values fall
// back to what a missing value means.
TEST(WatchRules, StoredValuesGiveIntervalAndNotifications) {
    const struct {
        const char* value;
        std::uint32_t ms;
    } intervals[] = {{"0", 0}, {"1", 60000}, {"2", 120000}, {"5", 300000}, {"10", 600000},
                     {"", 120000}, {"3", 120000}, {" 1", 120000}, {"-1", 120000}};
    for (const auto& c : intervals) EXPECT_EQ(watchinterval(c.value), c.ms) << c.value;
    EXPECT_TRUE(notifyon(""));
    EXPECT_TRUE(notifyon("1"));
    EXPECT_FALSE(notifyon("0"));
}

// Servers come from every game's history: first places before second
// places, the game listed higher in the menu (later in the table) first.
TEST(WatchRules, TargetsComeInTieBreakingOrder) {
    const auto e = [](const char* entry, const char* caption, const char* address) {
        return WatchedEntry{entry, caption, address};
    };
    const std::vector<WatchedGame> games = {
        {{e("127.0.0.1:26000", "127.0.0.1:26000", "127.0.0.1:26000"),
          e("\"Friday night\"127.0.0.2:26001", "Friday night", "127.0.0.2:26001")}, "q1"},
        {{e("127.0.0.5:27500", "127.0.0.5:27500", "127.0.0.5:27500")}, "qw"},
        {{e("127.0.0.3:27960", "127.0.0.3:27960", "127.0.0.3:27960")}, ""},  // no query: not watched
        {{e("nameless", "nameless", "nameless"), e("127.0.0.4:0", "127.0.0.4:0", "127.0.0.4:0"),  // no port, port 0
          e("host.lan:27910", "host.lan:27910", "host.lan:27910")}, "q2"},
    };
    const std::vector<WatchTarget> t = watchtargets(games);
    ASSERT_EQ(t.size(), 4u);
    const struct {
        int game;
        const char* caption;
        const char* host;
        std::uint16_t port;
    } expected[] = {{1, "127.0.0.5:27500", "127.0.0.5", 27500}, {0, "127.0.0.1:26000", "127.0.0.1", 26000},
                    {0, "Friday night", "127.0.0.2", 26001}, {3, "host.lan:27910", "host.lan", 27910}};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(t[k].game, expected[k].game) << k;
        EXPECT_EQ(t[k].caption, expected[k].caption) << k;
        EXPECT_EQ(t[k].host, expected[k].host) << k;
        EXPECT_EQ(t[k].port, expected[k].port) << k;
    }
    EXPECT_EQ(t[2].entry, "\"Friday night\"127.0.0.2:26001");
    EXPECT_EQ(t[0].query, "qw");
    EXPECT_EQ(dottedaddress("127.0.0.1"), kLoop);
    EXPECT_EQ(dottedaddress("host.lan"), std::nullopt);
}

// A value written before links were checked may hold pieces of a split
// title or address, or hosts a socket reads otherwise than the watcher: those
// are never asked; whole addresses among them still are.
TEST(WatchRules, StoredEntriesOutsideTheAddressRulesAreNotAsked) {
    const auto e = [](const std::string& address) { return WatchedEntry{address, address, address}; };
    // "127.0.0.2:27500,127.0.0.3:27501 qws \"Fri,day\"" as an older version stored it.
    const std::vector<WatchedGame> games = {
        {{e("\"Fri"), e("day\"127.0.0.2:27500"), e("127.0.0.3:27501"), e("127.0.0.1:27500"), e("010.0.0.1:27500"),
          e("-connect:27500"), e("1.2.3.4:27500..."), e("1.2.3.4:+27500"), e("1.2.3.4:65536"), e("a b:27500"),
          e(":27500"), e("host.lan:27910"), e("255.255.255.255:27500"), e("224.0.0.1:27500"), e("0.0.0.0:27500"),
          e("223.255.255.255:27500")},
         "qw"}};
    const std::vector<WatchTarget> t = watchtargets(games);
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].entry, "127.0.0.3:27501");
    EXPECT_EQ(t[1].entry, "127.0.0.1:27500");
    EXPECT_EQ(t[1].host, "127.0.0.1");
    EXPECT_EQ(t[1].port, 27500);
    EXPECT_EQ(t[2].entry, "host.lan:27910");
    EXPECT_EQ(t[3].entry, "223.255.255.255:27500") << "the manual join's broadcast and multicast are not watched";
    // The watcher reads a dotted quad as the socket does: a leading zero is no part.
    EXPECT_EQ(dottedaddress("10.0.0.1"), 0x0A000001u);
    EXPECT_EQ(dottedaddress("010.0.0.1"), std::nullopt);
}

// What the menu shows: figures of a status reply cleaned like the query
// window's texts, nothing for a reply that is no status reply.
TEST(WatchRules, StatusTextsAreCleanedAndCut) {
    const struct {
        const char* what;
        std::string datagram;
        const char* text;  // nullptr: not a status reply
    } cases[] = {
        {"answer", reply("2", "16", "e1m1"), "2/16 e1m1"},
        {"empty server", reply("0", "8", "oasago2"), "0/8 oasago2"},
        {"markup", reply("<b>3", "8", "<a href=\"x\">m</a>"), "(b)3/8 (a href=\"x\")m(/a)"},
        {"control characters", reply("1", "8", "dm\x01\x1b" "4"), "1/8 dm4"},
        // padding takes no room: the cut comes after the cleaning
        {"padded map", reply("1", "8", std::string(60, '\x01') + "dm4\x7f"), "1/8 dm4"},
        // menus and balloons draw plainly: "&" shows as itself, not doubled
        {"ampersand", reply("1", "8", "R&D"), "1/8 R&D"},
        {"no prefix", "players 2", nullptr},
        {"undecodable", kPrefix.substr(0, 3), nullptr},
    };
    for (const auto& c : cases) {
        const auto status = answerstatus(decode(0, c.datagram), c.datagram);
        if (!c.text) {
            EXPECT_FALSE(status) << c.what;
            continue;
        }
        ASSERT_TRUE(status) << c.what;
        EXPECT_EQ(statuslabel(*status), c.text) << c.what;
    }
    EXPECT_EQ(statuslabel(ServerStatus::noanswer()), "no answer");
    EXPECT_EQ(statuslabel(ServerStatus{}), "");
}

// The network etiquette: limits of the schedule and what is taken as an answer.
TEST(WatchEtiquette, AtMostSixteenInFlight) {
    Rig rig(20);
    EXPECT_EQ(rig.net.sent.size(), 16u);
    EXPECT_EQ(rig.watch.inflight(), 16);
    rig.answer(27500, reply("1", "8", "dm4"));  // one answer frees one place
    EXPECT_EQ(rig.net.sent.size(), 17u);
    rig.step();  // the deadline of the other fifteen
    EXPECT_EQ(rig.net.sent.size(), 20u);
    EXPECT_LE(rig.watch.inflight(), kMaxInFlight);
    EXPECT_EQ(rig.status(27501), "no answer");
}

TEST(WatchEtiquette, EachServerOncePerInterval) {
    const std::uint32_t intervals[] = {60000, 300000};
    for (const std::uint32_t interval : intervals) {
        Rig rig(20, interval);
        const std::uint32_t start = rig.now;
        // An hour of waking whenever the watch asks to; half the servers answer at once.
        while (rig.now - start < 3600000) {
            for (auto& [to, bytes] : std::vector(rig.net.sent.end() - std::min<size_t>(rig.net.sent.size(), 20),
                                                 rig.net.sent.end()))
                if (to.port % 2 == 0) rig.answer(to.port, reply("0", "8", "dm4"));
            rig.step();
        }
        for (std::uint16_t port = 27500; port < 27520; ++port)
            EXPECT_LE(rig.net.sentto(port), static_cast<int>(3600000 / interval) + 1) << port << " " << interval;
        EXPECT_GE(rig.net.sentto(27519), static_cast<int>(3600000 / interval) - 1);
    }
}

TEST(WatchEtiquette, AnswersOnlyFromTheAskedAddressAndPort) {
    const struct {
        const char* what;
        Endpoint from;
        const char* status;
    } cases[] = {
        {"asked address and port", {kLoop, 27500}, "3/8 dm4"},
        {"other port", {kLoop, 27501}, "no answer"},
        {"other address", {0x7F000002, 27500}, "no answer"},
    };
    for (const auto& c : cases) {
        Rig rig(1);
        rig.watch.received(c.from, reply("3", "8", "dm4"), rig.now + 10);
        rig.step();
        EXPECT_EQ(rig.status(27500), c.status) << c.what;
    }
    Rig late(1);
    late.step();  // the deadline passes
    late.answer(27500, reply("3", "8", "dm4"));
    EXPECT_EQ(late.status(27500), "no answer") << "an answer after the deadline";
}

TEST(WatchEtiquette, LargeAndHostileRepliesAreShownInert) {
    const std::string huge(64 * 1024, 'x');
    const std::string controls = std::string("a\r\t\x7\x1f", 5) + "b";
    const struct {
        const char* what;
        std::string datagram;
        const char* status;
    } cases[] = {
        {"larger than a datagram buffer", reply("1", "8", huge + huge), nullptr},
        {"64 KiB of markup", reply("1", "8", [] {
             std::string s;
             while (s.size() < 65536) s += "<a href=\"fix\">x</a>";
             return s;
         }()), nullptr},
        {"control characters", reply("1", "8", controls), "1/8 ab"},
    };
    for (const auto& c : cases) {
        Rig rig(1);
        rig.answer(27500, c.datagram);
        const std::string s = rig.status(27500);
        EXPECT_LE(s.size(), kStatusLimit) << c.what;
        EXPECT_EQ(s.find_first_of(std::string("<>\r\n\t\x7", 6) + '\0'), std::string::npos) << c.what;
        if (c.status) {
            EXPECT_EQ(s, c.status) << c.what;
        }
        EXPECT_EQ(s.rfind("1/8 ", 0), 0u) << c.what;
    }
}

TEST(WatchEtiquette, TwoQueriesToOneAddressNeverWaitTogether) {
    FakeNet net;
    Watch watch(net, decode);
    watch.settargets({target(0, "a", "127.0.0.1", 27500), target(1, "b", "127.0.0.1", 27500)}, 0);
    watch.setinterval(60000, 0);
    EXPECT_EQ(net.sent.size(), 1u);
    watch.received({kLoop, 27500}, reply("1", "8", "dm4"), 5);
    EXPECT_EQ(net.sent.size(), 2u);
    EXPECT_EQ(watch.status(0, "a"), "1/8 dm4");
    EXPECT_EQ(watch.status(1, "b"), "");
}

// "0" sends nothing, forgets what it showed and ignores a late answer.
TEST(WatchEtiquette, OffSendsNothingAndForgets) {
    Rig rig(3, 0);
    for (int k = 0; k < 10; ++k) rig.step(60000);
    EXPECT_TRUE(rig.net.sent.empty());
    EXPECT_EQ(rig.watch.nextwake(rig.now), std::nullopt);
    rig.watch.menuopened(rig.now);
    EXPECT_TRUE(rig.net.sent.empty());

    Rig on(2);
    on.answer(27500, reply("1", "8", "dm4"));
    on.watch.setinterval(0, on.now);
    on.answer(27501, reply("1", "8", "dm4"));
    EXPECT_EQ(on.status(27500), "");
    EXPECT_EQ(on.status(27501), "");
    EXPECT_EQ(on.watch.inflight(), 0);
}

// A name is looked up off the schedule; the query leaves when it is known.
TEST(WatchEtiquette, NamesAreLookedUpBeforeTheQuery) {
    FakeNet net;
    Watch watch(net, decode);
    watch.settargets({target(0, "a", "server.lan", 27500), target(0, "b", "gone.lan", 27501)}, 0);
    watch.setinterval(60000, 0);
    ASSERT_EQ(net.lookups.size(), 2u);
    EXPECT_TRUE(net.sent.empty());
    watch.resolved(net.lookups[0].first, kLoop, 20);
    watch.resolved(net.lookups[1].first, std::nullopt, 20);
    ASSERT_EQ(net.sent.size(), 1u);
    EXPECT_EQ(net.sent[0].first, (Endpoint{kLoop, 27500}));
    EXPECT_EQ(watch.status(0, "b"), "no answer");
    watch.received({kLoop, 27500}, reply("4", "8", "q2dm1"), 30);
    EXPECT_EQ(watch.status(0, "a"), "4/8 q2dm1");
    watch.resolved(net.lookups[0].first, kLoop, 40);  // a stale lookup sends nothing
    EXPECT_EQ(net.sent.size(), 1u);
}

// Opening the menu asks again for results older than 30 s, and only those.
TEST(WatchRules, MenuRefreshAsksStaleResultsAgain) {
    const struct {
        std::uint32_t age;
        int sends;
    } cases[] = {{1000, 1}, {30000, 1}, {30001, 2}, {59000, 2}};
    for (const auto& c : cases) {
        Rig rig(1);
        rig.answer(27500, reply("0", "8", "dm4"));
        rig.now += c.age;
        rig.watch.menuopened(rig.now);
        EXPECT_EQ(rig.net.sentto(27500), c.sends) << c.age;
    }
}

// Balloons come for a change from nobody (or no answer) to players only,
// never for a first result, at most once per server in ten minutes.
TEST(WatchRules, BalloonsForServersThatGetPlayers) {
    struct Round {
        const char* players;  // nullptr: no answer
        std::uint32_t after;  // ms since the previous round
    };
    const struct {
        const char* what;
        bool notify;
        std::vector<Round> rounds;
        int balloons;
    } cases[] = {
        {"players from the start", true, {{"2", 0}, {"2", 60000}}, 0},
        {"empty, then a player joins", true, {{"0", 0}, {"1", 60000}, {"1", 60000}}, 1},
        {"no answer, then players", true, {{nullptr, 0}, {"3", 60000}}, 1},
        {"notifications off", false, {{"0", 0}, {"1", 60000}}, 0},
        {"again within ten minutes", true, {{"0", 0}, {"1", 60000}, {"0", 60000}, {"1", 60000}}, 1},
        {"again after ten minutes", true, {{"0", 0}, {"1", 60000}, {"0", 300000}, {"1", 300000}}, 2},
        {"players leave", true, {{"2", 0}, {"0", 60000}, {nullptr, 60000}}, 0},
    };
    for (const auto& c : cases) {
        Rig rig(1);
        rig.watch.setnotify(c.notify);
        for (const Round& r : c.rounds) {
            if (r.after) {
                rig.now += r.after;
                rig.watch.wake(rig.now);
            }
            if (r.players) rig.answer(27500, reply(r.players, "8", "dm4"));
            else rig.step(kAnswerDeadlineMs);
        }
        EXPECT_EQ(static_cast<int>(rig.balloons.size()), c.balloons) << c.what;
        if (!rig.balloons.empty()) {
            EXPECT_EQ(rig.balloons[0].title, "127.0.0.1:27500") << c.what;
            EXPECT_EQ(rig.balloons[0].text.find(" playing on dm4"), 1u) << c.what;
        }
    }
}

// The tip names the busiest server; ties go to the first in watch order.
TEST(WatchRules, TipNamesTheBusiestServer) {
    const struct {
        std::vector<const char*> players;  // per server 27500, 27501, 27502
        const char* tip;
    } cases[] = {
        {{"0", "0", "0"}, "the Velmora"},
        {{"0", "3", "5"}, "the Velmora: 5 on 127.0.0.1:27502"},
        {{"2", "7", "7"}, "the Velmora: 7 on 127.0.0.1:27501"},
        {{"x", "1", "0"}, "the Velmora: 1 on 127.0.0.1:27501"},
    };
    for (const auto& c : cases) {
        Rig rig(3);
        for (std::uint16_t k = 0; k < 3; ++k) rig.answer(27500 + k, reply(c.players[k], "8", "dm4"));
        EXPECT_EQ(rig.watch.tip(), c.tip);
    }
    // The caption as it is: the icon cuts every tip at "|" and to 63 characters.
    FakeNet net;
    Watch watch(net, decode);
    watch.settargets({target(0, "Tom|Jerry", "127.0.0.1", 27501)}, 0);
    watch.setinterval(60000, 0);
    watch.received({kLoop, 27501}, reply("12", "16", "dm4"), 1);
    EXPECT_EQ(watch.tip(), "the Velmora: 12 on Tom|Jerry");
}

// A history change keeps the results of servers still listed and asks a new
// one at the next wake, with no balloon for its first result.
TEST(WatchRules, HistoryChangesKeepResults) {
    Rig rig(1);
    rig.answer(27500, reply("0", "8", "dm4"));
    rig.watch.settargets({target(0, "127.0.0.1:27501", "127.0.0.1", 27501),
                          target(0, "127.0.0.1:27500", "127.0.0.1", 27500)}, rig.now);
    EXPECT_EQ(rig.status(27500), "0/8 dm4");
    EXPECT_EQ(rig.net.sentto(27501), 1);
    EXPECT_EQ(rig.net.sentto(27500), 1);
    rig.answer(27501, reply("4", "8", "dm4"));
    EXPECT_TRUE(rig.balloons.empty());
    EXPECT_EQ(rig.watch.tip(), "the Velmora: 4 on 127.0.0.1:27501");
}
