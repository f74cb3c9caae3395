// A refresh of the "Find a game" list on a fake socket and clock: who is
// asked, how many at once, when a list or a try ends, what a reply counts
// for, and what a second refresh keeps. The clock starts just before it
// wraps, so every wait is also measured across the wrap.
#include <gtest/gtest.h>

#include <sstream>

#include "base/address.h"
#include "find/refresh.h"

using namespace velmora;
using namespace velmora::find;

namespace {
const Endpoint kM1{0x7F000001, 27950}, kM2{0x7F000002, 27000}, kM3{0x7F000003, 27950};
Endpoint server(int k) { return {0x7F010000u + static_cast<std::uint32_t>(k), 27960}; }

// The fake master reply: "list a.b.c.d:port ... [EOT]".
int decodelist(const char* reply, int length, std::vector<Endpoint>& out, bool& last) {
    std::istringstream in(std::string(reply, static_cast<std::size_t>(length)));
    std::string word;
    if (!(in >> word) || word != "list") return -1;
    while (in >> word) {
        if (word == "EOT") {
            last = true;
            continue;
        }
        const auto colon = word.rfind(':');
        out.push_back({*parseDottedQuad(word.substr(0, colon)), portNumber(word.substr(colon + 1))});
    }
    return static_cast<int>(out.size());
}
std::string listing(const std::vector<Endpoint>& servers, bool last) {
    std::string text = "list";
    for (const Endpoint& e : servers) text += " " + addresstext(e);
    return last ? text + " EOT" : text;
}
// The fake status reply: "status name|map|players|max".
std::optional<StatusReply> decodestatus(const std::string& datagram) {
    if (datagram.rfind("status ", 0) != 0) return std::nullopt;
    StatusReply r;
    std::istringstream in(datagram.substr(7));
    std::string players, max;
    std::getline(in, r.name, '|');
    std::getline(in, r.map, '|');
    std::getline(in, players, '|');
    std::getline(in, max, '|');
    r.players = std::stoi(players);
    r.maxplayers = std::stoi(max);
    return r;
}
GameSource game(int index, std::vector<Master> masters) {
    return {index, index ? "QuakeWorld" : "Quake III Arena", std::move(masters), index ? "c\n" : "getservers",
            index ? "status" : "getstatus", decodelist, decodestatus};
}

struct FakeNet : RefreshTransport {
    std::vector<std::pair<Endpoint, std::string>> sent;
    void send(const Endpoint& to, const std::string& bytes) override { sent.emplace_back(to, bytes); }
    int to(const Endpoint& at) const {
        return static_cast<int>(std::count_if(sent.begin(), sent.end(), [&](auto& s) { return s.first == at; }));
    }
};

struct Rig {
    FakeNet net;
    Refresh refresh{net};
    std::uint32_t now = 0xFFFFFF00u;
    int told = 0;
    Rig() { refresh.OnChange = [this] { ++told; }; }
    void from(const Endpoint& at, const std::string& datagram) { refresh.received(at, datagram, now); }
    void at(std::uint32_t ms) { refresh.wake(now += ms); }
    // Wakes whenever it is asked to until nothing waits.
    void settle() {
        for (int i = 0; i < 100000; ++i) {
            const auto next = refresh.nextwake(now);
            if (!next) return;
            at(*next);
        }
        FAIL() << "the refresh never settles";
    }
    const ServerRow& row(const Endpoint& at, int g = 0) {
        for (const ServerRow& r : refresh.rows())
            if (r.endpoint == at && r.game == g) return r;
        throw std::runtime_error("no row " + addresstext(at));
    }
};
}  // namespace

// Every game's masters at once, each address once, and nothing before start
// nor again until the next start.
TEST(Refresh, MastersAreAskedOnceEachAndAllAtOnce) {
    Rig rig;
    EXPECT_FALSE(rig.refresh.nextwake(rig.now));
    EXPECT_TRUE(rig.net.sent.empty());
    rig.refresh.start({game(0, {{kM1, "m1"}, {kM1, "m1"}, {kM3, ""}}), game(1, {{kM2, "m2"}})}, rig.now);
    const std::vector<std::pair<Endpoint, std::string>> asked = {{kM1, "getservers"}, {kM3, "getservers"}, {kM2, "c\n"}};
    EXPECT_EQ(rig.net.sent, asked);
    EXPECT_EQ(rig.refresh.status(), "asking m1, 127.0.0.3:27950, m2...");
    rig.settle();
    EXPECT_EQ(rig.net.sent, asked) << "silent masters are not asked again";
    EXPECT_FALSE(rig.refresh.working());
    EXPECT_EQ(rig.refresh.status(), "0 servers, 0 answered, 0 players");
}

// A master's replies do not name the game: one that serves two games is
// asked for the second when the first one's list has ended.
TEST(Refresh, AMasterOfTwoGamesIsAskedForOneAfterTheOther) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}}), game(1, {{kM1, "m1"}})}, rig.now);
    EXPECT_EQ(rig.net.to(kM1), 1);
    rig.from(kM1, listing({server(1)}, true));
    EXPECT_EQ(rig.net.to(kM1), 2);
    EXPECT_EQ(std::count(rig.net.sent.begin(), rig.net.sent.end(), std::pair<Endpoint, std::string>{kM1, "c\n"}), 1);
    rig.from(kM1, listing({server(2)}, true));
    EXPECT_EQ(rig.row(server(1), 0).gamename, "Quake III Arena");
    EXPECT_EQ(rig.row(server(2), 1).gamename, "QuakeWorld");
    EXPECT_EQ(rig.refresh.rows().size(), 2u);
}

// A hundred servers: 32 wait at most, each answer lets one more go.
TEST(Refresh, NoMoreThan32ServersWaitAtOnce) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    std::vector<Endpoint> hundred;
    for (int k = 1; k <= 100; ++k) hundred.push_back(server(k));
    rig.from(kM1, listing(hundred, true));
    std::size_t answered = 0;
    for (std::size_t i = 1; i < rig.net.sent.size(); ++i, ++answered) {
        EXPECT_EQ(rig.net.sent.size() - 1 - answered, std::min<std::size_t>(32, 100 - answered));
        rig.now += 5;
        rig.from(rig.net.sent[i].first, "status s|m|1|8");
        EXPECT_LE(rig.refresh.inflight(), kMaxInFlight);
    }
    EXPECT_EQ(answered, 100u);
    rig.settle();
    EXPECT_EQ(rig.refresh.status(), "100 servers, 100 answered, 100 players");
}

// A server that does not answer is asked once more after a second, then has
// "no answer"; a reply after that finds nothing waiting.
TEST(Refresh, ASilentServerIsAskedTwiceThenHasNoAnswer) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM1, listing({server(1)}, true));
    EXPECT_EQ(rig.net.to(server(1)), 1);
    rig.at(999);
    EXPECT_EQ(rig.net.to(server(1)), 1);
    rig.at(1);
    EXPECT_EQ(rig.net.to(server(1)), 2);
    rig.at(999);
    EXPECT_EQ(rig.row(server(1)).state, Answer::Waiting);
    rig.at(1);
    EXPECT_EQ(rig.row(server(1)).state, Answer::NoAnswer);
    rig.settle();
    EXPECT_EQ(rig.net.to(server(1)), 2);
    rig.from(server(1), "status late|m|1|8");
    EXPECT_EQ(celltext(rig.row(server(1)), Column::Ping), "no answer");
    EXPECT_EQ(rig.refresh.status(), "1 servers, 0 answered, 0 players");
}

// The ping runs from the last try: one lost datagram must not make a near
// server read a second slower.
TEST(Refresh, PingRunsFromTheLastTry) {
    const struct {
        std::uint32_t after;
        int ping;
    } cases[] = {{0, 0}, {37, 37}, {999, 999}, {1000, 0}, {1200, 200}, {1999, 999}};
    for (const auto& c : cases) {
        Rig rig;
        rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
        rig.from(kM1, listing({server(1)}, true));
        if (c.after >= 1000) rig.at(1000);
        rig.at(c.after - (c.after >= 1000 ? 1000 : 0));
        rig.from(server(1), "status One|q3dm17|3|8");
        EXPECT_EQ(rig.row(server(1)).ping, c.ping) << c.after;
        EXPECT_EQ(rig.row(server(1)).state, Answer::Answered) << c.after;
    }
}

// A reply stamped as it arrived, read only after the second try went out,
// answered the first.
TEST(Refresh, AReplyThatArrivedBeforeTheSecondTryRunsFromTheFirst) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM1, listing({server(1)}, true));
    rig.at(1000);
    ASSERT_EQ(rig.net.to(server(1)), 2);
    rig.refresh.received(server(1), "status One|q3dm17|3|8", rig.now, rig.now - 5);
    EXPECT_EQ(rig.row(server(1)).ping, 995);
}

// On loopback a reply is stamped, on the reading thread, as soon as the
// query has gone: its stamp may come before the query's own.
TEST(Refresh, AReplyStampedBeforeItsQueryReadsNoTime) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM1, listing({server(1)}, true));
    rig.refresh.received(server(1), "status One|q3dm17|3|8", rig.now, rig.now - 1);
    EXPECT_EQ(rig.row(server(1)).ping, 0);
    EXPECT_EQ(celltext(rig.row(server(1)), Column::Ping), "0");
}

// With a send clock each try is timed from when its datagram left: the
// last of a batch of sends later than the first, and its retry too.
TEST(Refresh, ATryIsTimedFromWhenItsDatagramLeft) {
    Rig rig;
    std::uint32_t sent = 0;
    rig.refresh.sendclock = [&] { return rig.now + (sent += 2); };
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM1, listing({server(1), server(2), server(3)}, true));
    // Sent at +2, +4 and +6; all answer at +10.
    rig.now += 10;
    for (int i = 1; i <= 3; ++i) rig.from(server(i), "status S|m|1|8");
    EXPECT_EQ(rig.row(server(1)).ping, 8);
    EXPECT_EQ(rig.row(server(2)).ping, 6);
    EXPECT_EQ(rig.row(server(3)).ping, 4);
    // A send timed just after the call's own now is not taken for a late try.
    rig.refresh.refreshserver(0, rig.now);
    rig.at(0);
    EXPECT_EQ(rig.net.to(server(1)), 2) << "asked again once, not retried at once";
}

// A reply read late (the window's thread was busy) has its ping to when it
// arrived, and what the reply lets go out next is sent, and timed, now.
TEST(Refresh, AReplyReadLateIsTimedToItsArrivalAndTheNextTryToItsSending) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    std::vector<Endpoint> many;
    for (int i = 1; i <= static_cast<int>(kMaxInFlight) + 1; ++i) many.push_back(server(i));
    rig.from(kM1, listing(many, true));
    const Endpoint last = server(static_cast<int>(kMaxInFlight) + 1);
    ASSERT_EQ(rig.net.to(last), 0) << "queued behind the ones in flight";
    rig.now += 40;
    rig.refresh.received(server(1), "status One|q3dm17|3|8", rig.now, rig.now - 30);
    EXPECT_EQ(rig.row(server(1)).ping, 10);
    ASSERT_EQ(rig.net.to(last), 1);
    rig.now += 7;
    rig.from(last, "status Last|q3dm6|1|8");
    EXPECT_EQ(rig.row(last).ping, 7) << "timed from its sending, not from the reply that let it go";
}

// A list without its end marker ends two seconds after the last datagram of
// any master; the end marker ends that master's list at once.
TEST(Refresh, AListEndsAtItsMarkerOrAfterTwoQuietSeconds) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}}), game(1, {{kM2, "m2"}}), game(2, {{kM3, "m3"}})}, rig.now);
    rig.at(500);
    rig.from(kM1, listing({server(1)}, false));
    rig.from(kM3, listing({}, true));
    EXPECT_EQ(rig.refresh.asking(), (std::vector<std::string>{"m1", "m2"}));
    rig.at(1999);
    EXPECT_EQ(rig.refresh.asking(), (std::vector<std::string>{"m1", "m2"})) << "m1's datagram keeps m2 waiting too";
    rig.at(1);
    EXPECT_TRUE(rig.refresh.asking().empty());
    EXPECT_EQ(rig.refresh.status(), "0 of 1 answered");
}

// Only a listed server's own address and port answer it; a master nobody
// asked lists nothing; a datagram that is no status reply leaves it waiting.
TEST(Refresh, DatagramsFromElsewhereAreIgnored) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM2, listing({server(9)}, true));
    rig.from(kM1, listing({server(1)}, true));
    const std::uint64_t changes = rig.refresh.changes();
    rig.from({server(1).ip, 27961}, "status Fake|m|9|9");
    rig.from(server(2), "status Fake|m|9|9");
    rig.from(server(1), "print\nhello");
    EXPECT_EQ(rig.refresh.changes(), changes);
    EXPECT_EQ(rig.refresh.rows().size(), 1u);
    EXPECT_EQ(rig.refresh.inflight(), 1u);
    rig.from(server(1), "status Real|m|2|8");
    EXPECT_EQ(rig.row(server(1)).name, "Real");
}

// However many entries the masters send, a game lists at most 4096.
TEST(Refresh, AGameListsAtMost4096Servers) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    for (int d = 0; d < 50; ++d) {
        std::vector<Endpoint> part;
        for (int k = 0; k < 100; ++k) part.push_back({0x7F020000u + static_cast<std::uint32_t>(d * 100 + k), 27960});
        rig.from(kM1, listing(part, d == 49));
    }
    EXPECT_EQ(rig.refresh.rows().size(), kServersPerGame);
    EXPECT_EQ(rig.refresh.inflight(), kMaxInFlight);
}

// A refresh while one runs starts over: masters asked again, old figures
// shown until new ones come, replies to forgotten queries ignored, a server
// no master lists any more gone when the list ends.
TEST(Refresh, ARefreshDuringARefreshKeepsTheRows) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM1, listing({server(1), server(2), server(3)}, true));
    rig.at(30);
    rig.from(server(1), "status One|q3dm17|3|8");
    rig.at(20);
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    EXPECT_EQ(rig.net.to(kM1), 2);
    EXPECT_EQ(rig.row(server(1)).ping, 30);
    EXPECT_EQ(celltext(rig.row(server(1)), Column::Players), "3/8");
    rig.from(server(2), "status Two|dm4|1|8");
    EXPECT_FALSE(rig.row(server(2)).figures) << "a reply to the first refresh's query";
    rig.refresh.refreshserver(2, rig.now);  // server 3, asked on its own
    const int told = rig.told;
    rig.from(kM1, listing({server(1), server(2)}, true));
    EXPECT_EQ(rig.refresh.rows().size(), 2u);
    EXPECT_EQ(rig.told, told + 1) << "a row that goes is told at once";
    EXPECT_EQ(rig.row(server(1)).name, "One");
    rig.at(12);
    rig.from(server(1), "status One|q3dm6|4|8");
    EXPECT_EQ(rig.row(server(1)).ping, 12);
    EXPECT_EQ(rig.row(server(1)).map, "q3dm6");
    rig.settle();
    EXPECT_EQ(rig.net.to(server(3)), 2) << "a server that went is not asked again";
}

// A master that is down for a refresh leaves its game's servers listed, and
// they are asked again.
TEST(Refresh, ASilentMasterKeepsTheServersItListedBefore) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM1, listing({server(1)}, true));
    rig.from(server(1), "status One|q3dm17|3|8");
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.at(kMasterQuietMs);
    EXPECT_EQ(rig.refresh.rows().size(), 1u);
    EXPECT_EQ(rig.net.to(server(1)), 2);
}

// Replies close together are told once per tenth of a second; the rest is
// told by the wake-up nextwake asks for.
TEST(Refresh, ChangesAreToldAtMostTenTimesASecond) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM1, listing({server(1), server(2), server(3)}, true));
    const int told = rig.told;
    const std::uint64_t changes = rig.refresh.changes();
    rig.now += 10;
    rig.from(server(1), "status a|m|1|8");
    rig.now += 10;
    rig.from(server(2), "status b|m|1|8");
    EXPECT_EQ(rig.told, told);
    EXPECT_EQ(rig.refresh.changes(), changes + 2);
    EXPECT_EQ(rig.refresh.nextwake(rig.now), kChangeQuietMs - 20);
    rig.at(kChangeQuietMs - 20);
    EXPECT_EQ(rig.told, told + 1);
}

// "Refresh this server" asks once, however often it is chosen while waiting.
TEST(Refresh, OneServerIsAskedAgainOnce) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM1, listing({server(1)}, true));
    rig.from(server(1), "status One|q3dm17|3|8");
    rig.refresh.refreshserver(0, rig.now);
    rig.refresh.refreshserver(0, rig.now);
    EXPECT_EQ(rig.net.to(server(1)), 2);
    rig.at(7);
    rig.from(server(1), "status One|q3dm17|5|8");
    EXPECT_EQ(rig.row(server(1)).players, 5);
    EXPECT_EQ(rig.row(server(1)).ping, 7);
    rig.settle();
    EXPECT_EQ(rig.net.to(server(1)), 2);
}

// One address listed for two games: asked for one, then the other, so each
// reply is read by its own game's decoder.
TEST(Refresh, OneAddressIsNeverAskedTwiceAtOnce) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}}), game(1, {{kM2, "m2"}})}, rig.now);
    rig.from(kM1, listing({server(1)}, true));
    rig.from(kM2, listing({server(1)}, true));
    EXPECT_EQ(rig.net.to(server(1)), 1);
    rig.from(server(1), "status Quake3|q3dm17|3|8");
    ASSERT_EQ(rig.net.to(server(1)), 2);
    EXPECT_EQ(rig.net.sent.back().second, "status");
    rig.from(server(1), "status World|dm4|1|16");
    EXPECT_EQ(rig.row(server(1), 0).name, "Quake3");
    EXPECT_EQ(rig.row(server(1), 1).name, "World");
}

// Server texts reach the list inert and cut; the plug-in's six texts give
// the counts after its three filler characters.
TEST(Refresh, RepliesBecomeInertRows) {
    Rig rig;
    rig.refresh.start({game(0, {{kM1, "m1"}})}, rig.now);
    rig.from(kM1, listing({server(1)}, true));
    rig.from(server(1), "status Tab\there\x01|" + std::string(300, 'm') + "|3|8");
    EXPECT_EQ(rig.row(server(1)).name, "Tabhere");
    EXPECT_EQ(rig.row(server(1)).map.size(), kTextLimit);

    const std::string reply("\xFF\xFF\xFF\xFFstatusResponse", 18);
    const auto r = statusreply({"n", "g", "mod", "map", "\x01\x01\x01" "12", "16"}, reply);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->players, 12);
    EXPECT_EQ(r->maxplayers, 16);
    EXPECT_FALSE(statusreply({"n", "g", "mod", "map", "   12", "16"}, "statusResponse"));
    EXPECT_FALSE(statusreply({"???", "???", "???", "???", "???", "???"}, reply));
}
