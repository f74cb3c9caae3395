// The "Find a game" list's order, filters, status line, copied text and
// remembered settings: what the window shows is built from these alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "find/findsettings.h"
#include "find/serverlist.h"

using namespace velmora;
using namespace velmora::find;

namespace {
// A row named by a letter in its port (27960 + letter), so an order reads as
// a word.
ServerRow row(char id, int game, const char* name, const char* map, int players, int max, int ping,
              std::uint32_t ip = 0x0A000001) {
    ServerRow r;
    r.game = game;
    r.gamename = game == 0 ? "Quake III Arena" : "QuakeWorld";
    r.endpoint = {ip, static_cast<std::uint16_t>(27960 + id)};
    r.address = addresstext(r.endpoint);
    r.name = name;
    r.map = map;
    r.figures = max > 0;
    r.players = players;
    r.maxplayers = max;
    r.ping = ping;
    r.state = max > 0 ? Answer::Answered : Answer::Waiting;
    return r;
}

std::string word(const std::vector<ServerRow>& rows, const std::vector<std::size_t>& index) {
    std::string w;
    for (const std::size_t i : index) w += static_cast<char>(rows[i].endpoint.port - 27960);
    return w;
}

// Two names equal but for case, two maps equal, two player counts equal, a
// server not yet answered, and the lowest address on the highest letter.
std::vector<ServerRow> sortrows() {
    return {row('A', 0, "alpha", "q3dm17", 8, 16, 40, 0x0A000002), row('B', 1, "Bravo", "dm4", 8, 16, 20, 0x0A000003),
            row('C', 0, "charlie", "Q3DM6", 2, 8, 90, 0x0A000004), row('E', 0, "ALPHA", "dm4", 0, 12, 150, 0x0A000005),
            row('D', 1, "", "", 0, 0, -1, 0x0A000001)};
}
}  // namespace

// A header click: the first order is players, most first; the same column
// again turns it round; rows still being asked stay at the bottom either way.
TEST(ServerList, EveryColumnSortsBothWays) {
    const struct {
        Column column;
        bool reversed;
        const char* order;
    } cases[] = {
        {Column::Players, false, "BACED"}, {Column::Players, true, "ECBAD"}, {Column::Name, false, "EABCD"},
        {Column::Name, true, "CBAED"},     {Column::Game, false, "ACEBD"},   {Column::Map, false, "BEACD"},
        {Column::Ping, false, "BACED"},    {Column::Ping, true, "ECABD"},    {Column::Address, false, "DABCE"},
        {Column::Address, true, "ECBAD"},
    };
    std::vector<ServerRow> rows = sortrows();
    for (const auto& c : cases) {
        EXPECT_EQ(word(rows, visiblerows(rows, {}, {c.column, c.reversed})), c.order) << int(c.column) << c.reversed;
        // The order depends on the rows alone, not on where they stood.
        std::vector<ServerRow> turned(rows.rbegin(), rows.rend());
        EXPECT_EQ(word(turned, visiblerows(turned, {}, {c.column, c.reversed})), c.order) << "rows turned round";
    }
    EXPECT_EQ(SortOrder{}, (SortOrder{Column::Players, false}));
    EXPECT_EQ(clicked({}, Column::Players), (SortOrder{Column::Players, true}));
    EXPECT_EQ(clicked({Column::Name, true}, Column::Name), (SortOrder{Column::Name, false}));
    EXPECT_EQ(clicked({Column::Name, true}, Column::Ping), (SortOrder{Column::Ping, false}));
}

// Each filter above the list alone and together; a server without a ping
// passes only "any", one that never answered is not shown as having players.
TEST(ServerList, FiltersHideWhatTheySay) {
    std::vector<ServerRow> rows = {row('F', 0, "Fragfest", "q3dm17", 16, 16, 40),
                                   row('E', 0, "Empty Box", "dm4", 0, 12, 150),
                                   row('W', 0, "", "", 0, 0, -1),
                                   row('N', 0, "Old Name", "e1m1", 0, 0, -1),
                                   row('P', 1, "Pub", "Q3TOURNEY2", 5, 8, 50),
                                   row('Q', 1, "q", "x", 5, 8, 51)};
    rows[3].state = Answer::NoAnswer;
    rows[3].players = 3;  // counted before it stopped answering
    const struct {
        Filters filters;
        const char* shown;
    } cases[] = {
        {{}, "FEWNPQ"},
        {{1, false, false, 0, ""}, "PQ"},
        {{-1, true, false, 0, ""}, "FPQ"},
        {{-1, false, true, 0, ""}, "EWNPQ"},
        {{-1, false, false, 50, ""}, "FP"},
        {{-1, false, false, 250, ""}, "FEPQ"},
        {{-1, false, false, 0, "Q3"}, "FP"},
        {{-1, false, false, 0, "old"}, "N"},
        {{-1, false, false, 0, "DM"}, "FE"},
        {{-1, true, true, 100, ""}, "PQ"},
    };
    for (const auto& c : cases) {
        std::string got;
        for (const ServerRow& r : rows)
            if (shown(r, c.filters)) got += static_cast<char>(r.endpoint.port - 27960);
        EXPECT_EQ(got, c.shown) << c.filters.game << c.filters.hideempty << c.filters.hidefull << c.filters.maxping
                                << c.filters.text;
    }
}

// The three forms of the status line, texts as the window shows them.
TEST(ServerList, StatusLineSaysWhatTheRefreshDoes) {
    const struct {
        Tally tally;
        std::vector<std::string> asking;
        bool working;
        const char* text;
    } cases[] = {
        {{}, {"master.ioquake3.org:27950", "127.0.0.1:27000"}, true,
         "asking master.ioquake3.org:27950, 127.0.0.1:27000..."},
        {{12, 5, 30}, {}, true, "5 of 12 answered"},
        {{12, 5, 30}, {}, false, "12 servers, 5 answered, 30 players"},
        {{}, {}, false, "0 servers, 0 answered, 0 players"},
    };
    for (const auto& c : cases) EXPECT_EQ(statusline(c.tally, c.asking, c.working), c.text);

    // Players are counted on servers that answered this time only; rows no
    // master listed yet are not counted at all.
    std::vector<ServerRow> rows = {row('A', 0, "a", "m", 3, 8, 10), row('B', 0, "b", "m", 4, 8, 10),
                                   row('C', 0, "c", "m", 5, 8, 10), row('D', 0, "d", "m", 6, 8, 10)};
    rows[1].state = Answer::Waiting;  // figures from the refresh before
    rows[2].state = Answer::NoAnswer;
    rows[3].listed = false;
    const Tally t = tally(rows);
    EXPECT_EQ(t.servers, 3u);
    EXPECT_EQ(t.answered, 1u);
    EXPECT_EQ(t.players, 3);
}

// Ctrl+C: every column, the address included, tab-separated, CR LF after
// each row, in the order the rows were selected.
TEST(ServerList, CopiedRowsHoldEveryColumn) {
    std::vector<ServerRow> rows = {row('A', 0, "Fragfest", "q3dm17", 16, 16, 40, 0x7F000001),
                                   row('B', 1, "Old Name", "e1m1", 0, 0, -1, 0xFF000102),
                                   row('C', 1, "", "", 0, 0, -1, 0x0A000001)};
    rows[1].state = Answer::NoAnswer;
    EXPECT_EQ(copytext(rows, {1, 0, 2}),
              "Old Name\tQuakeWorld\te1m1\t\tno answer\t255.0.1.2:28026\r\n"
              "Fragfest\tQuake III Arena\tq3dm17\t16/16\t40\t127.0.0.1:28025\r\n"
              "\tQuakeWorld\t\t\t\t10.0.0.1:28027\r\n");
    EXPECT_EQ(copytext(rows, {}), "");
}

// The window comes back where it was, with its columns and filters; values
// someone edited into nonsense give the defaults, never a window of no size.
TEST(FindSettings, StoredValuesComeBackAndNonsenseIsRefused) {
    FindSettings s;
    s.left = -1200;
    s.top = 40;
    s.width = 700;
    s.height = 500;
    s.columns[0] = 300;
    s.gameid = "q3a";
    s.hideempty = true;
    s.hidefull = true;
    s.maxping = 150;
    s.text = "ctf";
    std::map<std::string, std::string> stored;
    for (const auto& [name, value] : storedvalues(s)) stored[name] = value;
    EXPECT_EQ(stored["place"], "-1200,40,700,500");
    EXPECT_EQ(stored["columns"], "300,90,80,60,60,120");
    const auto from = [](const std::map<std::string, std::string>& values) {
        return readsettings([&](const std::string& name) -> std::optional<std::string> {
            const auto it = values.find(name);
            return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
        });
    };
    EXPECT_EQ(from(stored), s);
    EXPECT_EQ(from({}), FindSettings{});

    const struct {
        const char* name;
        const char* value;
    } refused[] = {
        {"place", "10,10,0,300"}, {"place", "10,10,300"},        {"place", "a,b,c,d"},
        {"place", "1,2,3,99999"}, {"columns", "100,100,100"},    {"columns", "100,100,100,100,100,2"},
        {"maxping", "75"},        {"maxping", "fast"},           {"hideempty", "yes"},
    };
    for (const auto& c : refused) EXPECT_EQ(from({{c.name, c.value}}), FindSettings{}) << c.name << "=" << c.value;
}
