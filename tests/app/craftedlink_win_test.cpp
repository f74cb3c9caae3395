// A downloaded link file under Wine, opened by the main window as a command
// line or a hand-off opens it, while the status watcher asks the player's own
// server every round: a file whose address and title hold commas must not
// send a datagram anywhere, nor leave pieces in the stored history that the
// watcher would ask every round from then on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/main_win.h"
#include "tests/net/netloop_win.h"
#include "tests/net/udpresponder_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/registry_fixture_win.h"

using namespace velmora;
using namespace velmora::testing;
using velmora::test::UdpResponder;
namespace fs = std::filesystem;

namespace {
const std::string kRoot = "software\\Drovik\\Velmora";

class CraftedLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        velmora::test::app();
        deleteUserKey(kRoot);
        setUserString(kRoot, "", "The Velmora by Drovik.");
        folder_ = fs::temp_directory_path() / ("velmora-crafted-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        fs::copy_file(fs::path(VELMORA_PLUGIN_DIR) / "quakeworld.vlm", folder_ / "plugins" / "quakeworld.vlm");
    }
    void TearDown() override {
        deleteUserKey(kRoot);
        fs::remove_all(folder_);
    }
    fs::path folder_;
};

std::string port(const UdpResponder& r) { return std::to_string(r.port()); }
}  // namespace

TEST_F(CraftedLinkTest, ALinkFileWithCommasSendsNothingAndLeavesTheHistoryWhole) {
    // The player's own server, and three loopback addresses the file names.
    UdpResponder mine;
    UdpResponder second(nullptr, 0, 0x7F000002), third(nullptr, 0, 0x7F000003), fourth(nullptr, 0, 0x7F000004);
    const std::string history = "127.0.0.1:" + port(mine) + ",";
    setUserString(kRoot + "\\qws", "history", history);
    setUserString(kRoot, "watch", "1");
    const fs::path file = folder_ / "friday.server";
    std::ofstream(file, std::ios::binary) << "127.0.0.2:" << port(second) << ",127.0.0.3:" << port(third)
                                          << ",127.0.0.4:" << port(fourth) << " qws \"Fri,day\"\r\n";

    auto form = std::make_unique<Tmainform>();
    form->setwatchminute(300);  // a round every 300 ms
    form->loadplugins(folder_.string() + "\\");
    form->startwatch();
    ASSERT_TRUE(velmora::test::pump(10000, [&] { return !mine.received().empty(); })) << "the watcher runs";

    MessageBoxWatcher boxes;
    form->opencmdline(file.string());
    // Three more rounds after the link: every server the history then held
    // was asked.
    const size_t asked = mine.received().size();
    ASSERT_TRUE(velmora::test::pump(15000, [&] { return mine.received().size() >= asked + 3; }));

    EXPECT_TRUE(second.received().empty()) << second.received().size() << " datagrams to 127.0.0.2";
    EXPECT_TRUE(third.received().empty()) << third.received().size() << " datagrams to 127.0.0.3";
    EXPECT_TRUE(fourth.received().empty()) << fourth.received().size() << " datagrams to 127.0.0.4";
    EXPECT_EQ(userValue(kRoot + "\\qws", "history"), history + '\0') << "the value as stored, its zero included";
    EXPECT_TRUE(form->queries().empty()) << "no query window opens for a refused link";
    // The refusal is told in one of the program's own message boxes, with why.
    ASSERT_TRUE(boxes.waitFor(1));
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].caption, "Velmora");
    EXPECT_EQ(boxes.messages()[0].text.rfind("This link was not opened:", 0), 0u) << boxes.messages()[0].text;
    EXPECT_NE(boxes.messages()[0].text.find("Its host is not a dotted quad"), std::string::npos)
        << boxes.messages()[0].text;
}
