// "Find a game" under Wine against real servers (mvdsv, ioquake3 with
// OpenArena, DarkPlaces) that the tests' master stand-in lists, with the
// reference plug-ins doing what is game-specific. find_real_test.py starts
// the servers and the stand-in and hands over, in the environment, the
// master's address and what quakestat reads from each server.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "app/handoff_win.h"
#include "app/main_win.h"
#include "find/findform_win.h"
#include "query/loading_win.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/keyboard_win.h"
#include "tests/net/slowresolver_win.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/udp_listener_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

constexpr const char* kRoot = "software\\Drovik\\Velmora";

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// What quakestat read from one server: "address<TAB>map<TAB>players<TAB>max".
struct Expected {
    std::string kind, gameid, address, name, map;
    int players = 0, maxplayers = 0;
};

std::vector<Expected> expectedServers() {
    std::vector<Expected> out;
    for (const auto& [kind, gameid, name] : {std::tuple{"QW", "qws", "Velmora QW Find"},
                                             std::tuple{"OA", "oa", "Velmora OA Find"},
                                             std::tuple{"NQ", "qs", "Velmora NQ Find"}}) {
        const std::string line = env((std::string("VELMORA_FIND_") + kind).c_str());
        if (line.empty()) continue;
        std::istringstream in(line);
        Expected e{kind, gameid, "", name, "", 0, 0};
        std::string players, max;
        std::getline(in, e.address, '\t');
        std::getline(in, e.map, '\t');
        std::getline(in, players, '\t');
        std::getline(in, max, '\t');
        e.players = std::atoi(players.c_str());
        e.maxplayers = std::atoi(max.c_str());
        out.push_back(e);
    }
    return out;
}

class FindTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        static const bool sockets = [] {
            WSADATA data;
            return WSAStartup(MAKEWORD(2, 2), &data) == 0;
        }();
        ASSERT_TRUE(sockets);
        deleteUserKey(kRoot);
        folder_ = fs::temp_directory_path() / ("velmora-find-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "plugins");
        for (const char* plugin : {"quake", "quakeworld", "quake2", "quake3", "openarena"})
            fs::copy_file(fs::path(VELMORA_PLUGIN_DIR) / (std::string(plugin) + ".vlm"),
                          folder_ / "plugins" / (std::string(plugin) + ".vlm"));
    }
    void TearDown() override {
        form_.reset();
        deleteUserKey(kRoot);
        fs::remove_all(folder_);
    }
    // Every game's masters set first: no test reaches a default master.
    void setMasters(const std::string& listed, const std::string& others = "") {
        for (const char* id : {"qws", "oa", "qs"}) setUserString(std::string(kRoot) + "\\" + id, "masters", listed);
        for (const char* id : {"q2s", "q3a"}) setUserString(std::string(kRoot) + "\\" + id, "masters", others);
    }
    Tmainform& load() {
        form_ = std::make_unique<Tmainform>();
        form_->loadplugins(folder_.string() + "\\");
        return *form_;
    }
    int gameIndex(const std::string& id) const {
        for (int g = 0; g < static_cast<int>(form_->games().size()); ++g)
            if (form_->games()[static_cast<size_t>(g)].gameid == id) return g;
        return -1;
    }
    Tfindform& openAndWait(const std::string& gameid = "") {
        form_->openfind(gameid);
        Tfindform& find = *form_->findform();
        EXPECT_TRUE(pumpUntil(20000, [&] { return find.finder() && !find.finder()->working(); }))
            << find.status();
        pump();
        return find;
    }
    const find::ServerRow* rowOf(Tfindform& find, const std::string& address) {
        for (const auto& r : find.rows())
            if (r.address == address) return &r;
        return nullptr;
    }
    std::vector<std::string> shownColumn(Tfindform& find, find::Column column) {
        std::vector<std::string> out;
        for (const size_t r : find.shown()) out.push_back(find::celltext(find.rows()[r], column));
        return out;
    }

    fs::path folder_;
    std::unique_ptr<Tmainform> form_;
};

// The master's address, or a skip when the servers could not run here.
std::string masterOrSkip() {
    const std::string master = env("VELMORA_FIND_MASTER");
    return master;
}

#define NEED_SERVERS()                                                                             \
    const std::string master = masterOrSkip();                                                     \
    if (master.empty()) GTEST_SKIP() << "run by find_real_test.py, which starts the servers";     \
    const std::vector<Expected> expected = expectedServers();                                      \
    if (expected.empty()) GTEST_SKIP() << "no real server could start here"

TEST_F(FindTest, ListsTheRealServersTheMasterNamesWithWhatQuakestatReads) {
    NEED_SERVERS();
    setMasters(master);
    load();
    Tfindform& find = openAndWait();
    EXPECT_EQ(find.caption(), "Find a game");
    long long players = 0;
    for (const Expected& e : expected) {
        const find::ServerRow* row = rowOf(find, e.address);
        ASSERT_NE(row, nullptr) << e.kind << " " << e.address;
        EXPECT_EQ(row->game, gameIndex(e.gameid)) << e.kind;
        EXPECT_EQ(row->name, e.name) << e.kind;
        EXPECT_EQ(row->map, e.map) << e.kind;
        EXPECT_EQ(find::celltext(*row, find::Column::Players),
                  std::to_string(e.players) + "/" + std::to_string(e.maxplayers))
            << e.kind;
        EXPECT_EQ(row->state, find::Answer::Answered) << e.kind;
        EXPECT_GE(row->ping, 0) << e.kind;
        EXPECT_LT(row->ping, 1000) << e.kind;
        players += e.players;
    }
    // The stand-in also lists a QuakeWorld port where nothing answers.
    const find::ServerRow* silent = rowOf(find, env("VELMORA_FIND_SILENT"));
    ASSERT_NE(silent, nullptr);
    EXPECT_EQ(find::celltext(*silent, find::Column::Ping), "no answer");
    const size_t servers = expected.size() + 1;
    EXPECT_EQ(find.rows().size(), servers);
    EXPECT_EQ(find.status(), std::to_string(servers) + " servers, " + std::to_string(expected.size()) +
                                 " answered, " + std::to_string(players) + " players");
    EXPECT_EQ(find.list.count(), static_cast<int>(servers));
    // Players most first, then the lowest ping; the silent server last.
    const auto counts = shownColumn(find, find::Column::Players);
    EXPECT_EQ(counts.back(), "");
    for (size_t k = 1; k + 1 < counts.size(); ++k) EXPECT_GE(std::atoi(counts[k - 1].c_str()), std::atoi(counts[k].c_str()));
}

TEST_F(FindTest, HeaderClicksSortAndEveryFilterNarrowsTheList) {
    NEED_SERVERS();
    setMasters(master);
    load();
    Tfindform& find = openAndWait();
    const size_t all = find.shown().size();
    ASSERT_GE(all, 2u);

    // A click on the "Name" header: names ascending; again: descending.
    const HWND header = reinterpret_cast<HWND>(SendMessageA(find.list.handle(), LVM_GETHEADER, 0, 0));
    RECT name{};
    SendMessageA(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&name));
    const auto clickName = [&] {
        const LPARAM at = MAKELPARAM((name.left + name.right) / 2, (name.top + name.bottom) / 2);
        SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(header, WM_LBUTTONUP, 0, at);
        pump();
    };
    // Servers that never answered have no name and stay last either way.
    const auto named = [&] {
        auto names = shownColumn(find, find::Column::Name);
        EXPECT_EQ(names.back(), "") << "the silent server last";
        names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
        return names;
    };
    clickName();
    const auto names = named();
    ASSERT_GE(names.size(), 2u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end())) << names.front();
    clickName();
    const auto turned = named();
    EXPECT_EQ(std::vector<std::string>(turned.rbegin(), turned.rend()), names);

    // Each filter as the player sets it, through the control's own notification.
    const auto choose = [&](DropDownList& list, int index) {
        SendMessageA(list.handle(), CB_SETCURSEL, index, 0);
        SendMessageA(find.handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list.handle()), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list.handle()));
        pump();
    };
    const auto click = [&](CheckBox& box) {
        SendMessageA(box.handle(), BM_CLICK, 0, 0);
        pump();
    };
    struct Case {
        const char* what;
        std::function<void()> set, reset;
        std::function<bool(const find::ServerRow&)> shows;
    };
    const int qw = gameIndex("qws");
    const Case cases[] = {
        {"hide empty", [&] { click(find.hideempty); }, [&] { click(find.hideempty); },
         [](const find::ServerRow& r) { return r.figures && r.players > 0; }},
        {"hide full", [&] { click(find.hidefull); }, [&] { click(find.hidefull); },
         [](const find::ServerRow& r) { return !(r.figures && r.players >= r.maxplayers && r.maxplayers > 0); }},
        {"ping up to 50", [&] { choose(find.pingcombo, 0); }, [&] { choose(find.pingcombo, 4); },
         [](const find::ServerRow& r) { return r.state == find::Answer::Answered && r.ping <= 50; }},
        {"QuakeWorld only", [&] { choose(find.gamecombo, qw + 1); }, [&] { choose(find.gamecombo, 0); },
         [&](const find::ServerRow& r) { return r.game == qw; }},
        {"text \"nq fi\"", [&] { find.filteredit.setText("nq fi"); }, [&] { find.filteredit.setText(""); },
         [](const find::ServerRow& r) { return r.name == "Velmora NQ Find"; }},
    };
    for (const Case& c : cases) {
        c.set();
        size_t want = 0;
        for (const auto& r : find.rows()) want += c.shows(r) ? 1 : 0;
        EXPECT_EQ(find.shown().size(), want) << c.what;
        EXPECT_LT(want, all) << c.what << ": the case must hide something to show the filter works";
        for (const size_t r : find.shown()) EXPECT_TRUE(c.shows(find.rows()[r])) << c.what << ": " << find.rows()[r].address;
        c.reset();
        EXPECT_EQ(find.shown().size(), all) << c.what << " taken back";
    }
    // The filters are remembered for the next opening.
    click(find.hideempty);
    find.close();
    EXPECT_STREQ(userValue(std::string(kRoot) + "\\find", "hideempty").c_str(), "1");
    EXPECT_EQ(find.finder(), nullptr) << "a closed window asks nothing";
}

TEST_F(FindTest, CtrlACtrlCCopiesEveryRowAndEnterOpensTheQueryWindow) {
    NEED_SERVERS();
    setMasters(master);
    load();
    Tfindform& find = openAndWait();
    SetForegroundWindow(find.handle());
    find.list.setFocus();
    test::Keyboard::releaseModifiers();
    test::Keyboard::press('A', {VK_CONTROL});
    ASSERT_TRUE(pumpUntil(5000, [&] { return find.list.selectedRows().size() == find.shown().size(); }));
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    test::Keyboard::press('C', {VK_CONTROL});
    std::string copied;
    ASSERT_TRUE(pumpUntil(5000, [&] {
        if (!OpenClipboard(nullptr)) return false;
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            copied = static_cast<const char*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return !copied.empty();
    }));
    EXPECT_EQ(copied, find::copytext(find.rows(), find.shown()));
    EXPECT_NE(copied.find(expected.front().address), std::string::npos) << "the address is copied too";

    // Enter on a row: its query window, and the server in that game's history.
    const Expected& chosen = expected.front();
    const auto at = std::find_if(find.shown().begin(), find.shown().end(),
                                 [&](size_t r) { return find.rows()[r].address == chosen.address; });
    ASSERT_NE(at, find.shown().end());
    const int row = static_cast<int>(at - find.shown().begin());
    find.list.select({row}, row);
    test::Keyboard::press(VK_RETURN);
    ASSERT_TRUE(pumpUntil(5000, [&] { return form_->queries().size() == 1; }));
    const int g = gameIndex(chosen.gameid);
    EXPECT_EQ(form_->gametable().history(g).front(), chosen.address);
    EXPECT_STREQ(userValue(std::string(kRoot) + "\\" + chosen.gameid, "history").c_str(), (chosen.address + ",").c_str());
}

// A second copy started as "velmora.exe /find QWS" hands its command line
// over as it hands over links: the window opens for that game alone (its id
// read in any case, as a link's game is).
TEST_F(FindTest, AFindHandedOverOpensTheWindowForOneGame) {
    NEED_SERVERS();
    setMasters(master);
    Tmainform& form = load();
    const ATOM atom = GlobalAddAtomA("/find QWS");
    SendMessageA(form.handle(), WM_OPENLINK, atom, 0);
    GlobalDeleteAtom(atom);
    ASSERT_NE(form.findform(), nullptr);
    Tfindform& find = *form.findform();
    EXPECT_TRUE(find.visible());
    const int qw = gameIndex("qws");
    EXPECT_EQ(find.gamecombo.selected(), qw + 1);
    ASSERT_TRUE(pumpUntil(20000, [&] { return find.finder() && !find.finder()->working(); }));
    ASSERT_FALSE(find.rows().empty());
    for (const auto& r : find.rows()) EXPECT_EQ(r.game, qw) << r.address << ": only QuakeWorld's masters were asked";
}

// Masters named by host name are looked up off the thread (each name once,
// whatever number of games share it) before they are asked; a name that is
// not found leaves the others asked. The status line names them meanwhile.
TEST_F(FindTest, MastersNamedByHostNameAreLookedUpOnceThenAsked) {
    NEED_SERVERS();
    test::SlowResolver resolver;
    const std::string port = master.substr(master.find(':') + 1);
    resolver.know("master.velmora.test", 0x7F000002);  // the stand-in, 127.0.0.2
    setMasters("master.velmora.test:" + port + " gone.velmora.test:27950");
    load();
    form_->openfind("");
    Tfindform& find = *form_->findform();
    ASSERT_TRUE(pumpUntil(5000, [&] { return resolver.asked().size() == 2; }));
    EXPECT_EQ(find.status(), "asking master.velmora.test:" + port + ", gone.velmora.test:27950...");
    EXPECT_TRUE(find.rows().empty());
    resolver.releaseAll();
    ASSERT_TRUE(pumpUntil(20000, [&] { return !find.finder()->working(); })) << find.status();
    EXPECT_EQ(resolver.asked().size(), 2u) << "one lookup per name";
    for (const Expected& e : expected) EXPECT_NE(rowOf(find, e.address), nullptr) << e.kind;
}

// What the window remembers is read with care: an edited value of the
// wrong type keeps its default and the window opens all the same.
TEST_F(FindTest, AWindowSettingOfTheWrongTypeKeepsItsDefault) {
    setMasters("");  // no game has a list: nothing is asked
    const DWORD number = 50;
    setUserValue(std::string(kRoot) + "\\find", "maxping", REG_DWORD, &number, sizeof number);
    setUserString(std::string(kRoot) + "\\find", "hidefull", "1");
    Tmainform& form = load();
    form.openfind("");
    ASSERT_NE(form.findform(), nullptr);
    Tfindform& find = *form.findform();
    EXPECT_TRUE(find.visible());
    EXPECT_EQ(find.pingcombo.selected(), 4) << "\"any\", the default";
    EXPECT_TRUE(find.hidefull.checked()) << "the readable values still count";
}

// No window, no datagram: the program starts, loads its games and runs its
// watcher without ever asking a master; opening the window asks at once.
TEST_F(FindTest, NothingIsSentToAMasterUntilTheWindowOpens) {
    Listener master;  // a master on loopback that nobody else asks
    const std::string at = "127.0.0.1:" + std::to_string(master.port());
    setMasters(at, at);
    Tmainform& form = load();
    form.setwatchminute(50);
    form.startwatch();
    pumpUntil(1000, [] { return false; });
    EXPECT_EQ(master.receive(0), "");
    EXPECT_EQ(form.findform(), nullptr);
    form.openfind("");
    // One master shared by every game is asked for one game after the
    // other: its replies do not name the game.
    std::vector<std::string> asked;
    ASSERT_TRUE(pumpUntil(8000, [&] {
        for (std::string d; !(d = master.receive(0)).empty();) asked.push_back(d);
        return asked.size() >= 2;
    }));
    const std::vector<std::string> queries = {
        std::string("c\n") + '\0', std::string("query\n") + '\0',
        std::string("\xff\xff\xff\xffgetservers 68 empty full") + '\0',
        std::string("\xff\xff\xff\xffgetservers 71 empty full") + '\0',
        std::string("\xff\xff\xff\xffgetservers DarkPlaces-Quake 3 empty full") + '\0'};
    for (const std::string& d : asked)
        EXPECT_NE(std::find(queries.begin(), queries.end(), d), queries.end()) << "a game's own master query: " << d;
    EXPECT_NE(asked[0], asked[1]);
}

}  // namespace
