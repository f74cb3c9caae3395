#include "find/finder_win.h"

#include <algorithm>

#include "base/address.h"
#include "core/plugincalls.h"
#include "query/gameplugin.h"
#include "ui/clock_win.h"

namespace velmora::find {

namespace {
// One datagram holds at most 65507 bytes, and an entry takes at least six.
constexpr int kEntriesPerDatagram = 65507 / 6 + 1;

// "a.b.c.d:port" as a plug-in writes an entry; nothing for anything else.
std::optional<Endpoint> entryendpoint(const MasterEntry& entry) {
    const std::string text(entry.address, strnlen(entry.address, sizeof entry.address));
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const auto ip = parseDottedQuad(std::string_view(text).substr(0, colon));
    const std::string port = text.substr(colon + 1);
    if (!ip || port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long number = std::stoul(port);
    if (number > 65535) return std::nullopt;
    return Endpoint{*ip, static_cast<std::uint16_t>(number)};
}
}  // namespace

std::optional<GameSource> gamesource(const tplugin& game, int index) {
    if (!game.calls || !game.calls->lists()) return std::nullopt;
    GameSource source;
    source.game = index;
    source.name = game.gamename;
    // The master query goes out as its text and the zero byte that ends it.
    const char* query = game.calls->getmastersendstr();
    source.masterquery = query ? std::string(query) + '\0' : std::string();
    source.statusquery = game.sendstr;
    const std::shared_ptr<const PluginCalls> calls = game.calls;
    // One buffer for every reply of the game's refresh: the decoders run one
    // after the other on the user-interface thread.
    auto entries = std::make_shared<std::vector<MasterEntry>>(static_cast<std::size_t>(kEntriesPerDatagram));
    source.decodemaster = [calls, entries](const char* reply, int length, std::vector<Endpoint>& out, bool& last) {
        int ended = 0;
        const int count = calls->decodemaster(entries->data(), kEntriesPerDatagram, reply, length, &ended);
        if (count < 0) return -1;
        // Whatever a plug-in returns, no more than the buffer holds is read.
        const int taken = std::min(count, kEntriesPerDatagram);
        for (int k = 0; k < taken; ++k)
            if (const auto at = entryendpoint((*entries)[static_cast<std::size_t>(k)])) out.push_back(*at);
        last = ended != 0;
        return taken;
    };
    source.decodestatus = [game](const std::string& datagram) -> std::optional<StatusReply> {
        const query::GamePlugin plugin(game);
        const auto texts = plugin.decodereply(datagram);
        if (!texts) return std::nullopt;
        return statusreply(*texts, datagram);
    };
    return source;
}

Finder::Finder(Clock clock) : clock_(clock ? clock : &clockMilliseconds), port_(nullptr, clock_) {
    refresh_.sendclock = clock_;
    refresh_.OnChange = [this] {
        if (OnChange) OnChange();
    };
    // Each reply is timed as it arrived, whenever this thread reads it.
    port_.OnDatagram = [this](const Endpoint& from, const std::string& datagram, std::uint32_t arrived) {
        refresh_.received(from, datagram, now(), arrived);
    };
    port_.OnWake = [this] { refresh_.wake(now()); };
    port_.OnSettled = [this] { arm(); };
}

Finder::~Finder() {
    OnChange = nullptr;
    refresh_.OnChange = nullptr;
    lookups_.cancelAll();
}

std::uint32_t Finder::now() const { return clock_(); }

void Finder::send(const Endpoint& to, const std::string& bytes) { port_.send(to, bytes); }

void Finder::arm() { port_.wakeAfter(refresh_.nextwake(now())); }

std::string Finder::status() const {
    if (looking_) {
        std::vector<std::string> asking;
        for (const auto& names : names_)
            for (const auto& n : names)
                if (std::find(asking.begin(), asking.end(), n.text) == asking.end()) asking.push_back(n.text);
        return statusline(tally(refresh_.rows()), asking, true);
    }
    return refresh_.status();
}

void Finder::refresh(const std::vector<tplugin>& games, int only) {
    // A refresh that is looking up names starts over: its answers are not
    // waited for.
    lookups_.cancelAll();
    ++round_;
    sources_.clear();
    names_.clear();
    for (int g = 0; g < static_cast<int>(games.size()); ++g) {
        if (only >= 0 && g != only) continue;
        auto source = gamesource(games[static_cast<std::size_t>(g)], g);
        if (!source) continue;
        sources_.push_back(std::move(*source));
        names_.push_back(parsemasters(games[static_cast<std::size_t>(g)].masters));
    }
    // Dotted quads need no lookup; each host name is looked up once, for
    // every master that names it.
    std::vector<std::string> hosts;
    for (std::size_t s = 0; s < sources_.size(); ++s)
        for (const MasterName& n : names_[s]) {
            if (const auto ip = parseDottedQuad(n.host)) {
                sources_[s].masters.push_back({{*ip, n.port}, n.text});
            } else if (std::find(hosts.begin(), hosts.end(), n.host) == hosts.end()) {
                hosts.push_back(n.host);
            }
        }
    lookupsLeft_ = hosts.size();
    looking_ = !hosts.empty();
    const std::uint64_t round = round_;
    for (const std::string& host : hosts) {
        int error = 0;
        std::uint32_t started = 0;
        const auto answer = [this, round, host](int failed, const std::vector<std::uint32_t>& addresses) {
            if (round != round_) return;
            if (!failed && !addresses.empty()) {
                const std::uint32_t ip = WS(ntohl)(addresses.front());
                for (std::size_t s = 0; s < sources_.size(); ++s)
                    for (const MasterName& n : names_[s])
                        if (n.host == host) sources_[s].masters.push_back({{ip, n.port}, n.text});
            }
            looked(round);
        };
        try {
            started = lookups_.start(host, answer, error);
        } catch (const net::ESocketException&) {
            // No socket library: the name is as unknown as one not found.
        }
        if (!started) port_.later([this, round] { looked(round); });
    }
    if (!looking_) looked(round);
    if (OnChange) OnChange();
}

void Finder::looked(std::uint64_t round) {
    if (round != round_) return;
    if (lookupsLeft_ > 0) --lookupsLeft_;
    if (lookupsLeft_ > 0) return;
    looking_ = false;
    names_.clear();
    refresh_.start(std::move(sources_), now());
    sources_.clear();
    arm();
    if (OnChange) OnChange();
}

void Finder::refreshserver(std::size_t row) {
    refresh_.refreshserver(row, now());
    arm();
}

}  // namespace velmora::find
