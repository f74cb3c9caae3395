// The player's zip, unpacked: its velmora.exe starts in a prefix of its own,
// loads every plug-in it ships and answers a link for each game by sending
// that plug-in's status query to the link's loopback address.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_win.h"
#include "settings/settingsform_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/udp_listener_win.h"
#include "tests/support/velmora_process_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

const std::string kRoot = "software\\Drovik\\Velmora";

struct Game {
    std::string file, name, id, sendstr;
};

// What each shipped plug-in says of itself, asked the way the program asks.
std::vector<Game> shippedGames(const fs::path& folder) {
    std::vector<Game> games;
    for (const auto& entry : fs::directory_iterator(folder / "plugins")) {
        if (entry.path().extension() != ".vlm") continue;
        const HMODULE lib = LoadLibraryA(entry.path().string().c_str());
        if (!lib) {
            ADD_FAILURE() << entry.path() << " does not load";
            continue;
        }
        auto text = [&](const char* name) {
            auto fn = reinterpret_cast<const char*(__stdcall*)()>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
            return fn ? std::string(fn()) : std::string("(no ") + name + ")";
        };
        games.push_back({entry.path().filename().string(), text("getgamename"), text("getgameid").substr(0, 3),
                         text("getsendstr")});
        FreeLibrary(lib);
    }
    return games;
}

bool answersIdentify(HWND main) {
    for (int i = 0; i < 500; ++i) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(main, WM_IDENTIFY, 0, 0, SMTO_NORMAL, 1000, &answer) &&
            answer == static_cast<DWORD_PTR>(kIdentifyAnswer))
            return true;
        Sleep(20);
    }
    return false;
}

int visibleWindows(const VelmoraProcess& p, const char* cls) {
    int count = 0;
    for (HWND hwnd : VelmoraProcess::windowsOfClass(cls)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == p.id() && IsWindowVisible(hwnd)) ++count;
    }
    return count;
}

}  // namespace

TEST(ReleaseZip, TheUnpackedProgramLoadsEveryPlugInAndAnswersALinkForEachGame) {
    const char* dir = std::getenv("VELMORA_RELEASE_DIR");
    ASSERT_TRUE(dir) << "VELMORA_RELEASE_DIR names the unpacked zip";
    const fs::path folder = dir;
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &wsa), 0);

    const std::vector<Game> games = shippedGames(folder);
    ASSERT_EQ(games.size(), 5u);

    VelmoraProcess velmora(folder / "velmora.exe", "");
    MessageBoxWatcher boxes(velmora.id());
    ASSERT_TRUE(velmora.started());
    ASSERT_TRUE(boxes.waitFor(1, 30000)) << "a new prefix is a first run: the greeting comes";
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{kFirstRunGreeting});
    const HWND main = velmora.window(kMainformClass, 30000);
    ASSERT_TRUE(main);
    ASSERT_TRUE(answersIdentify(main));

    // One link per game, each handed over by a second copy; a game whose
    // plug-in did not load would end in "Game cannot be determindeded".
    for (size_t i = 0; i < games.size(); ++i) {
        const Game& game = games[i];
        SCOPED_TRACE(game.file + " (" + game.name + ", " + game.id + ")");
        Listener server;
        const std::string address = "127.0.0.1:" + std::to_string(server.port());
        VelmoraProcess second(folder / "velmora.exe", address + " " + game.id);
        EXPECT_EQ(second.waitExit(20000), 0u);
        EXPECT_EQ(server.receive(20000), game.sendstr) << "the query window sends the plug-in's query";
        EXPECT_EQ(userValue(kRoot + "\\" + game.id, "history"), address + "," + '\0');
        EXPECT_EQ(visibleWindows(velmora, "Tloadform"), static_cast<int>(i + 1));
    }
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{kFirstRunGreeting}) << "no box after the greeting";

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(velmora.waitExit(15000), 0u);
    WSACleanup();
}
