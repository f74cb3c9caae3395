// The built plug-ins as the host meets them: loaded by full path, eight
// exports found by their plain names, called with the standard convention.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugins/include/velmora_plugin.h"
#include "tests/plugins/capture.h"

#ifndef VELMORA_PLUGIN_DIR
#error "VELMORA_PLUGIN_DIR names the folder of the built .vlm files"
#endif

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
