// The query window on real sockets, the real message loop, real plug-in DLLs,
// message boxes and the shell: answers, time-outs, errors, hostile servers,
// release of closed windows, joining, and the pictures of the three states.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/main_win.h"
#include "query/loading_win.h"
#include "settings/settingsform_win.h"
#include "tests/net/netloop_win.h"
#include "tests/net/udpresponder_win.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/msgbox_watcher_win.h"
#include "tests/support/keyboard_win.h"
#include "tests/support/pointer_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/screenshot_win.h"
#include "tests/support/strip_win.h"
#include "ui/clock_win.h"

using namespace velmora;
using namespace velmora::testing;
using velmora::test::UdpResponder;
using velmora::test::pump;
namespace fs = std::filesystem;

namespace {

const std::string kRoot = "software\\Drovik\\Velmora";
const std::string kPrefix("\xFF\xFF\xFF\xFF", 4);
// Table rows: 0 "Gamma Game" (echo decoder, "+connect "), 1 QuakeWorld; 2 the
// counting plug-in in the tests that add it.
constexpr int kGamma = 0, kQuakeWorld = 1, kCounting = 2;

// How a server answers the "getstatus" of the gamma and counting games.
std::string statusReply(const std::string& text) { return kPrefix + "statusResponse\n" + text; }

long counted(const char* name) {
    char text[32] = {};
    const DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    return n > 0 && n < sizeof text ? std::atol(text) : 0;
}
// How often the counting plug-in was really loaded, and how often it decoded.
long pluginLoads() { return counted("VELMORA_COUNTING_LOADS"); }
long pluginDecodes() { return counted("VELMORA_COUNTING_DECODES"); }

class LoadformTest : public ::testing::Test {
protected:
    void SetUp() override {
        velmora::test::app();
        deleteUserKey(kRoot);
        // A folder of each test's own: a game a test started may still be
        // ending, and holds its folder, when the next test begins.
        folder_ = fs::temp_directory_path() / ("velmora-query-" + std::to_string(GetCurrentProcessId()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        fs::copy_file(fs::path(VELMORA_TESTPLUGIN_DIR) / "gamma.vlm", folder_ / "plugins" / "a-gamma.vlm");
        fs::copy_file(fs::path(VELMORA_PLUGIN_DIR) / "quakeworld.vlm", folder_ / "plugins" / "b-quakeworld.vlm");
    }
    void TearDown() override {
        main_.reset();
        deleteUserKey(kRoot);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    Tmainform& mainform() {
        if (!main_) {
            main_ = std::make_unique<Tmainform>();
            main_->loadplugins(folder_.string() + "\\");
        }
        return *main_;
    }
    Tloadform& open(int g, const std::string& address) {
        mainform().openquery(g, address, "");
        return *mainform().queries().back();
    }
    static bool finish(Tloadform& w, DWORD ms = 10000) {
        return pump(ms, [&] { return w.started && w.finished; });
    }
    static std::string text(const Tloadform& w) {
        std::string all;
        for (const auto& line : w.results.markupText()) all += line;
        return all;
    }
    static std::string address(const UdpResponder& r) { return "127.0.0.1:" + std::to_string(r.port()); }

    fs::path folder_;
    std::unique_ptr<Tmainform> main_;
};

}  // namespace

// The path of a player's click: the answer decoded, the map lower case, the
// players without filler, the ping in milliseconds and the hand on frame 8.
TEST_F(LoadformTest, AnAnswerShowsTheDecodedTextsAPingAndTheAnsweredFrame) {
    UdpResponder server([](const std::string&) { return std::vector<std::string>{statusReply("Gamma")}; }, 60);
    Tloadform& w = open(kGamma, address(server));
    EXPECT_EQ(w.Label2.text(), address(server) + "...");
    ASSERT_TRUE(finish(w));
    EXPECT_EQ(server.received(), std::vector<std::string>{kPrefix + "getstatus"});
    const std::string shown = text(w);
    EXPECT_NE(shown.find("game: <B>Gamma Game</b>"), std::string::npos) << shown;
    EXPECT_NE(shown.find("map: <B>testmap</b><br>players: <B>3</b> of <b>8</b>"), std::string::npos) << shown;
    EXPECT_GE(w.elapsedMs, 60);
    EXPECT_LT(w.elapsedMs, 999);
    EXPECT_NE(shown.find("ping: <B>" + std::to_string(w.elapsedMs) + "</b>"), std::string::npos);
    EXPECT_EQ(w.hand.GlyphNum(), 8);
    EXPECT_FALSE(w.hand.Active());
    EXPECT_FALSE(w.waiting());
}

// Every failure ends on frame 9 with its own line, and "refresh" asks again.
TEST_F(LoadformTest, FailuresShowTheirLineAndRefreshAsksAgain) {
    struct Case {
        const char* what;
        UdpResponder::Rule rule;
        bool hostOk;
        const char* line;
        int ping;  // -1: any below 999
    } cases[] = {
        {"silent", nullptr, true, "<i>server timed-out</i>", 999},
        // What is no status reply of the game is no answer: the query waits
        // on for one until its time-out.
        {"no prefix", [](const std::string&) { return std::vector<std::string>{"hello"}; }, true,
         "<i>server timed-out</i>", 999},
        {"another game's reply", [](const std::string&) { return std::vector<std::string>{statusReply("x")}; },
         true, "<i>server timed-out</i>", 999},
        {"unknown host", nullptr, false, "error: <i>unknown error</i>", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UdpResponder server(c.rule);
        const std::string where = c.hostOk ? address(server) : "300.1.2.3:27500";
        Tloadform& w = open(kQuakeWorld, where);
        const DWORD start = timeGetTime();
        ASSERT_TRUE(finish(w));
        if (c.ping == 999) {
            EXPECT_GE(timeGetTime() - start, 999u);
        }
        const auto lines = w.results.markupText();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1], c.line);
        // The reference decoder shows "???" for what it cannot read.
        EXPECT_NE(lines[0].find("name: <B>?\?\?</b>"), std::string::npos) << lines[0];
        if (c.ping == 999) {
            EXPECT_NE(lines[0].find("ping: <B>999</b>"), std::string::npos);
        }
        if (c.ping == -1) {
            EXPECT_LT(w.elapsedMs, 999);
        }
        EXPECT_EQ(w.hand.GlyphNum(), 9);

        const size_t sent = server.received().size();
        w.dostuff(w.commands, "refresh");
        if (c.hostOk) {
            EXPECT_TRUE(w.waiting());
            // What the start changed was painted before the datagram went, so
            // a quick reply does not wait for a paint and read as a longer ping.
            EXPECT_FALSE(GetUpdateRect(w.handle(), nullptr, FALSE));
            EXPECT_EQ(w.results.markupText()[1], "game: <B>QuakeWorld</b><br>");
            EXPECT_TRUE(w.hand.Active());
            EXPECT_TRUE(pump(5000, [&] { return server.received().size() > sent; }));
        } else {
            // The address fails again at once, with the same display.
            EXPECT_TRUE(w.finished);
            EXPECT_EQ(w.results.markupText().back(), c.line);
        }
        w.close();
    }
}

// Each window keeps its own time-out: the later one ends later, each a full
// second after its send. The seconds are read on the window's own clock from
// before each window opens, so a busy machine only makes them longer.
TEST_F(LoadformTest, TwoWaitingWindowsTimeOutOnTheirOwn) {
    UdpResponder silent;
    const std::int64_t firstStart = clockMicroseconds();
    Tloadform& first = open(kQuakeWorld, address(silent));
    ASSERT_TRUE(pump(5000, [&] { return first.waiting(); }));
    pump(300, [] { return false; });
    const std::int64_t secondStart = clockMicroseconds();
    Tloadform& second = open(kQuakeWorld, address(silent));
    ASSERT_TRUE(pump(5000, [&] { return second.waiting(); }));
    std::vector<int> order;
    std::int64_t firstEnd = 0, secondEnd = 0;
    pump(10000, [&] {
        if (first.finished && !firstEnd) firstEnd = clockMicroseconds(), order.push_back(1);
        if (second.finished && !secondEnd) secondEnd = clockMicroseconds(), order.push_back(2);
        return firstEnd && secondEnd;
    });
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_GE(firstEnd - firstStart, 1000000);
    EXPECT_GE(secondEnd - secondStart, 1000000);
    EXPECT_EQ(first.elapsedMs, 999);
    EXPECT_EQ(second.elapsedMs, 999);
}

// A hostile server cannot plant an anchor, an image or a bad number: the
// echo decoder hands its text through unchanged, and the window defuses it.
TEST_F(LoadformTest, AHostileServersTextsShowAsCharacters) {
    const std::string evil = "<a href=\"go\">x</a><img src=\"file://c:/x.bmp\"><font size=\"x\">big\r\n";
    UdpResponder server([&](const std::string&) { return std::vector<std::string>{statusReply(evil)}; });
    MessageBoxWatcher boxes;
    Tloadform& w = open(kGamma, address(server));
    ASSERT_TRUE(finish(w));
    UpdateWindow(w.handle());
    pump(200, [] { return false; });
    const std::string shown = text(w);
    EXPECT_EQ(shown.find("<a "), std::string::npos) << shown;
    EXPECT_EQ(shown.find("<img"), std::string::npos);
    EXPECT_EQ(shown.find("<font"), std::string::npos);
    EXPECT_NE(shown.find("(a href=\"go\")x(/a)(img src=\"file://c:/x.bmp\")(font size=\"x\")big</b>"),
              std::string::npos)
        << shown;
    for (int y = 0; y < w.results.height(); y += 2)
        for (int x = 0; x < w.results.width(); x += 2) ASSERT_EQ(w.results.AnchorAt(x, y), "") << x << "," << y;
    EXPECT_TRUE(boxes.messages().empty());
}

// A closed window goes, with its socket and timer; a query still waiting
// ends without showing anything, and its late answers reach nobody.
TEST_F(LoadformTest, AClosedWindowIsReleasedAndItsQueryEnds) {
    // The server answers each question in turn, 300 ms after it, numbered.
    std::atomic<int> asked{0};
    UdpResponder server(
        [&](const std::string&) { return std::vector<std::string>{statusReply("answer " + std::to_string(++asked))}; },
        300);
    MessageBoxWatcher boxes;
    Tloadform& w = open(kGamma, address(server));
    ASSERT_TRUE(pump(5000, [&] { return w.waiting(); }));
    EXPECT_TRUE(mainform().tray.animated());
    w.dostuff(w.commands, "refresh");  // a second start does not switch the tray on twice
    ASSERT_TRUE(pump(5000, [&] { return w.waiting(); }));
    const auto before = w.results.markupText();
    w.dostuff(w.commands, "cancel");
    EXPECT_FALSE(mainform().tray.animated()) << "the tray stops blinking with the window";
    EXPECT_FALSE(w.visible());
    EXPECT_FALSE(w.waiting());
    EXPECT_EQ(w.results.markupText(), before);
    EXPECT_EQ(net::attachedFrameTimers(), 0u);
    EXPECT_TRUE(pump(5000, [&] { return mainform().queries().empty(); }));

    // A new window asks the same server. Its answer is the third, sent after
    // the two late answers to the closed window's questions: once it is
    // shown, they have come and gone.
    Tloadform& next = open(kGamma, address(server));
    ASSERT_TRUE(finish(next));
    EXPECT_NE(text(next).find("answer 3"), std::string::npos) << "its own answer, no late one: " << text(next);
    EXPECT_EQ(next.hand.GlyphNum(), 8);
    EXPECT_EQ(server.received().size(), 3u);
    EXPECT_EQ(mainform().queries().size(), 1u);
    EXPECT_TRUE(boxes.messages().empty());
}

// Only the first paint starts the query.
TEST_F(LoadformTest, LaterPaintsStartNothing) {
    UdpResponder server([](const std::string&) { return std::vector<std::string>{statusReply("x")}; });
    Tloadform& w = open(kGamma, address(server));
    ASSERT_TRUE(finish(w));
    w.hide();
    w.show();
    UpdateWindow(w.handle());
    // Whatever the paints posted has been handled once the marker comes
    // back; a query it started would have sent its datagram then, ahead of
    // the probe's.
    ASSERT_TRUE(velmora::test::drainPosted());
    UdpResponder probe;
    probe.sendTo(server.port(), "probe");
    ASSERT_TRUE(pump(5000, [&] {
        const auto got = server.received();
        return !got.empty() && got.back() == "probe";
    }));
    EXPECT_EQ(server.received(), (std::vector<std::string>{kPrefix + "getstatus", "probe"}));
    EXPECT_FALSE(w.waiting());
}

// What else comes from the server's address (junk, an answer to another
// question) is dropped before any plug-in sees it, and the first status
// reply ends the query. The game's library was loaded once, at start-up:
// no datagram loads it, and only the answer is decoded.
TEST_F(LoadformTest, JunkIsDroppedUnreadAndTheFirstStatusReplyEndsTheQuery) {
    const fs::path plugin = folder_ / "plugins" / "c-counting.vlm";
    fs::copy_file(fs::path(VELMORA_COUNTING_PLUGIN), plugin);
    SetEnvironmentVariableA("VELMORA_COUNTING_LOADS", nullptr);
    SetEnvironmentVariableA("VELMORA_COUNTING_DECODES", nullptr);
    ASSERT_EQ(mainform().games().at(kCounting).gamename, "Counting Game");
    EXPECT_EQ(pluginLoads(), 1);

    // Each question is answered with junk, the status reply (named after the
    // question's number), and one more that comes after the socket closed.
    std::atomic<int> asked{0};
    const auto answer = [](int n) { return statusReply(n == 1 ? "Friday Frags" : "Saturday"); };
    UdpResponder server([&](const std::string&) {
        const int n = ++asked;
        return std::vector<std::string>{"hello", kPrefix + "print\nBad rcon_password.\n",
                                        kPrefix + "infoResponse\n\\hostname\\x", kPrefix, answer(n),
                                        statusReply("too late")};
    });
    Tloadform& w = open(kCounting, address(server));
    ASSERT_TRUE(finish(w));
    EXPECT_EQ(w.reply, answer(1));
    EXPECT_EQ(w.hand.GlyphNum(), 8);
    EXPECT_LT(w.elapsedMs, 999);
    EXPECT_NE(text(w).find("name: <B>Friday Frags</b>"), std::string::npos) << text(w);
    EXPECT_EQ(text(w).find("error:"), std::string::npos) << text(w);
    EXPECT_EQ(pluginDecodes(), 1) << "the answer's decode alone";

    w.dostuff(w.commands, "refresh");
    ASSERT_TRUE(pump(10000, [&] { return w.finished && w.reply == answer(2); }));
    EXPECT_EQ(pluginDecodes(), 2);
    EXPECT_EQ(pluginLoads(), 1) << "the library stays loaded with its game: no datagram loads it";
    EXPECT_NE(GetModuleHandleA(plugin.string().c_str()), nullptr);
    w.close();
}

// "go": the game started with param + host:port in its own folder; no path
// sends the user to the settings; a crafted host or a missing game is told.
TEST_F(LoadformTest, JoinStartsTheGameOrSaysWhyNot) {
    const fs::path game = folder_ / "Fake Game" / "fakegame.exe";
    fs::create_directories(game.parent_path());
    fs::copy_file(fs::path(VELMORA_FAKEGAME), game);
    setUserString(kRoot + "\\gam", "path", game.string());
    const fs::path record = game.parent_path() / "game_record.txt";
    Tsettingsform settings(mainform().gametable(), mainform().gameimages());
    mainform().settingsform = &settings;
    MessageBoxWatcher boxes;
    UdpResponder silent;

    Tloadform& w = open(kGamma, "127.0.0.1:27960");
    w.dostuff(w.commands, "go");
    ASSERT_TRUE(pump(10000, [&] { return fs::exists(record); }));
    std::ifstream in(record);
    std::string commandLine, cwd;
    std::getline(in, commandLine);
    std::getline(in, cwd);
    if (!cwd.empty() && cwd.back() == '\r') cwd.pop_back();
    EXPECT_EQ(commandLine.substr(commandLine.size() - std::string(" +connect 127.0.0.1:27960").size()),
              " +connect 127.0.0.1:27960")
        << commandLine;
    EXPECT_EQ(fs::path(cwd + "\\"), game.parent_path() / "") << cwd;
    in.close();
    fs::remove(record);

    struct Case {
        int g;
        std::string label;
        std::string message;  // the start of the message
    } cases[] = {
        {kQuakeWorld, address(silent), "The path for this game hasn't been setup.\r\n\r\nset it up now."},
        {kGamma, "127.0.0.1+quit:27960", "The server address \"127.0.0.1+quit:27960\" cannot be joined."},
    };
    for (const auto& c : cases) {
        boxes.clear();
        Tloadform& q = open(c.g, c.label);
        q.dostuff(q.commands, "go");
        ASSERT_TRUE(boxes.waitFor(1)) << c.label;
        EXPECT_EQ(boxes.texts()[0].substr(0, c.message.size()), c.message);
        q.close();
    }
    EXPECT_TRUE(settings.visible());
    EXPECT_FALSE(fs::exists(record));

    // A path to nothing.
    const std::string nothing = (folder_ / "no such game.exe").string();
    setUserString(kRoot + "\\gam", "path", nothing);
    main_.reset();
    mainform().settingsform = &settings;
    boxes.clear();
    Tloadform& q = open(kGamma, "127.0.0.1:27960");
    q.dostuff(q.commands, "go");
    ASSERT_TRUE(boxes.waitFor(1));
    EXPECT_EQ(boxes.texts()[0].rfind("The game could not be started:\r\n" + nothing + "\r\n\r\n", 0), 0u)
        << boxes.texts()[0];
    mainform().settingsform = nullptr;
}

// The join step's way round for a game without a path, in one open query
// window: "go" says so and opens "Game Paths" on that game; the path typed
// there is stored at every keystroke and in the game table at once, and "go"
// in the same window then starts the game in its own folder.
TEST_F(LoadformTest, APathTypedAfterTheMessageLetsTheSameWindowJoin) {
    const fs::path game = folder_ / "Typed Game" / "fakegame.exe";
    fs::create_directories(game.parent_path());
    fs::copy_file(fs::path(VELMORA_FAKEGAME), game);
    const fs::path record = game.parent_path() / "game_record.txt";
    Tsettingsform settings(mainform().gametable(), mainform().gameimages());
    mainform().settingsform = &settings;
    MessageBoxWatcher boxes;
    UdpResponder server([](const std::string&) { return std::vector<std::string>{statusReply("x")}; });

    Tloadform& w = open(kGamma, address(server));
    ASSERT_TRUE(finish(w));
    ASSERT_EQ(mainform().games()[kGamma].path, "");
    clickAnchor(w.commands, "go");
    ASSERT_TRUE(boxes.waitFor(1));
    EXPECT_EQ(boxes.texts()[0], "The path for this game hasn't been setup.\r\n\r\nset it up now.");
    EXPECT_TRUE(settings.visible());
    EXPECT_EQ(settings.pages.activeTab(), 1) << "the Game Paths page";
    EXPECT_TRUE(IsWindowVisible(settings.pathspage.handle()));
    EXPECT_EQ(settings.gamecombo.ItemIndex(), kGamma);
    EXPECT_EQ(settings.pathedit.text(), "");

    const std::string path = game.string();
    for (size_t n = 1; n <= path.size(); ++n) {
        SendMessageA(settings.pathedit.handle(), WM_CHAR, static_cast<unsigned char>(path[n - 1]), 0);
        ASSERT_EQ(mainform().games()[kGamma].path, path.substr(0, n));
        ASSERT_EQ(std::string(userValue(kRoot + "\\gam", "path").c_str()), path.substr(0, n));
    }
    EXPECT_FALSE(fs::exists(record)) << "typing starts nothing";

    ASSERT_EQ(mainform().queries().size(), 1u);
    ASSERT_EQ(mainform().queries()[0].get(), &w) << "the same window, never reopened";
    ASSERT_TRUE(w.visible());
    clickAnchor(w.commands, "go");
    ASSERT_TRUE(pump(10000, [&] { return fs::exists(record); }));
    std::ifstream in(record);
    std::string commandLine, cwd;
    std::getline(in, commandLine);
    std::getline(in, cwd);
    if (!cwd.empty() && cwd.back() == '\r') cwd.pop_back();
    const std::string tail = " +connect " + address(server);
    ASSERT_GE(commandLine.size(), tail.size());
    EXPECT_EQ(commandLine.substr(commandLine.size() - tail.size()), tail) << commandLine;
    EXPECT_NE(commandLine.find("fakegame.exe"), std::string::npos) << commandLine;
    EXPECT_EQ(fs::path(cwd + "\\"), game.parent_path() / "") << cwd;
    EXPECT_EQ(boxes.messages().size(), 1u) << "the second go says nothing";
    in.close();
    mainform().settingsform = nullptr;
}

// ---- pictures ----------------------------------------------------------------

namespace {

// The address the pictures show: the responder's port is chosen at run time,
// so once the query has been sent (the window reads its address label only
// when a query starts) the label is given this fixed text.
const char kShownAddress[] = "127.0.0.1:27500...";

std::vector<std::string> qwAnswer(const std::string&) {
    return {kPrefix + "n\\hostname\\Friday Frags\\map\\DM4\\maxclients\\16\\*gamedir\\ktx\\*version\\MVDSV 0.35\n" +
            "3 12 30 50 \"alpha\" \"\" 4 4\n7 5 31 60 \"beta\" \"\" 13 13\n"};
}

class LoadformPicture : public LoadformTest {
protected:
    // Takes the picture of `w` in its present state, without running the
    // message loop in between (so no tick moves the hand), and checks the
    // hand shows `frame` centred in its box over the window's colour.
    std::vector<Bgr> picture(Tloadform& w, const std::string& name, int frame) {
        w.Label2.setText(kShownAddress);
        UpdateWindow(w.handle());
        velmora::test::Pointer::leave(w.handle());
        RECT client{};
        GetClientRect(w.handle(), &client);
        EXPECT_EQ(client.right, 202);
        // The window above a player list is the window without one: the
        // picture of its first 177 rows is the same reference picture.
        const std::string shot = std::string(VELMORA_SHOT_DIR) + "/" + name;
        const std::vector<Bgr> pixels = capture(w.handle(), client.right, 177, shot);
        EXPECT_EQ(w.hand.GlyphNum(), frame) << "the hand moved while the picture was taken";
        EXPECT_EQ(client.bottom == 177, w.players.empty()) << client.bottom;
        const StripPixels strip = readStrip(w.hand.Glyph());
        EXPECT_EQ(frameMismatches(pixels, client.right, 160, 8, 25, 25, strip, frame, 18, 3, 4, RGB(255, 255, 255),
                                  GetSysColor(COLOR_BTNFACE)),
                  0);
        EXPECT_GT(countColour(pixels, RGB(0, 0, 255)), 20) << "the blue anchors";
        expectGolden(shot, std::string(VELMORA_GOLDEN_DIR) + "/" + name);
        return pixels;
    }
};

}  // namespace

// The two end pictures are told apart from each other and from the loop by
// their pixels, and the loop moves.
TEST_F(LoadformPicture, TheHandStripsEndPicturesDifferFromTheLoop) {
    Tloadform& w = open(kQuakeWorld, "127.0.0.1:27500");
    const StripPixels strip = readStrip(w.hand.Glyph());
    ASSERT_EQ(strip.width, 180);
    ASSERT_EQ(strip.height, 16);
    EXPECT_EQ(strip.at(0, 15), RGB(255, 255, 255));
    auto frame = [&](int f) {
        std::vector<COLORREF> p;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 18; ++x) p.push_back(strip.at(f * 18 + x, y));
        return p;
    };
    EXPECT_NE(frame(8), frame(9));
    int moves = 0;
    for (int f = 0; f < 8; ++f) {
        EXPECT_NE(frame(f), frame(8)) << f;
        EXPECT_NE(frame(f), frame(9)) << f;
        moves += frame(f) != frame((f + 1) % 8);
    }
    EXPECT_GE(moves, 2);
    w.close();
}

TEST_F(LoadformPicture, Waiting) {
    velmora::test::Pointer::park();
    UdpResponder silent;
    Tloadform& w = open(kQuakeWorld, address(silent));
    ASSERT_TRUE(pump(5000, [&] { return w.waiting(); }));
    // A refresh from the test itself puts the hand on frame 0, and nothing
    // runs the loop before the picture.
    w.dostuff(w.commands, "refresh");
    ASSERT_TRUE(w.waiting());
    picture(w, "query-waiting.bmp", 0);
    EXPECT_EQ(w.results.markupText()[1], "game: <B>QuakeWorld</b><br>");
}

TEST_F(LoadformPicture, Answered) {
    velmora::test::Pointer::park();
    UdpResponder server(qwAnswer, 20);
    Tloadform& w = open(kQuakeWorld, address(server));
    ASSERT_TRUE(finish(w));
    const std::string shown = text(w);
    ASSERT_NE(shown.find("ping: <B>" + std::to_string(w.elapsedMs) + "</b>"), std::string::npos) << shown;
    EXPECT_NE(shown.find("map: <B>dm4</b>"), std::string::npos) << shown;
    // The ping depends on the machine's load: the picture shows the window's
    // own results for the same answer with a fixed ping.
    w.elapsedMs = 42;
    w.ShowResults();
    ASSERT_NE(text(w).find("ping: <B>42</b>"), std::string::npos);
    picture(w, "query-answered.bmp", 8);
    // The whole window: the list of the two players below the commands.
    ASSERT_EQ(w.playerlist.markupText().size(), 3u);
    EXPECT_EQ(w.playerlist.markupText()[1], "alpha<IND x=\"124\">12<IND x=\"160\">50<br>");
    const std::string whole = std::string(VELMORA_SHOT_DIR) + "/query-players.bmp";
    captureClient(w.handle(), whole);
    expectGolden(whole, std::string(VELMORA_GOLDEN_DIR) + "/query-players.bmp");
}

TEST_F(LoadformPicture, TimedOut) {
    velmora::test::Pointer::park();
    UdpResponder silent;
    Tloadform& w = open(kQuakeWorld, address(silent));
    ASSERT_TRUE(finish(w));
    ASSERT_EQ(w.elapsedMs, 999);
    picture(w, "query-timedout.bmp", 9);
    EXPECT_EQ(w.results.markupText().back(), "<i>server timed-out</i>");
}

// ---- who is playing -------------------------------------------------------------

namespace {

// A QuakeWorld status 23 reply with `count` players scoring 0..count-1 and
// one spectator listed first.
std::vector<std::string> qwCrowd(int count) {
    std::string text = kPrefix + "n\\hostname\\Crowd\\map\\dm2\\maxclients\\32\n1 -9999 3 -40 \"\\s\\Watcher\" \"\" 0 0\n";
    for (int i = 0; i < count; ++i)
        text += std::to_string(i + 2) + " " + std::to_string(i) + " 5 " + std::to_string(10 + i) + " \"p<" +
                std::to_string(i) + ">&\" \"base\" 4 4\n";
    return {text};
}

// The work area of the monitor the window is on.
RECT monitorWorkArea(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

// Makes the system's work area (the primary monitor's, as SPI_GETWORKAREA
// tells it) `area` for as long as it lives, without telling other programs.
class SystemWorkArea {
public:
    explicit SystemWorkArea(RECT area) {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &saved_, 0);
        set_ = SystemParametersInfoA(SPI_SETWORKAREA, 0, &area, 0);
    }
    ~SystemWorkArea() { SystemParametersInfoA(SPI_SETWORKAREA, 0, &saved_, 0); }
    SystemWorkArea(const SystemWorkArea&) = delete;
    SystemWorkArea& operator=(const SystemWorkArea&) = delete;
    bool set() const { return set_; }

private:
    RECT saved_{};
    BOOL set_ = FALSE;
};

std::string clipboardText(HWND owner) {
    std::string text;
    if (!OpenClipboard(owner)) return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) text = p;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

}  // namespace

// A plug-in without decodeplayers shows the window as it always did, even
// for a reply with player lines.
TEST_F(LoadformTest, APluginWithoutThePlayersExportKeepsTheWindowAsItWas) {
    UdpResponder server([](const std::string&) { return qwCrowd(3); });
    Tloadform& w = open(kGamma, address(server));
    ASSERT_TRUE(finish(w));
    EXPECT_TRUE(w.players.empty());
    EXPECT_TRUE(w.playerlist.markupText().empty());
    EXPECT_EQ(w.playerlist.height(), 0);
    RECT client{};
    GetClientRect(w.handle(), &client);
    EXPECT_EQ(client.bottom, 177);
    EXPECT_EQ(w.commands.top(), 160);
    w.close();
}

// More than sixteen players: sixteen rows by score, the rest counted, the
// spectator not among the rows shown; the window grows but stays on the
// work area even when it was at the screen's bottom; a refresh to an empty
// server gives the window back its first size.
TEST_F(LoadformTest, AGrowingListStaysOnTheScreenAndShrinksBack) {
    int crowd = 20;
    UdpResponder server([&](const std::string&) { return qwCrowd(crowd); });
    Tloadform& w = open(kQuakeWorld, address(server));
    const RECT work = monitorWorkArea(w.handle());
    RECT before{};
    GetWindowRect(w.handle(), &before);
    SetWindowPos(w.handle(), nullptr, before.left, work.bottom - (before.bottom - before.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(finish(w));
    ASSERT_EQ(w.players.size(), 21u);
    const auto& rows = w.playerlist.markupText();
    ASSERT_EQ(rows.size(), 18u);
    EXPECT_EQ(rows[1], "p(19)&&<IND x=\"124\">19<IND x=\"160\">29<br>") << "the highest score first, inert";
    EXPECT_EQ(rows[16], "p(4)&&<IND x=\"124\">4<IND x=\"160\">14<br>");
    EXPECT_EQ(rows[17], "<i>...and 5 more</i>");
    RECT grown{};
    GetWindowRect(w.handle(), &grown);
    EXPECT_GT(grown.bottom - grown.top, before.bottom - before.top + 16 * 8);
    EXPECT_LE(grown.bottom, work.bottom);
    EXPECT_GE(grown.top, work.top);
    EXPECT_EQ(w.commands.top(), 160) << "the window above the list is unchanged";

    crowd = 0;
    w.dostuff(w.commands, "refresh");
    ASSERT_TRUE(pump(10000, [&] { return w.finished && w.players.size() == 1; }));
    EXPECT_EQ(w.playerlist.markupText().size(), 2u) << "the heading and the spectator alone";
    crowd = -1;
    RECT client{};
    UdpResponder empty([](const std::string&) {
        return std::vector<std::string>{kPrefix + "n\\hostname\\Empty\\map\\dm2\\maxclients\\32\n"};
    });
    w.Label2.setText(address(empty));
    w.dostuff(w.commands, "refresh");
    ASSERT_TRUE(pump(10000, [&] { return w.finished && w.players.empty(); }));
    GetClientRect(w.handle(), &client);
    EXPECT_EQ(client.bottom, 177);
    EXPECT_EQ(w.playerlist.height(), 0);
    w.close();
}

// A window on a second screen grows on that screen: it keeps to the work
// area of its own monitor, not to the system's (the primary monitor's). Here
// the system's work area ends 200 pixels above the monitor's, as the task
// bar of a taller primary screen beside this one would: the window at its
// monitor's bottom moves up only as far as that monitor needs.
TEST_F(LoadformTest, AGrownWindowKeepsToItsOwnMonitorsWorkArea) {
    UdpResponder server([](const std::string&) { return qwCrowd(20); });
    Tloadform& w = open(kQuakeWorld, address(server));
    const RECT work = monitorWorkArea(w.handle());
    RECT system = work;
    system.bottom -= 200;
    const SystemWorkArea primary(system);
    ASSERT_TRUE(primary.set());
    RECT before{};
    GetWindowRect(w.handle(), &before);
    SetWindowPos(w.handle(), nullptr, before.left, work.bottom - (before.bottom - before.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(finish(w));
    ASSERT_EQ(w.players.size(), 21u);
    RECT grown{};
    GetWindowRect(w.handle(), &grown);
    ASSERT_GT(grown.bottom - grown.top, before.bottom - before.top + 16 * 8);
    EXPECT_EQ(grown.bottom, work.bottom) << "at its own monitor's bottom, moved up no further";
    EXPECT_GT(grown.bottom, system.bottom);
    w.close();
}

// Ctrl+C in the window puts the address and every player on the clipboard.
TEST_F(LoadformTest, ControlCCopiesTheListWithTheAddress) {
    UdpResponder server([](const std::string&) { return qwCrowd(2); });
    Tloadform& w = open(kQuakeWorld, address(server));
    ASSERT_TRUE(finish(w));
    if (OpenClipboard(w.handle())) {
        EmptyClipboard();
        CloseClipboard();
    }
    SetForegroundWindow(w.handle());
    SetFocus(w.handle());
    velmora::test::Keyboard::releaseModifiers();
    velmora::test::Keyboard::press('C', {VK_CONTROL});
    const std::string want = address(server) + "\r\np<1>&\t1\t11\r\np<0>&\t0\t10\r\nWatcher\tspectator\t40\r\n";
    ASSERT_TRUE(pump(5000, [&] { return clipboardText(w.handle()) == want; })) << clipboardText(w.handle());
    w.close();
}
