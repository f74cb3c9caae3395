// Master server replies: the recorded ones of a real master with real and
// registered stand-in servers, and hostile ones. Nothing is read past a
// datagram's end, and what is not a list of this protocol is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "plugins/decode/master.h"
#include "tests/plugins/master_capture.h"

using namespace velmora::plugins;

namespace {

struct Decoded {
    int count = 0;
    int last = -1;
    std::vector<std::string> addresses;
};

Decoded decode(MasterProtocol protocol, const std::string& reply, int max = 4096) {
    std::vector<MasterAddress> out(static_cast<size_t>(max) + 1);
    Decoded d;
    // One spare entry past `max` catches a write beyond what was asked for.
    out[static_cast<size_t>(max)] = MasterAddress{{9, 9, 9, 9}, 9};
    d.count = decodeMasterReply(protocol, reply.data(), static_cast<int>(reply.size()), out.data(), max, &d.last);
    EXPECT_EQ(out[static_cast<size_t>(max)].port, 9) << "written past max";
    for (int i = 0; i < d.count; ++i) {
        char text[22];
        formatMasterAddress(out[static_cast<size_t>(i)], text);
        d.addresses.emplace_back(text);
    }
    return d;
}

const std::string& kPrefix = velmora::testing::kMasterPrefix;
const std::string& kEot = velmora::testing::kMasterEnd;
std::string entry(int a, int b, int c, int d, int port) { return velmora::testing::masterEntry(a, b, c, d, port); }
std::vector<std::string> datagrams(const std::string& name) { return velmora::testing::masterDatagrams(name); }

}  // namespace

// The real master's lists: OpenArena (one server), the 300 registered
// stand-ins over two datagrams with the end marker only in the second, the
// DarkPlaces server, an unknown game's empty list.
TEST(MasterReplies, TheRecordedListsDecodeWhole) {
    const struct {
        const char* file;
        std::vector<int> counts;  // per datagram
        std::vector<int> lasts;
        const char* first;
    } cases[] = {
        {"dpm-getservers-71-empty-full.bin", {1}, {1}, "127.0.0.1:27961"},
        {"dpm-getservers-71.bin", {1}, {1}, "127.0.0.1:27961"},
        {"dpm-getservers-68-empty-full.bin", {196, 104}, {0, 1}, nullptr},
        {"dpm-getservers-darkplaces-quake.bin", {1}, {1}, nullptr},
        {"dpm-getservers-unknown-game.bin", {0}, {1}, nullptr},
    };
    for (const auto& c : cases) {
        const auto replies = datagrams(c.file);
        ASSERT_EQ(replies.size(), c.counts.size()) << c.file;
        for (size_t i = 0; i < replies.size(); ++i) {
            const Decoded d = decode(MasterProtocol::Quake3, replies[i]);
            EXPECT_EQ(d.count, c.counts[i]) << c.file << " datagram " << i;
            EXPECT_EQ(d.last, c.lasts[i]) << c.file << " datagram " << i;
            if (c.first && i == 0) {
                EXPECT_EQ(d.addresses.at(0), c.first) << c.file;
            }
        }
    }
}

// quakestat read 299 of the 300 servers of the same list (it lost one of the
// first datagram); every one it read is in ours.
TEST(MasterReplies, TheLongListHoldsEveryServerQuakestatRead) {
    std::vector<std::string> ours;
    for (const auto& reply : datagrams("dpm-getservers-68-empty-full.bin")) {
        const auto d = decode(MasterProtocol::Quake3, reply);
        ours.insert(ours.end(), d.addresses.begin(), d.addresses.end());
    }
    std::istringstream in(velmora::testing::readCapture("masters/qstat-q3m-68.txt"));
    std::string line;
    int read = 0;
    while (std::getline(in, line)) {
        if (line.rfind("q3s ", 0) != 0) continue;
        ++read;
        const std::string address = line.substr(4, line.find_first_of(" \r", 4) - 4);
        EXPECT_NE(std::find(ours.begin(), ours.end(), address), ours.end()) << address;
    }
    EXPECT_EQ(read, 299);
    EXPECT_EQ(ours.size(), 300u);
}

// Each protocol's own form, and hostile forms of each: a length that is no
// multiple of six, a cut end marker, another protocol's reply, a status
// reply, an empty datagram. A short tail is left, never an error.
TEST(MasterReplies, EachProtocolTakesItsOwnFormAndNothingElse) {
    const std::string two = entry(10, 0, 0, 1, 27500) + entry(192, 168, 1, 2, 27501);
    const struct {
        const char* what;
        MasterProtocol protocol;
        std::string reply;
        int count, last;
        const char* first;
    } cases[] = {
        {"qw with prefix", MasterProtocol::QuakeWorld, kPrefix + "d\n" + two, 2, 1, "10.0.0.1:27500"},
        {"qw without prefix", MasterProtocol::QuakeWorld, "d\n" + two, 2, 1, "10.0.0.1:27500"},
        {"qw short tail", MasterProtocol::QuakeWorld, "d\n" + two + "\x01\x02\x03", 2, 1, nullptr},
        {"qw empty list", MasterProtocol::QuakeWorld, "d\n", 0, 1, nullptr},
        {"qw status reply", MasterProtocol::QuakeWorld, kPrefix + "n\\hostname\\x", -1, 0, nullptr},
        {"qw empty datagram", MasterProtocol::QuakeWorld, "", -1, 0, nullptr},
        {"q2 blank", MasterProtocol::Quake2, kPrefix + "servers " + two, 2, 1, "10.0.0.1:27500"},
        {"q2 line end", MasterProtocol::Quake2, kPrefix + "servers\n" + two, 2, 1, "10.0.0.1:27500"},
        {"q2 without prefix", MasterProtocol::Quake2, "servers " + two, -1, 0, nullptr},
        {"q2 cut entry", MasterProtocol::Quake2, kPrefix + "servers " + two.substr(0, 9), 1, 1, nullptr},
        {"q3 one and end", MasterProtocol::Quake3, kPrefix + "getserversResponse\\" + entry(10, 0, 0, 1, 27960) + kEot,
         1, 1, "10.0.0.1:27960"},
        {"q3 no end marker", MasterProtocol::Quake3,
         kPrefix + "getserversResponse\\" + entry(10, 0, 0, 1, 27960) + "\\" + entry(10, 0, 0, 2, 27960), 2, 0,
         "10.0.0.1:27960"},
        {"q3 cut end marker", MasterProtocol::Quake3,
         kPrefix + "getserversResponse\\" + entry(10, 0, 0, 1, 27960) + std::string("\\EOT\0", 5), 1, 0, nullptr},
        {"q3 short entry", MasterProtocol::Quake3, kPrefix + "getserversResponse\\" + entry(10, 0, 0, 1, 27960) + "\\ab",
         1, 0, nullptr},
        {"q3 without separators", MasterProtocol::Quake3, kPrefix + "getserversResponse" + two, 0, 0, nullptr},
        {"q3 other reply", MasterProtocol::Quake3, kPrefix + "getserversExtResponse\\" + two, -1, 0, nullptr},
        {"q3 asked of qw", MasterProtocol::QuakeWorld, kPrefix + "getserversResponse\\" + two, -1, 0, nullptr},
        {"q3 prefix cut", MasterProtocol::Quake3, std::string("\xFF\xFF\xFF", 3), -1, 0, nullptr},
    };
    for (const auto& c : cases) {
        const Decoded d = decode(c.protocol, c.reply);
        EXPECT_EQ(d.count, c.count) << c.what;
        EXPECT_EQ(d.last, c.last) << c.what;
        if (c.first) {
            EXPECT_EQ(d.addresses.at(0), c.first) << c.what;
        }
    }
}

// The caller's room is never exceeded, and a full room still finds the end.
TEST(MasterReplies, NoMoreEntriesThanThereIsRoomFor) {
    std::string reply = kPrefix + "getserversResponse";
    for (int i = 0; i < 1000; ++i) reply += "\\" + entry(10, 0, i >> 8, i & 0xFF, 27960);
    reply += kEot;
    for (const int max : {0, 1, 32, 999, 1000, 1001}) {
        const Decoded d = decode(MasterProtocol::Quake3, reply, max);
        EXPECT_EQ(d.count, std::min(max, 1000)) << max;
        EXPECT_EQ(d.last, 1) << max;
    }
    const Decoded qw = decode(MasterProtocol::QuakeWorld, "d\n" + entry(1, 2, 3, 4, 5) + entry(1, 2, 3, 4, 6), 1);
    EXPECT_EQ(qw.count, 1);
}

TEST(MasterReplies, AddressesAreWrittenAsDottedQuadAndPort) {
    const struct {
        MasterAddress a;
        const char* text;
    } cases[] = {{{{0, 0, 0, 0}, 0}, "0.0.0.0:0"},
                 {{{255, 255, 255, 255}, 65535}, "255.255.255.255:65535"},
                 {{{127, 0, 1, 26}, 27961}, "127.0.1.26:27961"}};
    for (const auto& c : cases) {
        char text[22];
        formatMasterAddress(c.a, text);
        EXPECT_STREQ(text, c.text);
    }
}
