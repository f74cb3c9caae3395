// The query windows the main window opens and releases: many of them opened,
// answered and closed leave no GDI or USER object behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "app/main_win.h"
#include "query/loading_win.h"
#include "tests/net/netloop_win.h"
#include "tests/net/udpresponder_win.h"
#include "tests/support/guiresources_win.h"
#include "tests/support/registry_fixture_win.h"

using namespace velmora;
using namespace velmora::testing;
using velmora::test::UdpResponder;
namespace fs = std::filesystem;

namespace {
const std::string kRoot = "software\\Drovik\\Velmora";
}

// Each window makes fonts, bitmaps, DCs, a socket window and a timer; a
// closed one is released from the message loop. After a first round (which
// makes what stays for the run: window classes, the shared tick window, the
// socket library's window), 50 more windows cost nothing that outlives them.
TEST(QueryWindows, FiftyWindowsOpenedAndClosedLeaveNoObjectBehind) {
    velmora::test::app();
    deleteUserKey(kRoot);
    const fs::path folder = fs::temp_directory_path() / ("velmora-windows-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder / "plugins");
    fs::copy_file(fs::path(exefolder()) / "testplugins" / "gamma.vlm", folder / "plugins" / "gamma.vlm");
    UdpResponder server(velmora::test::answerWithPrefix);
    const std::string address = "127.0.0.1:" + std::to_string(server.port());
    {
        Tmainform form;
        form.loadplugins(folder.string() + "\\");
        const auto round = [&](int windows) {
            for (int i = 0; i < windows; ++i) {
                form.openquery(0, address, "");
                Tloadform& w = *form.queries().back();
                ASSERT_TRUE(velmora::test::pump(10000, [&] { return w.started && w.finished; }));
                w.close();
                ASSERT_TRUE(velmora::test::pump(10000, [&] { return form.queries().empty(); }));
            }
        };
        round(2);
        const GuiObjects before = guiObjects();
        round(50);
        const GuiObjects after = guiObjects();
        EXPECT_EQ(server.received().size(), 52u) << "every window asked once";
        EXPECT_EQ(after.gdi, before.gdi) << "GDI objects" << (after.walked ? " (walked)" : "");
        EXPECT_EQ(after.user, before.user) << "USER objects" << (after.walked ? " (walked)" : "");
        EXPECT_GT(before.gdi, 0u);
        EXPECT_GT(before.user, 0u);
    }
    deleteUserKey(kRoot);
    fs::remove_all(folder);
}
