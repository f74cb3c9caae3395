// The status watcher's rules, free of any window or socket: which recent
// servers are asked and when, what an answer or its absence shows in the
// tray menu, which server the icon's tip names, and when a balloon says that
// an empty server got players. The clock, the sending and the plug-in's
// decoder come from outside, so every rule runs natively in tests.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/endpoint.h"
#include "query/querytexts.h"
#include "settings/settingsstore.h"

namespace velmora::watch {

// At most this many queries wait for their answer at one time.
constexpr int kMaxInFlight = 16;
// A query without a valid answer after this long counts as "no answer".
constexpr std::uint32_t kAnswerDeadlineMs = 1000;
// When the tray menu opens, results older than this are asked again at once.
constexpr std::uint32_t kMenuRefreshMs = 30 * 1000;
// A server gives at most one balloon in this time.
constexpr std::uint32_t kBalloonQuietMs = 10 * 60 * 1000;
// The menu's status is cut to this many characters.
constexpr size_t kStatusLimit = 48;

inline constexpr char kNoAnswer[] = "no answer";
inline constexpr char kTipText[] = "the Velmora";

// The interval in milliseconds for a stored "watch" value; 0 watches nothing.
// A missing (empty) or unknown value is the default, two minutes.
std::uint32_t watchinterval(std::string_view value);
// The "notify" value: only "0" switches the balloons off (missing means on).
bool notifyon(std::string_view value);

// An IPv4 address in host order (127.0.0.1 is 0x7F000001) and a port.
using velmora::Endpoint;

// The address of a dotted quad, or nothing for a host name.
std::optional<std::uint32_t> dottedaddress(std::string_view host);

// One history entry as stored, what the tray menu shows for it, and its
// address ("host:port").
struct WatchedEntry {
    std::string entry;
    std::string caption;
    std::string address;
};
// One game as the watcher needs it: its history, most recent first, and the
// bytes of its status query.
struct WatchedGame {
    std::vector<WatchedEntry> entries;
    std::string sendstr;
};

// One recent server.
struct WatchTarget {
    int game = -1;
    std::string entry;    // the history entry as stored
    std::string caption;  // what the tray menu shows for it
    std::string host;
    std::uint16_t port = 0;
    std::string query;    // the game's status query
};

// The servers of every game's history, in the order ties are settled in:
// every game's most recent server first, then every game's second, and so
// on; among equal places the game listed higher in the tray menu (the later
// one in the table) comes first. Entries without a usable port and games
// without a query are left out.
std::vector<WatchTarget> watchtargets(const std::vector<WatchedGame>& games);

// What is known of one server.
struct ServerStatus {
    enum class Kind { None, Answer, NoAnswer };
    Kind kind = Kind::None;
    std::string players;  // cleaned, without the plug-in's three filler characters
    std::string maxplayers;
    std::string map;
    int playercount = 0;  // the players text read as a number (0 when it is none)

    static ServerStatus noanswer() {
        ServerStatus s;
        s.kind = Kind::NoAnswer;
        return s;
    }
};

// "‹players›/‹max› ‹map›" for an answer, "no answer", or nothing before the
// first result; server texts cleaned like the query window's, cut to
// kStatusLimit characters.
std::string statuslabel(const ServerStatus& status);

// The status of a decoded reply, or nothing when the reply is no status
// reply (no FF FF FF FF prefix, or texts the plug-in could not decode).
std::optional<ServerStatus> answerstatus(const query::DecodedTexts& decoded, std::string_view datagram);

// A balloon to show: title and text as handed to the shell.
struct Balloon {
    int game = -1;
    std::string entry;
    std::string title;
    std::string text;
};
// "‹players› playing on ‹map›".
std::string balloontext(const ServerStatus& status);

// What the watcher does to the outside: send a datagram, look a host name up
// (the answer comes back through Watch::resolved with the same ticket).
class WatchTransport {
public:
    virtual ~WatchTransport() = default;
    virtual void send(const Endpoint& to, const std::string& bytes) = 0;
    virtual void resolve(std::uint32_t ticket, const std::string& host) = 0;
};

// The plug-in's decoder for game `game`, as the query window uses it.
using WatchDecoder = std::function<query::DecodedTexts(int game, const std::string& datagram)>;

// The schedule and the results of every watched server. Times are the
// milliseconds of a clock that may wrap (differences are taken modulo 2^32).
//
// A server is asked when it was never asked or its last query went out an
// interval ago, or when the menu opened and its result is older than 30 s;
// at most kMaxInFlight queries wait at once, and two queries to the same
// address never wait together (an answer is matched by its source address
// and port alone).
class Watch {
public:
    Watch(WatchTransport& transport, WatchDecoder decoder);

    // 0 stops everything: nothing waits any more, results and balloons are
    // forgotten, and the next start is a first round again.
    void setinterval(std::uint32_t ms, std::uint32_t now);
    std::uint32_t interval() const { return interval_; }
    void setnotify(bool on) { notify_ = on; }
    bool notify() const { return notify_; }
    // The servers to watch from now on. A server still listed (same game and
    // address) keeps its result and its times; a new one is due at once.
    void settargets(std::vector<WatchTarget> targets, std::uint32_t now);
    // The tray menu opens: results older than kMenuRefreshMs are asked again.
    void menuopened(std::uint32_t now);

    // A datagram arrived from `from`. Unless it answers a waiting query of
    // that address with a status reply, it is ignored.
    void received(const Endpoint& from, const std::string& datagram, std::uint32_t now);
    // A name lookup ended; nothing when the name is unknown.
    void resolved(std::uint32_t ticket, std::optional<std::uint32_t> ip, std::uint32_t now);
    // Deadlines that have passed become "no answer"; then due queries go out.
    void wake(std::uint32_t now);
    // Milliseconds from `now` until wake() has work, or nothing when only a
    // datagram or a change can give it work.
    std::optional<std::uint32_t> nextwake(std::uint32_t now) const;

    // The status text of a history entry of game `game` ("" when unknown).
    std::string status(int game, const std::string& entry) const;
    // The icon's tip: "the Velmora: ‹players› on ‹caption›" for the server
    // with most players, or "the Velmora" while nobody plays. The icon cuts
    // it as every tip (at "|", to 63 characters).
    std::string tip() const;
    int inflight() const;
    size_t size() const { return servers_.size(); }

    // A shown result changed (the menu and the tip follow).
    std::function<void()> OnChange;
    std::function<void(const Balloon&)> OnBalloon;

private:
    struct Server {
        WatchTarget target;
        std::optional<std::uint32_t> ip;  // known at once for a dotted quad
        std::uint32_t resolvedIp = 0;     // a name's address for the waiting query
        bool asked = false;               // a query went out since the start
        std::uint32_t askedAt = 0;
        bool waiting = false;
        bool sent = false;  // the waiting query's datagram has left
        std::uint32_t ticket = 0;
        bool refresh = false;  // asked again when the menu opened
        ServerStatus status;
        std::uint32_t statusAt = 0;
        bool ballooned = false;
        std::uint32_t balloonAt = 0;
    };
    bool due(const Server& s, std::uint32_t now) const;
    bool addressbusy(const Server& s) const;
    void ask(Server& s, std::uint32_t now);
    // Records a result; what it owes the outside (a balloon, a change) is
    // held until the walk over the servers has ended (see tell()).
    void finish(Server& s, ServerStatus status, std::uint32_t now);
    void changed();
    // Fires what finish() held back.
    void tell();

    WatchTransport& transport_;
    WatchDecoder decoder_;
    std::uint32_t interval_ = 0;
    bool notify_ = true;
    std::uint32_t nextTicket_ = 1;
    std::vector<Server> servers_;
    std::vector<Balloon> heldBalloons_;
    bool changeHeld_ = false;
};

}  // namespace velmora::watch
