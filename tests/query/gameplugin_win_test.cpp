// The game table's libraries under Wine: a plug-in handed to a game row stays
// loaded for as long as the row lives, and the watcher's decoder works
// through it, so no datagram loads a library and junk never reaches it. The
// counting plug-in tells how often it was really loaded and how often it
// decoded.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/pluginhost_win.h"
#include "core/velmoraglobal.h"
#include "watch/watcher_win.h"

using namespace velmora;

namespace {

const std::string kFF("\xFF\xFF\xFF\xFF", 4);

std::string countingPlugin() {
    std::string path = VELMORA_COUNTING_PLUGIN;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

long counted(const char* name) {
    char text[32] = {};
    const DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    return n > 0 && n < sizeof text ? std::atol(text) : 0;
}
long loads() { return counted("VELMORA_COUNTING_LOADS"); }
long decodes() { return counted("VELMORA_COUNTING_DECODES"); }

bool loaded() { return GetModuleHandleA(countingPlugin().c_str()) != nullptr; }

// A row as the main window makes it: the texts, and the library kept.
tplugin loadedRow() {
    auto library = PluginLibrary::load(countingPlugin());
    if (!library) return {};
    const std::shared_ptr<const PluginExports> plugin = PluginLibrary::keep(std::move(*library));
    tplugin row;
    row.gamename = plugintext(plugin->getgamename());
    row.sendstr = plugintext(plugin->getsendstr());
    row.pluginfile = countingPlugin();
    row.calls = plugin;
    return row;
}

class PluginPath : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnvironmentVariableA("VELMORA_COUNTING_LOADS", nullptr);
        SetEnvironmentVariableA("VELMORA_COUNTING_DECODES", nullptr);
        ASSERT_FALSE(loaded()) << "no test leaves the library loaded";
    }
};

}  // namespace

// The library goes with the last holder of its exports, not before.
TEST_F(PluginPath, AKeptLibraryStaysLoadedUntilItsLastHolderGoes) {
    auto library = PluginLibrary::load(countingPlugin());
    ASSERT_TRUE(library);
    std::shared_ptr<const PluginExports> kept = PluginLibrary::keep(std::move(*library));
    library.reset();
    std::shared_ptr<const PluginCalls> calls = kept;
    kept.reset();
    EXPECT_TRUE(loaded()) << "the decoders alone hold it";
    EXPECT_NE(calls->decodedata, nullptr);
    calls.reset();
    EXPECT_FALSE(loaded());
    EXPECT_EQ(loads(), 1);
}

// The watcher asks every recent server, and anyone may send datagrams from
// a watched address: a stream of junk loads nothing and reaches no plug-in;
// the status reply after it is decoded by the library the row holds.
TEST_F(PluginPath, TheWatchersDecoderLoadsNothingAndJunkNeverReachesThePlugin) {
    {
        std::vector<tplugin> rows{loadedRow()};
        ASSERT_TRUE(rows[0].calls);
        ASSERT_EQ(loads(), 1);
        const watch::WatchDecoder decode = watch::plugindecoder(rows);
        const std::string junk[] = {"", "hello", kFF, kFF + "infoResponse\n\\hostname\\x",
                                    kFF + "print\n\\hostname\\x\n", kFF + "statusRespons"};
        for (int round = 0; round < 20; ++round)
            for (const std::string& datagram : junk) {
                const query::DecodedTexts texts = decode(0, datagram);
                ASSERT_EQ(texts.players, "???") << datagram;
                ASSERT_EQ(texts.name, "???") << datagram;
            }
        EXPECT_EQ(decodes(), 0) << "no junk reached the plug-in";
        const query::DecodedTexts texts = decode(0, kFF + "statusResponse\nFriday Frags");
        EXPECT_EQ(texts.name, "Friday Frags");
        EXPECT_EQ(texts.players, "xxx2");
        EXPECT_EQ(texts.map, "DM4");
        EXPECT_EQ(decodes(), 1);
        EXPECT_EQ(decode(1, kFF + "statusResponse\nx").name, "???") << "no such game";
        EXPECT_EQ(loads(), 1) << "one load, at start-up, for 122 datagrams";
        EXPECT_TRUE(loaded());
    }
    EXPECT_FALSE(loaded()) << "the library goes with its row";
}
