#include "query/playerlist.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <tuple>

#include "base/text.h"
#include "query/querytexts.h"

namespace velmora::query {
namespace {

std::string copied(const char* text) { return text ? std::string(text) : std::string(); }

// Where the score and ping columns start, in pixels of the results label.
constexpr int kScoreColumn = 124;
constexpr int kPingColumn = 160;
// A longer name would run into the score column at the label's font.
constexpr size_t kNameChars = 19;
// Three dots, not the code page's single "…" (0x85): in the Chinese, Japanese
// and Korean code pages 0x85 is a lead byte and would take the next character
// with it.
constexpr std::string_view kEllipsis = "...";

// A name cleaned of what is not drawn before it is cut, so padding of control
// characters takes no room; a cut name ends in the dots within the same width.
std::string cutName(std::string_view name) {
    std::string shown = cleaned(name);
    if (shown.size() <= kNameChars) return shown;
    shown.resize(kNameChars - kEllipsis.size());
    return shown += kEllipsis;
}

std::string column(int x) { return "<IND x=\"" + std::to_string(x) + "\">"; }

}  // namespace

std::vector<PlayerEntry> copiedplayers(const PlayerInfo* entries, int returned, int max) {
    std::vector<PlayerEntry> out;
    if (!entries) return out;
    const int count = std::clamp(returned, 0, std::max(max, 0));
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const PlayerInfo& p = entries[i];
        out.push_back({copied(p.name), copied(p.score), copied(p.ping), copied(p.time), copied(p.team),
                       p.spectator != 0});
    }
    return out;
}

std::vector<PlayerEntry> askplayers(decodeplayers_fn decodeplayers, const std::string& reply) {
    if (!decodeplayers) return {};
    std::vector<PlayerInfo> entries(kPlayersAsked, PlayerInfo{});
    const int returned = decodeplayers(entries.data(), kPlayersAsked, reply.c_str());
    return copiedplayers(entries.data(), returned, kPlayersAsked);
}

std::vector<PlayerEntry> orderedplayers(std::vector<PlayerEntry> players) {
    auto rank = [](const PlayerEntry& p) {
        const std::optional<std::int32_t> score = tryStrToInt(p.score);
        // spectators last, then players without a number, then by score
        return std::make_tuple(p.spectator ? 2 : score ? 0 : 1, score ? -std::int64_t{*score} : 0);
    };
    std::stable_sort(players.begin(), players.end(),
                     [&](const PlayerEntry& a, const PlayerEntry& b) { return rank(a) < rank(b); });
    return players;
}

std::vector<std::string> playerrows(const std::vector<PlayerEntry>& ordered) {
    std::vector<std::string> rows;
    if (ordered.empty()) return rows;
    rows.push_back("<B>name" + column(kScoreColumn) + "score" + column(kPingColumn) + "ping</b><br>");
    const size_t shown = std::min<size_t>(ordered.size(), kPlayerRows);
    for (size_t i = 0; i < shown; ++i) {
        const PlayerEntry& p = ordered[i];
        const std::string name = sanitised(cutName(p.name));
        if (p.spectator)
            rows.push_back("<i>" + name + column(kScoreColumn) + "spectator</i><br>");
        else
            rows.push_back(name + column(kScoreColumn) + sanitised(cleaned(p.score).substr(0, 6)) +
                           column(kPingColumn) + sanitised(cleaned(p.ping).substr(0, 5)) + "<br>");
    }
    if (ordered.size() > shown)
        rows.push_back("<i>" + std::string(kEllipsis) + "and " + std::to_string(ordered.size() - shown) + " more</i>");
    return rows;
}

int fittedtop(int top, int height, int workTop, int workBottom) {
    return std::max(workTop, std::min(top, workBottom - height));
}

std::string playerclipboard(std::string_view address, const std::vector<PlayerEntry>& ordered) {
    auto plain = [](std::string_view text) {
        std::string out;
        for (const char c : text) {
            if (c == '\t')
                out += ' ';  // the tab separates the fields
            else if (static_cast<unsigned char>(c) >= 32 && c != 127)
                out += c;
        }
        return out;
    };
    std::string out = plain(address) + "\r\n";
    for (const PlayerEntry& p : ordered)
        out += plain(p.name) + "\t" + (p.spectator ? std::string("spectator") : plain(p.score)) + "\t" +
               plain(p.ping) + "\r\n";
    return out;
}

}  // namespace velmora::query
