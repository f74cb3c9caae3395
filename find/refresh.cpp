#include "find/refresh.h"

#include <algorithm>
#include <utility>

#include "base/text.h"

namespace velmora::find {

namespace {
// Inert before it is cut, so control characters take no room from what is
// shown; the same cleaning as the tray menu's.
std::string inert(std::string_view text) {
    std::string out = query::cleaned(text);
    if (out.size() > kTextLimit) out.resize(kTextLimit);
    return out;
}

// Milliseconds from `since` to `now`; none when `since` is later (a send
// timed by the send clock after the `now` of the call that looks at it).
std::uint32_t elapsed(std::uint32_t since, std::uint32_t now) {
    const auto passed = static_cast<std::int32_t>(now - since);
    return passed > 0 ? static_cast<std::uint32_t>(passed) : 0;
}
std::uint32_t remaining(std::uint32_t since, std::uint32_t wait, std::uint32_t now) {
    const std::uint32_t passed = elapsed(since, now);
    return passed >= wait ? 0 : wait - passed;
}
}  // namespace

std::optional<StatusReply> statusreply(const query::DecodedTexts& d, std::string_view datagram) {
    // A reply the plug-in could not read gives "???" in place of the filler
    // and the count.
    if (!query::hasstatusprefix(datagram) || d.players.rfind("???", 0) == 0) return std::nullopt;
    StatusReply r;
    r.name = d.name;
    r.map = d.map;
    r.players = leadingCount(d.players.size() > 3 ? std::string_view(d.players).substr(3) : std::string_view());
    r.maxplayers = leadingCount(d.maxplayers);
    return r;
}

void Refresh::start(std::vector<GameSource> games, std::uint32_t now) {
    // Replies to what waited are no longer matched: a server asked again has
    // its ping measured from the new try.
    queue_.clear();
    flight_.clear();
    waiting_.clear();
    asks_.clear();
    games_ = std::move(games);
    sourceOf_.clear();
    lists_.clear();
    for (std::size_t s = 0; s < games_.size(); ++s) {
        sourceOf_[games_[s].game] = s;
        std::vector<Endpoint> masters;
        for (const Master& m : games_[s].masters) {
            // A master named twice for one game is asked once.
            if (std::find(masters.begin(), masters.end(), m.at) != masters.end()) continue;
            masters.push_back(m.at);
            asks_.push_back({s, m});
        }
        lists_.emplace_back(std::move(masters));
    }
    listEnded_.assign(games_.size(), false);
    heard_.assign(games_.size(), false);
    for (ServerRow& r : rows_) {
        if (!sourceOf_.count(r.game)) continue;
        r.listed = false;
        r.state = Answer::Waiting;
    }
    openasks(now);
    endlists();
    pump(now);
    note();
    tell(now);
}

// Every master is asked at once, except that one address is asked for one
// game at a time: its replies are told apart by their source alone.
void Refresh::openasks(std::uint32_t now) {
    for (Ask& a : asks_) {
        if (a.state != Ask::State::Pending) continue;
        const bool sharing = std::any_of(asks_.begin(), asks_.end(), [&](const Ask& o) {
            return o.state == Ask::State::Open && o.master.at == a.master.at;
        });
        if (sharing) continue;
        a.state = Ask::State::Open;
        a.quietFrom = now;
        transport_.send(a.master.at, games_[a.source].masterquery);
    }
}

// A game whose masters have all ended has its list: rows no master listed
// this time are gone. When none of them answered at all, the servers an
// earlier list gave are asked again instead: a master that is down for a
// moment should not empty the window.
void Refresh::endlists() {
    bool removed = false;
    for (std::size_t s = 0; s < games_.size(); ++s) {
        if (listEnded_[s]) continue;
        const bool open = std::any_of(asks_.begin(), asks_.end(), [&](const Ask& a) {
            return a.source == s && a.state != Ask::State::Ended;
        });
        if (open) continue;
        listEnded_[s] = true;
        const int game = games_[s].game;
        if (!heard_[s]) {
            for (std::size_t i = 0; i < rows_.size(); ++i)
                if (rows_[i].game == game && !rows_[i].listed) list(s, rows_[i].endpoint);
            continue;
        }
        const auto gone = std::remove_if(rows_.begin(), rows_.end(),
                                         [&](const ServerRow& r) { return r.game == game && !r.listed; });
        removed = removed || gone != rows_.end();
        rows_.erase(gone, rows_.end());
    }
    if (!removed) return;
    rowOf_.clear();
    for (std::size_t i = 0; i < rows_.size(); ++i) rowOf_[{rows_[i].game, rows_[i].endpoint}] = i;
    // A row asked on its own that went with its game's list is asked no more.
    std::erase_if(queue_, [&](const Key& k) { return !rowOf_.count(k); });
    std::erase_if(flight_, [&](const Probe& p) { return !rowOf_.count(p.key); });
    std::erase_if(waiting_, [&](const Key& k) { return !rowOf_.count(k); });
    note(true);
}

void Refresh::list(std::size_t source, const Endpoint& at) {
    const Key key{games_[source].game, at};
    const auto known = rowOf_.find(key);
    if (known != rowOf_.end()) {
        ServerRow& r = rows_[known->second];
        r.gamename = games_[source].name;
        r.listed = true;
        r.state = Answer::Waiting;
    } else {
        ServerRow r;
        r.game = key.game;
        r.gamename = games_[source].name;
        r.endpoint = at;
        r.address = addresstext(at);
        rowOf_[key] = rows_.size();
        rows_.push_back(std::move(r));
    }
    if (waiting_.insert(key).second) queue_.push_back(key);
}

// Queued servers go out while fewer than kMaxInFlight wait. Two queries to
// one address never wait together (a server listed for two games): a reply
// is matched by its source alone, so the second waits its turn.
void Refresh::pump(std::uint32_t now) {
    for (auto it = queue_.begin(); it != queue_.end() && flight_.size() < kMaxInFlight;) {
        const Endpoint at = it->at;
        if (std::any_of(flight_.begin(), flight_.end(), [&](const Probe& p) { return p.key.at == at; })) {
            ++it;
            continue;
        }
        const std::uint32_t sent = sendclock ? sendclock() : now;
        flight_.push_back({*it, 1, sent, sent});
        const int game = it->game;
        it = queue_.erase(it);
        transport_.send(at, games_[sourceOf_.at(game)].statusquery);
    }
}

void Refresh::received(const Endpoint& from, const std::string& datagram, std::uint32_t now) {
    received(from, datagram, now, now);
}

void Refresh::received(const Endpoint& from, const std::string& datagram, std::uint32_t now, std::uint32_t arrived) {
    const auto ask = std::find_if(asks_.begin(), asks_.end(), [&](const Ask& a) {
        return a.state == Ask::State::Open && a.master.at == from;
    });
    if (ask != asks_.end()) {
        std::vector<Endpoint> entries;
        bool last = false;
        const std::size_t source = ask->source;
        if (games_[source].decodemaster(datagram.data(), static_cast<int>(datagram.size()), entries, last) >= 0) {
            // Any master's datagram keeps every open list waiting: a long
            // list may be spread over seconds while the others wait.
            for (Ask& a : asks_)
                if (a.state == Ask::State::Open) a.quietFrom = now;
            heard_[source] = true;
            MasterList& taken = lists_[source];
            const std::size_t before = taken.servers().size();
            taken.take(from, entries);
            for (std::size_t i = before; i < taken.servers().size(); ++i) list(source, taken.servers()[i]);
            if (last) {
                ask->state = Ask::State::Ended;
                openasks(now);
                endlists();
            }
            pump(now);
            note();
            tell(now);
            return;
        }
    }
    const auto probe = std::find_if(flight_.begin(), flight_.end(), [&](const Probe& p) { return p.key.at == from; });
    if (probe == flight_.end()) return;
    const std::optional<StatusReply> reply = games_[sourceOf_.at(probe->key.game)].decodestatus(datagram);
    // Anything but a status reply leaves the server waiting for one.
    if (!reply) return;
    const Probe answeredProbe = *probe;
    flight_.erase(probe);
    waiting_.erase(answeredProbe.key);
    answered(answeredProbe, *reply, arrived);
    pump(now);
    note();
    tell(now);
}

// The ping runs from the first try's send. A reply after the second try may
// answer either, and nothing in it tells which; counted from the first, a
// server never looks closer than it may be.
void Refresh::answered(const Probe& probe, const StatusReply& reply, std::uint32_t arrived) {
    ServerRow& r = rows_[rowOf_.at(probe.key)];
    r.name = inert(reply.name);
    r.map = inert(reply.map);
    r.players = std::max(reply.players, 0);
    r.maxplayers = std::max(reply.maxplayers, 0);
    r.figures = true;
    // From the last try: a reply after the second is most likely its answer,
    // the first having been lost, and a server across the world must not
    // read a second slower for one lost datagram. A reply that arrived
    // before the second try went (read late) runs from the first. On
    // loopback a reply can be stamped in the millisecond before its query's
    // own stamp: no time passed.
    const auto sinceLast = static_cast<std::int32_t>(arrived - probe.lastSent);
    const auto sinceFirst = static_cast<std::int32_t>(arrived - probe.firstSent);
    const std::int32_t since = sinceLast >= 0 ? sinceLast : std::max(sinceFirst, 0);
    r.ping = std::min(since, 999999);
    r.state = Answer::Answered;
    r.playernames.clear();
    for (const std::string& n : reply.playernames) r.playernames.push_back(inert(n));
}

void Refresh::refreshserver(std::size_t row, std::uint32_t now) {
    if (row >= rows_.size()) return;
    const Key key{rows_[row].game, rows_[row].endpoint};
    if (!sourceOf_.count(key.game) || !waiting_.insert(key).second) return;
    rows_[row].state = Answer::Waiting;
    // Asked before the servers a refresh still has queued: somebody waits for it.
    queue_.push_front(key);
    pump(now);
    note();
    tell(now);
}

void Refresh::wake(std::uint32_t now) {
    bool ended = false;
    for (Ask& a : asks_) {
        if (a.state != Ask::State::Open || now - a.quietFrom < kMasterQuietMs) continue;
        a.state = Ask::State::Ended;
        ended = true;
    }
    if (ended) {
        openasks(now);
        endlists();
        note();
    }
    for (auto it = flight_.begin(); it != flight_.end();) {
        if (elapsed(it->lastSent, now) < kServerWaitMs) {
            ++it;
            continue;
        }
        if (it->tries < kTries) {
            ++it->tries;
            it->lastSent = sendclock ? sendclock() : now;
            transport_.send(it->key.at, games_[sourceOf_.at(it->key.game)].statusquery);
            ++it;
            continue;
        }
        // The figures no longer hold; the name and map still say which
        // server it was.
        ServerRow& r = rows_[rowOf_.at(it->key)];
        r.state = Answer::NoAnswer;
        r.figures = false;
        r.ping = -1;
        r.playernames.clear();
        waiting_.erase(it->key);
        it = flight_.erase(it);
        note();
    }
    pump(now);
    tell(now);
}

std::optional<std::uint32_t> Refresh::nextwake(std::uint32_t now) const {
    std::optional<std::uint32_t> next;
    const auto soonest = [&](std::uint32_t ms) { next = next ? std::min(*next, ms) : ms; };
    for (const Ask& a : asks_)
        if (a.state == Ask::State::Open) soonest(remaining(a.quietFrom, kMasterQuietMs, now));
    for (const Probe& p : flight_) soonest(remaining(p.lastSent, kServerWaitMs, now));
    if (held_) soonest(remaining(toldAt_, kChangeQuietMs, now));
    return next;
}

bool Refresh::working() const {
    return !queue_.empty() || !flight_.empty() ||
           std::any_of(asks_.begin(), asks_.end(), [](const Ask& a) { return a.state != Ask::State::Ended; });
}

std::vector<std::string> Refresh::asking() const {
    std::vector<std::string> names;
    for (const Ask& a : asks_) {
        if (a.state == Ask::State::Ended) continue;
        std::string name = a.master.name.empty() ? addresstext(a.master.at) : a.master.name;
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
    }
    return names;
}

void Refresh::note(bool structural) {
    ++changes_;
    held_ = true;
    heldStructural_ = heldStructural_ || structural;
}

// Told last in every call, so a handler that starts a new refresh finds this
// one's state whole.
void Refresh::tell(std::uint32_t now) {
    if (!held_) return;
    if (told_ && !heldStructural_ && now - toldAt_ < kChangeQuietMs) return;
    held_ = false;
    heldStructural_ = false;
    told_ = true;
    toldAt_ = now;
    if (OnChange) OnChange();
}

}  // namespace velmora::find
