#include "watch/watchrules.h"

#include <algorithm>
#include <utility>

#include "base/address.h"
#include "base/text.h"

namespace velmora::watch {

std::uint32_t watchinterval(std::string_view value) {
    for (const char* choice : velmora::kWatchChoices)
        if (value == choice) return leadingNumber(choice) * 60u * 1000u;
    return watchinterval(velmora::kWatchDefault);
}

bool notifyon(std::string_view value) { return value != "0"; }

std::optional<std::uint32_t> dottedaddress(std::string_view host) { return parseDottedQuad(host); }

namespace {
std::string cut(std::string text, size_t limit) {
    if (text.size() > limit) text.resize(limit);
    return text;
}
}  // namespace

std::vector<WatchTarget> watchtargets(const std::vector<WatchedGame>& games) {
    size_t longest = 0;
    for (const WatchedGame& game : games) longest = std::max(longest, game.entries.size());
    std::vector<WatchTarget> targets;
    for (size_t place = 0; place < longest; ++place) {
        for (size_t k = games.size(); k-- > 0;) {
            if (place >= games[k].entries.size() || games[k].sendstr.empty()) continue;
            const WatchedEntry& e = games[k].entries[place];
            // Stored values written before links were checked may hold any
            // text: only an address a link may name today is asked.
            const size_t colon = e.address.rfind(':');
            if (colon == std::string::npos || addressfault(e.address)) continue;
            // The manual join stores the broadcast address it asks by
            // default: the watcher asks one server, never every machine of a
            // network (nor a multicast group, nor "this network").
            if (const auto ip = parseDottedQuad(e.address.substr(0, colon)); ip && (*ip >> 24 == 0 || *ip >> 24 >= 224))
                continue;
            WatchTarget t;
            t.game = static_cast<int>(k);
            t.entry = e.entry;
            t.caption = e.caption;
            t.host = e.address.substr(0, colon);
            t.port = portNumber(std::string_view(e.address).substr(colon + 1));
            t.query = games[k].sendstr;
            targets.push_back(std::move(t));
        }
    }
    return targets;
}

std::string statuslabel(const ServerStatus& status) {
    switch (status.kind) {
        case ServerStatus::Kind::None: return {};
        case ServerStatus::Kind::NoAnswer: return kNoAnswer;
        case ServerStatus::Kind::Answer: break;
    }
    return cut(status.players + "/" + status.maxplayers + " " + status.map, kStatusLimit);
}

std::optional<ServerStatus> answerstatus(const query::DecodedTexts& d, std::string_view datagram) {
    // A reply the plug-in could not read gives "???" in place of the filler
    // and the count; it is no status reply.
    if (!query::hasstatusprefix(datagram) || d.players.rfind("???", 0) == 0) return std::nullopt;
    ServerStatus s;
    s.kind = ServerStatus::Kind::Answer;
    // Every text is cleaned before it is cut, so control characters a reply
    // pads it with take no room from what is shown.
    s.players = cut(query::cleaned(d.players.size() > 3 ? d.players.substr(3) : std::string()), kStatusLimit);
    s.maxplayers = cut(query::cleaned(d.maxplayers), kStatusLimit);
    s.map = cut(query::cleaned(d.map), kStatusLimit);
    s.playercount = leadingCount(s.players);
    return s;
}

std::string balloontext(const ServerStatus& status) { return status.players + " playing on " + status.map; }

Watch::Watch(WatchTransport& transport, WatchDecoder decoder) : transport_(transport), decoder_(std::move(decoder)) {}

void Watch::setinterval(std::uint32_t ms, std::uint32_t now) {
    if (ms == interval_) return;
    const bool wasOn = interval_ != 0;
    interval_ = ms;
    if (ms == 0) {
        // Off forgets everything: a late answer finds nothing waiting, the
        // menu shows no status, and switching on again starts a first round.
        bool shown = false;
        for (Server& s : servers_) {
            shown = shown || s.status.kind != ServerStatus::Kind::None;
            const WatchTarget target = std::move(s.target);
            s = Server{};
            s.target = target;
            s.ip = dottedaddress(s.target.host);
        }
        if (shown) changed();
        return;
    }
    if (!wasOn) wake(now);
}

void Watch::settargets(std::vector<WatchTarget> targets, std::uint32_t now) {
    std::vector<Server> next;
    bool shown = false;
    for (WatchTarget& t : targets) {
        const auto same = std::find_if(servers_.begin(), servers_.end(), [&](const Server& s) {
            return s.target.game == t.game && s.target.host == t.host && s.target.port == t.port;
        });
        Server s;
        if (same != servers_.end()) {
            s = *same;
            // Taken: a second entry of the same address (with and without
            // a title) is a server of its own, asked after this one.
            same->target.game = -1;
        } else {
            s.ip = dottedaddress(t.host);
        }
        s.target = std::move(t);
        next.push_back(std::move(s));
    }
    for (const Server& s : servers_)
        if (s.target.game >= 0 && s.status.kind != ServerStatus::Kind::None) shown = true;
    servers_ = std::move(next);
    if (shown) changed();
    if (interval_) wake(now);
}

void Watch::menuopened(std::uint32_t now) {
    if (!interval_) return;
    for (Server& s : servers_)
        if (!s.waiting && s.status.kind != ServerStatus::Kind::None && now - s.statusAt > kMenuRefreshMs)
            s.refresh = true;
    wake(now);
}

bool Watch::due(const Server& s, std::uint32_t now) const {
    if (!interval_ || s.waiting) return false;
    return !s.asked || s.refresh || now - s.askedAt >= interval_;
}

bool Watch::addressbusy(const Server& s) const {
    return std::any_of(servers_.begin(), servers_.end(), [&](const Server& o) {
        return o.waiting && o.target.host == s.target.host && o.target.port == s.target.port;
    });
}

int Watch::inflight() const {
    return static_cast<int>(std::count_if(servers_.begin(), servers_.end(), [](const Server& s) { return s.waiting; }));
}

void Watch::ask(Server& s, std::uint32_t now) {
    s.asked = true;
    s.askedAt = now;
    s.refresh = false;
    s.waiting = true;
    s.ticket = nextTicket_++;
    if (nextTicket_ == 0) nextTicket_ = 1;
    if (s.ip) {
        s.sent = true;
        transport_.send({*s.ip, s.target.port}, s.target.query);
    } else {
        // A name is looked up for every query, so a moved server is found.
        s.sent = false;
        transport_.resolve(s.ticket, s.target.host);
    }
}

void Watch::resolved(std::uint32_t ticket, std::optional<std::uint32_t> ip, std::uint32_t now) {
    for (Server& s : servers_) {
        if (!s.waiting || s.sent || s.ticket != ticket) continue;
        if (!ip) {
            finish(s, ServerStatus::noanswer(), now);
        } else {
            s.sent = true;
            s.resolvedIp = *ip;
            transport_.send({*ip, s.target.port}, s.target.query);
        }
        break;
    }
    wake(now);
}

void Watch::received(const Endpoint& from, const std::string& datagram, std::uint32_t now) {
    for (Server& s : servers_) {
        if (!s.waiting || !s.sent || s.target.port != from.port) continue;
        if ((s.ip ? *s.ip : s.resolvedIp) != from.ip) continue;
        const std::optional<ServerStatus> status = answerstatus(decoder_(s.target.game, datagram), datagram);
        // Anything but a status reply leaves the query waiting for one.
        if (status) finish(s, *status, now);
        break;
    }
    wake(now);
}

// Every result that received() and resolved() record is told here too, as
// both end with a wake.
void Watch::wake(std::uint32_t now) {
    for (Server& s : servers_)
        if (s.waiting && now - s.askedAt >= kAnswerDeadlineMs) finish(s, ServerStatus::noanswer(), now);
    int waiting = inflight();
    for (Server& s : servers_) {
        if (waiting >= kMaxInFlight) break;
        if (!due(s, now) || addressbusy(s)) continue;
        ask(s, now);
        ++waiting;
    }
    tell();
}

std::optional<std::uint32_t> Watch::nextwake(std::uint32_t now) const {
    if (!interval_) return std::nullopt;
    std::optional<std::uint32_t> soonest;
    const auto consider = [&](std::uint32_t at) {
        const std::uint32_t wait = static_cast<std::int32_t>(at - now) > 0 ? at - now : 0;
        if (!soonest || wait < *soonest) soonest = wait;
    };
    const bool full = inflight() >= kMaxInFlight;
    for (const Server& s : servers_) {
        if (s.waiting) {
            consider(s.askedAt + kAnswerDeadlineMs);
        } else if (due(s, now)) {
            // A query held back by the limit or by its address goes when a
            // waiting one ends, which has a deadline of its own.
            if (!full && !addressbusy(s)) consider(now);
        } else {
            consider(s.askedAt + interval_);
        }
    }
    return soonest;
}

void Watch::finish(Server& s, ServerStatus status, std::uint32_t now) {
    using Kind = ServerStatus::Kind;
    s.waiting = false;
    s.sent = false;
    const ServerStatus before = s.status;
    s.status = status;
    s.statusAt = now;
    // Only a change counts: a server's first result (the first round after
    // the start, or a server new in the history) never gives a balloon.
    const bool wasEmpty = before.kind == Kind::NoAnswer || (before.kind == Kind::Answer && before.playercount == 0);
    const bool quiet = s.ballooned && now - s.balloonAt < kBalloonQuietMs;
    if (wasEmpty && status.kind == Kind::Answer && status.playercount > 0 && notify_ && !quiet) {
        s.ballooned = true;
        s.balloonAt = now;
        heldBalloons_.push_back(
            Balloon{s.target.game, s.target.entry, cut(s.target.caption, 63), cut(balloontext(status), 255)});
    }
    if (statuslabel(before) != statuslabel(status) || before.playercount != status.playercount) changeHeld_ = true;
}

void Watch::changed() {
    if (OnChange) OnChange();
}

// The callbacks reach the shell (the tray's balloon and tip), and a call
// into the shell lets a second copy's hand-off run inside it, which sets
// new targets and frees the servers: so none of them runs while the servers
// are walked. A balloon is a copy and needs no server; what is held is taken
// first, so a callback that wakes the watch again tells only its own.
void Watch::tell() {
    const std::vector<Balloon> balloons = std::exchange(heldBalloons_, {});
    const bool change = std::exchange(changeHeld_, false);
    for (const Balloon& b : balloons)
        if (OnBalloon) OnBalloon(b);
    if (change) changed();
}

std::string Watch::status(int game, const std::string& entry) const {
    for (const Server& s : servers_)
        if (s.target.game == game && s.target.entry == entry) return statuslabel(s.status);
    return {};
}

std::string Watch::tip() const {
    const Server* best = nullptr;
    for (const Server& s : servers_)
        if (s.status.kind == ServerStatus::Kind::Answer && s.status.playercount > 0 &&
            (!best || s.status.playercount > best->status.playercount))
            best = &s;
    if (!best) return kTipText;
    return std::string(kTipText) + ": " + std::to_string(best->status.playercount) + " on " + best->target.caption;
}

}  // namespace velmora::watch
