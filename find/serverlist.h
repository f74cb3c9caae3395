// The "Find a game" list as the window shows it, free of any window: a row
// per server a master listed, the order a header click gives, the filters
// above the list, the status line and the text Ctrl+C copies. The list view
// is virtual: it asks for the rows it shows through the index visiblerows()
// builds, and the texts through celltext().
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/endpoint.h"

namespace velmora::find {

// The columns, in the order the list view shows them.
enum class Column { Name, Game, Map, Players, Ping, Address };
constexpr int kColumns = 6;

// Where a server stands in the refresh that runs or ran last.
enum class Answer { Waiting, Answered, NoAnswer };

// Shown in the ping column of a server that did not answer.
inline constexpr char kNoAnswerText[] = "no answer";

struct ServerRow {
    int game = -1;          // the game table's index
    std::string gamename;
    Endpoint endpoint;
    std::string address;    // "a.b.c.d:port"
    // From the last answer, this refresh's or an earlier one's; name and map
    // stay when a server stops answering, so it can still be recognised.
    std::string name, map;  // inert: no control characters
    bool figures = false;   // players and max come from an answer
    int players = 0, maxplayers = 0;
    int ping = -1;          // milliseconds; -1 none
    Answer state = Answer::Waiting;
    std::vector<std::string> playernames;
    bool listed = true;     // a master listed it in the refresh that runs
};

// "a.b.c.d:port".
std::string addresstext(const Endpoint& at);
// What a cell shows: players as "n/max" (nothing before an answer), ping in
// milliseconds, kNoAnswerText for a server that did not answer, nothing
// while it is asked for the first time.
std::string celltext(const ServerRow& row, Column column);

// The order of the list. The first order is players, most first; a click on
// another column sorts by it (names, games, maps and addresses ascending,
// players most first, ping lowest first), a click on the same column turns
// the order round.
struct SortOrder {
    Column column = Column::Players;
    bool reversed = false;
    bool operator==(const SortOrder&) const = default;
};
SortOrder clicked(SortOrder order, Column column);

// The filters above the list. maxping is one of kPingChoices; 0 is "any".
inline constexpr int kPingChoices[] = {50, 100, 150, 250, 0};
struct Filters {
    int game = -1;  // the game table's index; -1 every game
    bool hideempty = false;
    bool hidefull = false;
    int maxping = 0;
    std::string text;  // found in name or map, whatever the case
    bool operator==(const Filters&) const = default;
};
bool shown(const ServerRow& row, const Filters& filters);

// The rows that pass the filters, as indexes into `rows`, in the order
// `order` gives; the same rows give the same index whatever order they were
// in or were sorted in before.
std::vector<std::size_t> visiblerows(const std::vector<ServerRow>& rows, const Filters& filters, SortOrder order);

// What the status line counts.
struct Tally {
    std::size_t servers = 0;
    std::size_t answered = 0;
    long long players = 0;  // of the servers that answered
};
// Every row a master listed in the refresh that runs or ran last.
Tally tally(const std::vector<ServerRow>& rows);
// "asking ‹masters›..." while masters are asked (their names joined by
// ", "), then "‹a› of ‹n› answered" while servers are, and when all is done
// "‹n› servers, ‹m› answered, ‹k› players".
std::string statusline(const Tally& tally, const std::vector<std::string>& asking, bool working);

// Ctrl+C: the rows `selected` (indexes into `rows`, in that order), each
// column's text separated by tabs in the view's column order, one row per
// line ending in CR LF.
std::string copytext(const std::vector<ServerRow>& rows, const std::vector<std::size_t>& selected);

}  // namespace velmora::find
