// The main window's watcher under Wine with the real QuakeWorld and
// OpenArena plug-ins, against loopback peers that answer with recorded
// status replies: the real tray menu read back, the tip, the balloon the
// shell is handed and what a click on it opens.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/main_win.h"
#include "query/loading_win.h"
#include "tests/net/netloop_win.h"
#include "tests/net/udpresponder_win.h"
#include "tests/support/registry_fixture_win.h"
#include "watch/watchrules.h"

using namespace velmora;
using namespace velmora::testing;
using velmora::test::UdpResponder;
namespace fs = std::filesystem;

namespace {
const std::string kRoot = "software\\Drovik\\Velmora";

std::string capture(const std::string& name) {
    std::ifstream in(std::string(VELMORA_CAPTURES) + "\\" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> texts(HMENU menu) {
    std::vector<std::string> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        out.push_back(text);
    }
    return out;
}

class WatchMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        velmora::test::app();
        deleteUserKey(kRoot);
        setUserString(kRoot, "", "The Velmora by Drovik.");
        folder_ = fs::temp_directory_path() / ("velmora-watch-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        for (const char* name : {"openarena.vlm", "quakeworld.vlm"})
            fs::copy_file(fs::path(VELMORA_PLUGIN_DIR) / name, folder_ / "plugins" / name);
    }
    void TearDown() override {
        deleteUserKey(kRoot);
        fs::remove_all(folder_);
    }
    // A main window of the two games watching with a minute of `minute` ms
    // ("watch" "1" is one round every `minute` ms).
    std::unique_ptr<Tmainform> start(std::uint32_t minute = 300) {
        auto form = std::make_unique<Tmainform>();
        form->setwatchminute(minute);
        form->loadplugins(folder_.string() + "\\");
        calls_.clear();
        form->tray.ShellNotify = [this](DWORD message, NOTIFYICONDATAA& data) {
            calls_.emplace_back(message, data);
            return Shell_NotifyIconA(message, &data);
        };
        form->startwatch();
        return form;
    }
    std::vector<NOTIFYICONDATAA> balloons() const {
        std::vector<NOTIFYICONDATAA> out;
        for (const auto& [message, data] : calls_)
            if (message == NIM_MODIFY && (data.uFlags & NIF_INFO)) out.push_back(data);
        return out;
    }
    std::vector<std::pair<DWORD, NOTIFYICONDATAA>> calls_;
    fs::path folder_;
};

std::string addr(const UdpResponder& r) { return "127.0.0.1:" + std::to_string(r.port()); }
}  // namespace

TEST_F(WatchMainTest, TheMenuShowsFiguresAndTheTipNamesTheBusiestServer) {
    UdpResponder qw([](const std::string&) { return std::vector<std::string>{capture("qw-players\\status.bin")}; });
    UdpResponder oa([](const std::string&) { return std::vector<std::string>{capture("q3-empty\\getstatus.bin")}; });
    UdpResponder silent;
    setUserString(kRoot + "\\qws", "history", addr(qw) + ",\"Silent\"" + addr(silent) + ",");
    setUserString(kRoot + "\\oa", "history", addr(oa) + ",");
    setUserString(kRoot, "watch", "1");
    auto form = start();
    const HMENU menu = form->imagemenu().handle();
    ASSERT_TRUE(velmora::test::pump(10000, [&] { return texts(GetSubMenu(menu, 0)).back() == "Silent\tno answer"; }));
    EXPECT_EQ(texts(GetSubMenu(menu, 0)),
              (std::vector<std::string>{"Enter address...", "", addr(qw) + "\t2/8 start", "Silent\tno answer"}));
    EXPECT_EQ(texts(GetSubMenu(menu, 1)), (std::vector<std::string>{"Enter address...", "", addr(oa) + "\t0/8 oa_dm1"}));
    EXPECT_EQ(form->tray.hint(), "the Velmora: 2 on " + addr(qw));
    EXPECT_STREQ(form->tray.notifydata().szTip, ("the Velmora: 2 on " + addr(qw)).c_str());
}

// A player joins the empty server between two rounds: one balloon with the
// entry's caption and the figures; the next rounds with the same player give
// none; a click on the balloon opens the server as its menu entry does.
TEST_F(WatchMainTest, APlayerJoiningTheEmptyServerGivesOneBalloon) {
    const struct {
        const char* notify;  // nullptr: missing
        size_t balloons;
    } cases[] = {{nullptr, 1}, {"1", 1}, {"0", 0}};
    for (const auto& c : cases) {
        std::atomic<bool> joined{false};
        UdpResponder oa([&](const std::string&) {
            return std::vector<std::string>{capture(joined ? "q3-players\\getstatus.bin" : "q3-empty\\getstatus.bin")};
        });
        setUserString(kRoot + "\\oa", "history", "\"Friday night\"" + addr(oa) + ",");
        setUserString(kRoot, "watch", "1");
        if (c.notify) setUserString(kRoot, "notify", c.notify);
        auto form = start();
        const HMENU servers = GetSubMenu(form->imagemenu().handle(), 1);
        ASSERT_TRUE(velmora::test::pump(10000, [&] { return texts(servers).back() == "Friday night\t0/8 oa_dm1"; }));
        joined = true;
        ASSERT_TRUE(velmora::test::pump(10000, [&] { return texts(servers).back() == "Friday night\t2/8 oa_dm1"; }));
        const size_t asked = oa.received().size();
        ASSERT_TRUE(velmora::test::pump(10000, [&] { return oa.received().size() >= asked + 2; }));
        const auto shown = balloons();
        ASSERT_EQ(shown.size(), c.balloons) << (c.notify ? c.notify : "missing");
        EXPECT_EQ(form->tray.hint(), "the Velmora: 2 on Friday night");
        if (shown.empty()) {
            deleteUserKey(kRoot);
            setUserString(kRoot, "", "The Velmora by Drovik.");
            continue;
        }
        EXPECT_STREQ(shown[0].szInfoTitle, "Friday night");
        EXPECT_STREQ(shown[0].szInfo, "2 playing on oa_dm1");
        EXPECT_EQ(shown[0].hWnd, form->tray.handle());
        // The click opens the query window of that server, with its title.
        PostMessageA(form->tray.handle(), kTrayCallbackMessage, 0, kBalloonUserClick);
        ASSERT_TRUE(velmora::test::pump(10000, [&] { return !form->queries().empty(); }));
        EXPECT_EQ(form->queries().back()->caption(), "Friday night");
        deleteUserKey(kRoot);
        setUserString(kRoot, "", "The Velmora by Drovik.");
    }
}

// "0" sends nothing and shows nothing, seen while the same servers answer a
// second watcher that is on.
TEST_F(WatchMainTest, OffAsksNothingAndShowsNoStatus) {
    UdpResponder qw([](const std::string&) { return std::vector<std::string>{capture("qw-players\\status.bin")}; });
    setUserString(kRoot + "\\qws", "history", addr(qw) + ",");
    setUserString(kRoot, "watch", "0");
    auto off = start();
    UdpResponder other([](const std::string&) { return std::vector<std::string>{capture("qw-players\\status.bin")}; });
    velmora::watch::Watcher on([](int, const std::string&) { return velmora::query::DecodedTexts{}; });
    const std::string entry = addr(other);
    on.settargets({{0, entry, entry, "127.0.0.1", static_cast<std::uint16_t>(other.port()), "\xFF\xFF\xFF\xFFstatus\n"}});
    on.setinterval(300);
    ASSERT_TRUE(velmora::test::pump(20000, [&] { return other.received().size() >= 3; }));
    EXPECT_TRUE(qw.received().empty());
    EXPECT_EQ(texts(GetSubMenu(off->imagemenu().handle(), 0)).back(), addr(qw));
    EXPECT_EQ(off->tray.hint(), "the Velmora");
    // Switched on by the settings, the same window starts asking.
    setUserString(kRoot, "watch", "1");
    off->readwatchsettings();
    EXPECT_TRUE(velmora::test::pump(10000, [&] { return !qw.received().empty(); }));
}

// Real servers on loopback, started by watch_servers_test.py (skipped when
// run without them): a QuakeWorld server with two fake players, an OpenArena
// server with none and a port that never answers.
TEST_F(WatchMainTest, RealServersAfterOneRound) {
    const char* qw = std::getenv("VELMORA_WATCH_QW");
    const char* oa = std::getenv("VELMORA_WATCH_OA");
    const char* silent = std::getenv("VELMORA_WATCH_SILENT");
    if (!qw || !oa || !silent) GTEST_SKIP() << "started by watch_servers_test.py";
    const std::string qwAddr = std::string("127.0.0.1:") + qw, oaAddr = std::string("127.0.0.1:") + oa;
    setUserString(kRoot + "\\qws", "history", qwAddr + ",\"Silent\"127.0.0.1:" + silent + ",");
    setUserString(kRoot + "\\oa", "history", oaAddr + ",");
    setUserString(kRoot, "watch", "1");
    auto form = start(60000);  // one round only
    const HMENU menu = form->imagemenu().handle();
    ASSERT_TRUE(velmora::test::pump(15000, [&] {
        const auto q = texts(GetSubMenu(menu, 0)), o = texts(GetSubMenu(menu, 1));
        return q.back() == "Silent\tno answer" && q[2].find('\t') != std::string::npos &&
               o[2].find('\t') != std::string::npos;
    }));
    const auto q = texts(GetSubMenu(menu, 0)), o = texts(GetSubMenu(menu, 1));
    EXPECT_EQ(q[2].rfind(qwAddr + "\t2/8 ", 0), 0u) << q[2];
    EXPECT_EQ(o[2].rfind(oaAddr + "\t0/8 ", 0), 0u) << o[2];
    EXPECT_GT(q[2].size(), (qwAddr + "\t2/8 ").size()) << "the map follows";
    EXPECT_GT(o[2].size(), (oaAddr + "\t0/8 ").size()) << "the map follows";
    EXPECT_EQ(form->tray.hint(), "the Velmora: 2 on " + qwAddr);
}
