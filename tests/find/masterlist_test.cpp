// Which servers of the masters' replies a refresh asks: a master's list is
// only what somebody registered, so it must not send Velmora's datagrams to
// the player's own machine, to multicast or broadcast, or a thousand times
// to one host.
#include <gtest/gtest.h>

#include "find/masterlist.h"

using velmora::Endpoint;
using namespace velmora::find;

namespace {
constexpr std::uint32_t ip(int a, int b, int c, int d) {
    return std::uint32_t(a) << 24 | std::uint32_t(b) << 16 | std::uint32_t(c) << 8 | std::uint32_t(d);
}
const Endpoint kPublicMaster{ip(203, 0, 113, 5), 27950};
const Endpoint kLoopbackMaster{ip(127, 0, 0, 1), 27950};
}  // namespace

TEST(MasterList, OnlyServersThatCanBeAskedAreTaken) {
    const struct {
        const char* what;
        Endpoint from;
        Endpoint entry;
        bool taken;
    } cases[] = {
        {"a public server", kPublicMaster, {ip(198, 51, 100, 7), 27960}, true},
        {"port 0", kPublicMaster, {ip(198, 51, 100, 7), 0}, false},
        {"this network, 0.0.0.0/8", kPublicMaster, {ip(0, 1, 2, 3), 27960}, false},
        {"multicast", kPublicMaster, {ip(224, 0, 0, 1), 27960}, false},
        {"multicast's last", kPublicMaster, {ip(239, 255, 255, 255), 27960}, false},
        {"reserved", kPublicMaster, {ip(240, 0, 0, 1), 27960}, false},
        {"broadcast", kPublicMaster, {ip(255, 255, 255, 255), 27960}, false},
        {"just below multicast", kPublicMaster, {ip(223, 255, 255, 255), 27960}, true},
        {"loopback from a public master", kPublicMaster, {ip(127, 0, 0, 1), 27960}, false},
        {"loopback from a loopback master", kLoopbackMaster, {ip(127, 0, 1, 26), 27961}, true},
        {"a master that was not asked", {ip(198, 51, 100, 99), 27950}, {ip(198, 51, 100, 7), 27960}, false},
        {"an asked master's address on another port", {kPublicMaster.ip, 27951}, {ip(198, 51, 100, 7), 27960}, false},
    };
    for (const auto& c : cases) {
        MasterList list({kPublicMaster, kLoopbackMaster});
        EXPECT_EQ(list.take(c.from, {c.entry}), c.taken ? 1u : 0u) << c.what;
        EXPECT_EQ(list.servers().size(), c.taken ? 1u : 0u) << c.what;
    }
}

// One address listed a thousand times, on one port and on many: each server
// once, and no more than 32 ports of one host.
TEST(MasterList, RepeatsAndOneHostsManyPortsAreCapped) {
    MasterList list({kPublicMaster});
    const Endpoint same{ip(198, 51, 100, 7), 27960};
    EXPECT_EQ(list.take(kPublicMaster, std::vector<Endpoint>(1000, same)), 1u);
    EXPECT_EQ(list.take(kPublicMaster, {same}), 0u) << "a second master's copy";
    std::vector<Endpoint> ports;
    for (int p = 1; p <= 1000; ++p) ports.push_back({ip(198, 51, 100, 8), static_cast<std::uint16_t>(p)});
    EXPECT_EQ(list.take(kPublicMaster, ports), kServersPerAddress);
    EXPECT_EQ(list.servers().size(), kServersPerAddress + 1);
    EXPECT_EQ(list.servers()[1].port, 1) << "the first ones are kept, in order";
}

TEST(MasterList, AGameListsAtMost4096Servers) {
    MasterList list({kPublicMaster});
    std::vector<Endpoint> many;
    for (int i = 0; i < 5000; ++i) many.push_back({ip(10, 1, i >> 8, i & 0xFF), 27960});
    EXPECT_EQ(list.take(kPublicMaster, many), kServersPerGame);
    EXPECT_EQ(list.take(kPublicMaster, {{ip(10, 9, 9, 9), 27960}}), 0u);
    EXPECT_EQ(list.servers().size(), kServersPerGame);
}

// A player's "masters" value: what it names is asked, each master once, and
// a piece that names no port cannot send a datagram anywhere.
TEST(MasterNames, AValueNamesEachUsableMasterOnce) {
    const struct {
        const char* value;
        std::vector<std::string> texts;
    } cases[] = {
        {"", {}},
        {"master.quakeservers.net:27000", {"master.quakeservers.net:27000"}},
        {"  a.example:27950\tb.example:27950,127.0.0.2:27900  ", {"a.example:27950", "b.example:27950", "127.0.0.2:27900"}},
        {"a.example:27950 a.example:27950", {"a.example:27950"}},
        {"noport a.example: :27950 a.example:0 a.example:65536 a.example:99999x b.example:65535", {"b.example:65535"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> texts;
        for (const MasterName& m : parsemasters(c.value)) texts.push_back(m.text);
        EXPECT_EQ(texts, c.texts) << c.value;
    }
    const auto one = parsemasters("127.0.0.2:27900");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].host, "127.0.0.2");
    EXPECT_EQ(one[0].port, 27900);
}
