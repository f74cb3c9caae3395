// The built plug-ins as the host meets them: loaded by full path, eleven
// exports found by their plain names, called with the standard convention.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "plugins/include/velmora_plugin.h"
#include "tests/plugins/capture.h"
#include "tests/plugins/master_capture.h"

#ifndef VELMORA_PLUGIN_DIR
#error "VELMORA_PLUGIN_DIR names the folder of the built .vlm files"
#endif

using velmora::testing::kMasterEnd;
using velmora::testing::kMasterPrefix;
using velmora::testing::masterDatagrams;
using velmora::testing::masterEntry;
using velmora::testing::quake3List;
using velmora::testing::readCapture;

namespace {

struct Library {
    explicit Library(const std::string& path) : handle(LoadLibraryA(path.c_str())) {}
    ~Library() {
        if (handle) FreeLibrary(handle);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    template <class Fn>
    Fn get(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
    }
    HMODULE handle;
};

// What the host relies on from each game's plug-in, and one recorded reply.
struct Expected {
    const char* file;
    const char* gamename;
    const char* gameid;
    const char* defport;
    const char* sendstr;
    const char* capture;
    const char* name;
    const char* players;
};
const Expected kPlugins[] = {
    {"quake.vlm", "Quake", "qs", "26000", "\xff\xff\xff\xff" "getstatus", "nq-players/getstatus.bin", "peers-nq", "   2"},
    {"quakeworld.vlm", "QuakeWorld", "qws", "27500", "\xff\xff\xff\xff" "status 23\n", "qw-players/status-23.bin",
     "peers-qw", "   2"},
    {"quake2.vlm", "Quake II", "q2s", "27910", "\xff\xff\xff\xff" "status\n", nullptr, nullptr, nullptr},
    {"quake3.vlm", "Quake III Arena", "q3a", "27960", "\xff\xff\xff\xff" "getstatus", "q3-players/getstatus.bin",
     "peers-q3", "   2"},
    {"openarena.vlm", "OpenArena", "oa", "27960", "\xff\xff\xff\xff" "getstatus", "q3-empty/getstatus.bin",
     "peers-q3", "   0"},
};

std::string pathOf(const char* file) { return std::string(VELMORA_PLUGIN_DIR) + "\\" + file; }

}  // namespace

TEST(PluginLibraries, ExportTheSevenPlainNamesWithTheGamesTexts) {
    for (const auto& e : kPlugins) {
        Library lib(pathOf(e.file));
        ASSERT_NE(lib.handle, nullptr) << e.file << " does not load";
        const auto gamename = lib.get<getgamename_fn>("getgamename");
        const auto gameid = lib.get<getgameid_fn>("getgameid");
        const auto defport = lib.get<getdefport_fn>("getdefport");
        const auto sendstr = lib.get<getsendstr_fn>("getsendstr");
        const auto param = lib.get<getparam_fn>("getparam");
        const auto icon = lib.get<getgameicon_fn>("getgameicon");
        const auto decode = lib.get<decodedata_fn>("decodedata");
        ASSERT_TRUE(gamename && gameid && defport && sendstr && param && icon && decode) << e.file;
        // The decorated names of __stdcall must not be what the host finds.
        EXPECT_EQ(lib.get<void (*)()>("decodedata@8"), nullptr) << e.file;
        EXPECT_EQ(lib.get<void (*)()>("_getgamename@0"), nullptr) << e.file;

        EXPECT_STREQ(gamename(), e.gamename);
        EXPECT_STREQ(gameid(), e.gameid);
        EXPECT_STREQ(defport(), e.defport);
        EXPECT_STREQ(sendstr(), e.sendstr) << e.file;
        EXPECT_STREQ(param(), "+connect ");
        // A second call gives the same text: static storage, not a temporary.
        EXPECT_EQ(gamename(), gamename());
    }
}

TEST(PluginLibraries, DecodeARecordedReplyThroughTheExport) {
    for (const auto& e : kPlugins) {
        if (!e.capture) continue;
        Library lib(pathOf(e.file));
        ASSERT_NE(lib.handle, nullptr) << e.file;
        const auto decode = lib.get<decodedata_fn>("decodedata");
        ASSERT_NE(decode, nullptr);
        const std::string reply = readCapture(e.capture);
        ASSERT_FALSE(reply.empty()) << e.capture;
        ServerInfo info{};
        decode(&info, reply.c_str());  // the host passes the datagram up to its first zero byte
        ASSERT_TRUE(info.name && info.game && info.mod && info.map && info.players && info.maxplayers) << e.file;
        EXPECT_STREQ(info.name, e.name) << e.file;
        EXPECT_STREQ(info.players, e.players) << e.file;
        EXPECT_STREQ(info.maxplayers, "8") << e.file;
    }
}

TEST(PluginLibraries, FailureTextsAndNullArgumentsShowUnknown) {
    for (const auto& e : kPlugins) {
        Library lib(pathOf(e.file));
        ASSERT_NE(lib.handle, nullptr) << e.file;
        const auto decode = lib.get<decodedata_fn>("decodedata");
        ASSERT_NE(decode, nullptr);
        for (const char* reply : {"unknown error", "", "Bad information returned from server",
                                  static_cast<const char*>(nullptr)}) {
            ServerInfo info{};
            decode(&info, reply);
            for (const char* text : {info.name, info.game, info.mod, info.map, info.players, info.maxplayers}) {
                ASSERT_NE(text, nullptr) << e.file;
                EXPECT_STREQ(text, "???") << e.file << " " << (reply ? reply : "(null)");
            }
        }
        decode(nullptr, "unknown error");  // nothing to fill: no crash
    }
}

TEST(PluginLibraries, ListThePlayersOfARecordedReplyThroughTheExport) {
    // Each reference plug-in has the optional export; the entries point into
    // its storage and hold the names as the recorded server reported them.
    struct Case {
        const char* file;
        const char* capture;
        std::string listed;  // name/score/ping/spectator per player
    } const cases[] = {
        {"quakeworld.vlm", "qw-players/status-23.bin", "PeerSpec1//999/1 PeerQW1/0/999/0 PeerQW2/0/999/0 "},
        {"quake3.vlm", "q3-players/getstatus.bin", "Sarge/0/0/0 Angelyss/0/0/0 "},
        {"quake.vlm", "nq-players/getstatus.bin", "PeerBot1/7/0/0 PeerBot2/3/0/0 "},
        {"openarena.vlm", "q3-empty/getstatus.bin", ""},
        {"quake2.vlm", "q3-players/getstatus.bin", ""},  // not a Quake II reply
    };
    for (const auto& c : cases) {
        Library lib(pathOf(c.file));
        ASSERT_NE(lib.handle, nullptr) << c.file;
        const auto players = lib.get<decodeplayers_fn>("decodeplayers");
        ASSERT_NE(players, nullptr) << c.file;
        const std::string reply = readCapture(c.capture);
        PlayerInfo list[8] = {};
        const int count = players(list, 8, reply.c_str());
        std::string listed;
        for (int i = 0; i < count; ++i)
            listed += std::string(list[i].name) + "/" + list[i].score + "/" + list[i].ping + "/" +
                      std::to_string(list[i].spectator) + " ";
        EXPECT_EQ(listed, c.listed) << c.file;
        // One entry asked for: one written, nothing past it.
        PlayerInfo one[2] = {};
        EXPECT_EQ(players(one, 1, reply.c_str()), c.listed.empty() ? 0 : 1) << c.file;
        EXPECT_EQ(one[1].name, nullptr) << c.file;
        EXPECT_EQ(players(list, 0, reply.c_str()), 0) << c.file;
        EXPECT_EQ(players(nullptr, 8, reply.c_str()), 0) << c.file;
        EXPECT_EQ(players(list, 8, nullptr), 0) << c.file;
    }
}

TEST(PluginLibraries, IconsAre16By16) {
    for (const auto& e : kPlugins) {
        const std::string path = pathOf(e.file);
        Library lib(path);
        ASSERT_NE(lib.handle, nullptr) << e.file;
        const auto geticon = lib.get<getgameicon_fn>("getgameicon");
        ASSERT_NE(geticon, nullptr);
        HICON icon = geticon(path.c_str());
        ASSERT_NE(icon, nullptr) << e.file;
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(icon, &ii)) << e.file;
        EXPECT_TRUE(ii.fIcon);
        BITMAP bm{};
        ASSERT_NE(ii.hbmColor, nullptr) << e.file << ": a colour icon";
        ASSERT_TRUE(GetObjectA(ii.hbmColor, sizeof bm, &bm));
        EXPECT_EQ(bm.bmWidth, 16) << e.file;
        EXPECT_EQ(bm.bmHeight, 16) << e.file;
        DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
        EXPECT_TRUE(DestroyIcon(icon));  // the host owns and destroys it
    }
}

TEST(PluginLibraries, EachGameHasItsOwnIcon) {
    // Icons of two games must differ in their pixels.
    std::string seen[std::size(kPlugins)];
    for (size_t i = 0; i < std::size(kPlugins); ++i) {
        const std::string path = pathOf(kPlugins[i].file);
        Library lib(path);
        ASSERT_NE(lib.handle, nullptr);
        HICON icon = lib.get<getgameicon_fn>("getgameicon")(path.c_str());
        ASSERT_NE(icon, nullptr);
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(icon, &ii));
        HDC dc = GetDC(nullptr);
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = 16;
        bi.bmiHeader.biHeight = 16;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        std::string pixels(16 * 16 * 4, '\0');
        EXPECT_EQ(GetDIBits(dc, ii.hbmColor, 0, 16, pixels.data(), &bi, DIB_RGB_COLORS), 16);
        ReleaseDC(nullptr, dc);
        DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
        DestroyIcon(icon);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(seen[j], pixels) << kPlugins[i].file << " vs " << kPlugins[j].file;
        seen[i] = pixels;
    }
}

namespace {

struct MasterExports {
    getmasters_fn masters;
    getmastersendstr_fn sendstr;
    decodemaster_fn decode;
};
MasterExports masterExports(const Library& lib) {
    return {lib.get<getmasters_fn>("getmasters"), lib.get<getmastersendstr_fn>("getmastersendstr"),
            lib.get<decodemaster_fn>("decodemaster")};
}

struct Listed {
    int count = 0;
    int last = -1;
    std::string first;
};

// decodemaster with room for `max` entries and a marked one after them, which
// must come back untouched.
Listed decodeList(decodemaster_fn decode, const std::string& reply, int max = 512) {
    std::string room((static_cast<size_t>(max) + 1) * sizeof(MasterEntry), '\x5a');
    auto* entries = reinterpret_cast<MasterEntry*>(room.data());
    Listed l;
    l.count = decode(entries, max, reply.data(), static_cast<int>(reply.size()), &l.last);
    EXPECT_EQ(room.substr(static_cast<size_t>(max) * sizeof(MasterEntry)), std::string(sizeof(MasterEntry), '\x5a'))
        << "written past max";
    if (l.count > 0) l.first = entries[0].address;
    return l;
}

}  // namespace

// Every reference game has a list: its masters as "host:port" words, and the
// query its own clients send, up to the zero byte that goes out with it.
TEST(PluginLibraries, MasterExportsGiveEachGamesMastersAndQuery) {
    const struct {
        const char* file;
        std::string sendstr;
        int masters;
        const char* firstMaster;
    } cases[] = {
        {"quake.vlm", "\xFF\xFF\xFF\xFFgetservers DarkPlaces-Quake 3 empty full", 3,
         "dpmaster.deathmask.net:27950"},
        {"quakeworld.vlm", "c\n", 4, "master.quakeservers.net:27000"},
        {"quake2.vlm", "query\n", 2, "master.quakeservers.net:27900"},
        {"quake3.vlm", "\xFF\xFF\xFF\xFFgetservers 68 empty full", 3, "master.quake3arena.com:27950"},
        {"openarena.vlm", "\xFF\xFF\xFF\xFFgetservers 71 empty full", 2, "dpmaster.deathmask.net:27950"},
    };
    for (const auto& c : cases) {
        Library lib(pathOf(c.file));
        ASSERT_NE(lib.handle, nullptr) << c.file;
        const MasterExports m = masterExports(lib);
        ASSERT_TRUE(m.masters && m.sendstr && m.decode) << c.file;
        EXPECT_EQ(lib.get<void (*)()>("decodemaster@20"), nullptr) << c.file;
        EXPECT_EQ(std::string(m.sendstr()), c.sendstr) << c.file;
        EXPECT_EQ(m.sendstr(), m.sendstr()) << c.file << ": static storage";

        const std::string masters = m.masters();
        std::vector<std::string> words;
        for (size_t from = 0; from <= masters.size();) {
            const size_t blank = std::min(masters.find(' ', from), masters.size());
            words.push_back(masters.substr(from, blank - from));
            from = blank + 1;
        }
        ASSERT_EQ(static_cast<int>(words.size()), c.masters) << c.file << ": " << masters;
        EXPECT_EQ(words[0], c.firstMaster) << c.file;
        for (const auto& w : words) {
            const size_t colon = w.find(':');
            ASSERT_NE(colon, std::string::npos) << w;
            EXPECT_GT(colon, 0u) << w;
            EXPECT_EQ(w.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-"), colon) << w;
            const std::string port = w.substr(colon + 1);
            EXPECT_TRUE(!port.empty() && port.size() <= 5 && port[0] != '0' &&
                        port.find_first_not_of("0123456789") == std::string::npos && std::stol(port) <= 65535)
                << w;
        }
    }
}

// A real master's lists through each game's export: the OpenArena and
// DarkPlaces servers, 300 servers over two datagrams with the end in the
// second, an empty list; another protocol's game refuses them.
TEST(PluginLibraries, DecodeRecordedMasterListsThroughTheExport) {
    const struct {
        const char* file;
        const char* capture;
        std::vector<int> counts;  // per datagram
        std::vector<int> lasts;
        const char* first;
    } cases[] = {
        {"openarena.vlm", "dpm-getservers-71-empty-full.bin", {1}, {1}, "127.0.0.1:27961"},
        {"quake3.vlm", "dpm-getservers-68-empty-full.bin", {196, 104}, {0, 1}, "127.0.1.111:27960"},
        {"quake.vlm", "dpm-getservers-darkplaces-quake.bin", {1}, {1}, "127.0.0.1:26001"},
        {"quake.vlm", "dpm-getservers-unknown-game.bin", {0}, {1}, ""},
        {"quakeworld.vlm", "dpm-getservers-71-empty-full.bin", {-1}, {0}, ""},
        {"quake2.vlm", "dpm-getservers-68-empty-full.bin", {-1, -1}, {0, 0}, ""},
    };
    for (const auto& c : cases) {
        Library lib(pathOf(c.file));
        ASSERT_NE(lib.handle, nullptr) << c.file;
        const auto decode = masterExports(lib).decode;
        ASSERT_NE(decode, nullptr) << c.file;
        const auto replies = masterDatagrams(c.capture);
        ASSERT_EQ(replies.size(), c.counts.size()) << c.capture;
        for (size_t i = 0; i < replies.size(); ++i) {
            const Listed l = decodeList(decode, replies[i]);
            EXPECT_EQ(l.count, c.counts[i]) << c.file << " " << c.capture << " datagram " << i;
            EXPECT_EQ(l.last, c.lasts[i]) << c.file << " " << c.capture << " datagram " << i;
            if (i == 0) {
                EXPECT_EQ(l.first, c.first) << c.file << " " << c.capture;
            }
        }
    }
}

// Hostile datagrams: a length that is no multiple of six, a cut end marker,
// another game's reply, a status reply; what is left is no error, what is
// foreign is -1.
TEST(PluginLibraries, MasterExportTakesHostileRepliesCalmly) {
    const std::string two = masterEntry(10, 0, 0, 1, 27500) + masterEntry(10, 0, 0, 2, 27501);
    const struct {
        const char* what;
        const char* file;
        std::string reply;
        int count, last;
        const char* first;
    } cases[] = {
        {"qw list", "quakeworld.vlm", kMasterPrefix + "d\n" + two, 2, 1, "10.0.0.1:27500"},
        {"qw list, no multiple of 6", "quakeworld.vlm", "d\n" + two + std::string("\x0a\x00\x00\x01", 4), 2, 1,
         "10.0.0.1:27500"},
        {"q2 list, no multiple of 6", "quake2.vlm", kMasterPrefix + "servers " + two.substr(0, 10), 1, 1,
         "10.0.0.1:27500"},
        {"q3 cut end marker", "openarena.vlm",
         kMasterPrefix + "getserversResponse\\" + masterEntry(10, 0, 0, 1, 27960) + std::string("\\EOT\0\0", 6), 1,
         0, "10.0.0.1:27960"},
        {"q3 short entry", "quake3.vlm", quake3List(2, false) + std::string("\\\x0a\x00", 3), 2, 0, "10.0.0.0:27960"},
        {"qw list asked of quake3", "quake3.vlm", "d\n" + two, -1, 0, ""},
        {"q3 list asked of quakeworld", "quakeworld.vlm", quake3List(2, true), -1, 0, ""},
        {"q3 list asked of quake2", "quake2.vlm", quake3List(2, true), -1, 0, ""},
        {"q2 list asked of quake", "quake.vlm", kMasterPrefix + "servers " + two, -1, 0, ""},
        {"status reply", "quake.vlm", kMasterPrefix + "statusResponse\n\\hostname\\x\n", -1, 0, ""},
        {"empty datagram", "openarena.vlm", "", -1, 0, ""},
    };
    for (const auto& c : cases) {
        Library lib(pathOf(c.file));
        ASSERT_NE(lib.handle, nullptr) << c.file;
        const auto decode = masterExports(lib).decode;
        ASSERT_NE(decode, nullptr) << c.file;
        const Listed l = decodeList(decode, c.reply);
        EXPECT_EQ(l.count, c.count) << c.what;
        EXPECT_EQ(l.last, c.last) << c.what;
        EXPECT_EQ(l.first, c.first) << c.what;
    }
}

// The caller's room is kept to: no entry past `max`, none at all for 0 or a
// null array (the reply still told apart), and the largest datagram whole.
TEST(PluginLibraries, MasterExportKeepsToTheRoomItIsGiven) {
    Library lib(pathOf("quake3.vlm"));
    ASSERT_NE(lib.handle, nullptr);
    const auto decode = masterExports(lib).decode;
    ASSERT_NE(decode, nullptr);
    const std::string reply = quake3List(300, true);
    const int size = static_cast<int>(reply.size());
    for (const int max : {1, 7, 196, 299, 300, 301}) {
        const Listed l = decodeList(decode, reply, max);
        EXPECT_EQ(l.count, std::min(max, 300)) << max;
        EXPECT_EQ(l.last, 1) << max;
    }
    MasterEntry entry{};
    int last = -1;
    EXPECT_EQ(decode(&entry, 0, reply.data(), size, &last), 0);
    EXPECT_EQ(last, 1);
    EXPECT_EQ(entry.address[0], '\0');
    EXPECT_EQ(decode(nullptr, 8, reply.data(), size, &last), 0);
    EXPECT_EQ(decode(&entry, -1, reply.data(), size, &last), 0);
    EXPECT_EQ(decode(&entry, 1, "d\n", 2, &last), -1);
    EXPECT_EQ(decode(&entry, 1, nullptr, 8, &last), -1);
    EXPECT_EQ(decode(&entry, 1, reply.data(), size, nullptr), 1);
    EXPECT_STREQ(entry.address, "10.0.0.0:27960");

    // A QuakeWorld datagram as large as UDP allows: every entry comes back.
    Library qw(pathOf("quakeworld.vlm"));
    ASSERT_NE(qw.handle, nullptr);
    std::string big = "d\n";
    const int most = (65535 - 2) / 6;
    for (int i = 0; i < most; ++i) big += masterEntry(10, i >> 16, (i >> 8) & 0xFF, i & 0xFF, 27500);
    std::vector<MasterEntry> all(static_cast<size_t>(most) + 10);
    EXPECT_EQ(masterExports(qw).decode(all.data(), most + 10, big.data(), static_cast<int>(big.size()), &last), most);
    EXPECT_EQ(last, 1);
    EXPECT_EQ(std::string(all[static_cast<size_t>(most) - 1].address),
              "10.0." + std::to_string(((most - 1) >> 8) & 0xFF) + "." + std::to_string((most - 1) & 0xFF) + ":27500");
}
