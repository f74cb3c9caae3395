// One refresh of the "Find a game" list, free of any window or socket: every
// game's masters asked at once, the servers they list asked for their status
// over one socket, a few at a time, and each row filled as its reply comes.
// Sending, the clock and the plug-ins' decoders come from outside, so every
// rule runs natively in tests. Times are the milliseconds of a clock that may
// wrap (differences are taken modulo 2^32).
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/endpoint.h"
#include "find/masterlist.h"
#include "find/serverlist.h"
#include "query/querytexts.h"

namespace velmora::find {

// At most this many servers wait for their answer at one time: more would
// queue replies in the socket and add that wait to every ping.
constexpr std::size_t kMaxInFlight = 32;
// A try without an answer after this long is sent once more; after the
// second, the server has "no answer".
constexpr std::uint32_t kServerWaitMs = 1000;
constexpr int kTries = 2;
// A master's list ends at its last datagram, or when no master has sent one
// for this long.
constexpr std::uint32_t kMasterQuietMs = 2000;
// OnChange comes at most once in this time; the list view repaints on it.
constexpr std::uint32_t kChangeQuietMs = 100;
// Server texts are cut to this many bytes: a list view cell shows no more.
constexpr std::size_t kTextLimit = 255;

// A game's master reply decoder: fills `out` with the entries of one
// datagram and sets `last` when it ends the list; -1 when it is no master
// reply.
using MasterDecoder = std::function<int(const char* reply, int length, std::vector<Endpoint>& out, bool& last)>;

// What a status reply tells.
struct StatusReply {
    std::string name, map;
    int players = 0, maxplayers = 0;
    std::vector<std::string> playernames;
};
// A game's status decoder: nothing when the datagram is no status reply.
using StatusDecoder = std::function<std::optional<StatusReply>(const std::string& datagram)>;
// The reply of a plug-in's six texts (players after its three filler
// characters, both counts read as whole numbers), or nothing when the
// datagram lacks the FF FF FF FF prefix or the plug-in could not read it.
std::optional<StatusReply> statusreply(const query::DecodedTexts& decoded, std::string_view datagram);

struct Master {
    Endpoint at;
    std::string name;  // as the status line shows it; "" the address
};

// One game of a refresh.
struct GameSource {
    int game = -1;  // the game table's index; one source per game
    std::string name;
    std::vector<Master> masters;
    std::string masterquery;
    std::string statusquery;
    MasterDecoder decodemaster;
    StatusDecoder decodestatus;
};

class RefreshTransport {
public:
    virtual ~RefreshTransport() = default;
    virtual void send(const Endpoint& to, const std::string& bytes) = 0;
};

// Rows are only added while a refresh runs, except when a game's master
// list ends: then that game's rows that no master listed this time go (unless
// no master of the game answered at all: then they are asked again), and
// OnChange follows in the same call. Nothing is sent before start().
class Refresh {
public:
    explicit Refresh(RefreshTransport& transport) : transport_(transport) {}

    // Asks every game's masters (a master shared by several games is asked
    // for one game after the other, since its replies do not name the game).
    // A refresh that runs starts over: what waits is forgotten, the rows and
    // their figures stay until new ones come. Rows of games not in `games`
    // are left as they are.
    void start(std::vector<GameSource> games, std::uint32_t now);
    // Asks one row's server again (of a game of the last start).
    void refreshserver(std::size_t row, std::uint32_t now);
    // A datagram arrived. From a master being asked, it is read as its list;
    // from a server being asked, as its status. Anything else is ignored.
    // `arrived` is when it came, if it was stamped then (a ping runs to it);
    // `now` is when it is read, which everything sent in turn goes by.
    void received(const Endpoint& from, const std::string& datagram, std::uint32_t now);
    void received(const Endpoint& from, const std::string& datagram, std::uint32_t now, std::uint32_t arrived);
    // Lists and tries whose time is up end, queued servers are asked, a held
    // OnChange is told.
    void wake(std::uint32_t now);
    // Milliseconds from `now` until wake() has work, or nothing.
    std::optional<std::uint32_t> nextwake(std::uint32_t now) const;

    const std::vector<ServerRow>& rows() const { return rows_; }
    bool working() const;
    // The masters still to answer, by name, each once.
    std::vector<std::string> asking() const;
    std::string status() const { return statusline(tally(rows_), asking(), working()); }
    std::size_t inflight() const { return flight_.size(); }
    // Counts every change of the rows or the status, told or not.
    std::uint64_t changes() const { return changes_; }

    // When set, a try is timed from the moment its datagram leaves (the
    // clock read right before the send), not from the `now` of the call that
    // sent it: a batch of sends takes its time, and the last of them would
    // read a longer ping.
    std::function<std::uint32_t()> sendclock;

    // The rows or the status changed: at most once per kChangeQuietMs, the
    // rest held for wake() (nextwake() says when). A row going is told at
    // once.
    std::function<void()> OnChange;

private:
    struct Key {
        int game;
        Endpoint at;
        auto operator<=>(const Key&) const = default;
    };
    struct Ask {
        std::size_t source;
        Master master;
        enum class State { Pending, Open, Ended } state = State::Pending;
        std::uint32_t quietFrom = 0;
    };
    struct Probe {
        Key key;
        int tries = 0;
        std::uint32_t firstSent = 0;
        std::uint32_t lastSent = 0;
    };

    void openasks(std::uint32_t now);
    void endlists();
    void list(std::size_t source, const Endpoint& at);
    void pump(std::uint32_t now);
    void answered(const Probe& probe, const StatusReply& reply, std::uint32_t arrived);
    void note(bool structural = false);
    void tell(std::uint32_t now);

    RefreshTransport& transport_;
    std::vector<GameSource> games_;
    std::map<int, std::size_t> sourceOf_;
    std::vector<MasterList> lists_;
    std::vector<bool> listEnded_;
    std::vector<bool> heard_;  // a master of the game sent its list
    std::vector<Ask> asks_;
    std::vector<ServerRow> rows_;
    std::map<Key, std::size_t> rowOf_;
    std::deque<Key> queue_;
    std::vector<Probe> flight_;
    std::set<Key> waiting_;  // queued or in flight: a row is asked once at a time
    std::uint64_t changes_ = 0;
    bool held_ = false;
    bool heldStructural_ = false;
    bool told_ = false;
    std::uint32_t toldAt_ = 0;
};

}  // namespace velmora::find
