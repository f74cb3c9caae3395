#include "find/serverlist.h"

#include <algorithm>

#include "base/text.h"

namespace velmora::find {

std::string addresstext(const Endpoint& at) {
    return std::to_string(at.ip >> 24) + "." + std::to_string(at.ip >> 16 & 0xFF) + "." +
           std::to_string(at.ip >> 8 & 0xFF) + "." + std::to_string(at.ip & 0xFF) + ":" + std::to_string(at.port);
}

std::string celltext(const ServerRow& row, Column column) {
    switch (column) {
        case Column::Name: return row.name;
        case Column::Game: return row.gamename;
        case Column::Map: return row.map;
        case Column::Players:
            return row.figures ? std::to_string(row.players) + "/" + std::to_string(row.maxplayers) : std::string();
        case Column::Ping:
            if (row.state == Answer::NoAnswer) return kNoAnswerText;
            return row.ping >= 0 ? std::to_string(row.ping) : std::string();
        case Column::Address: return row.address;
    }
    return {};
}

SortOrder clicked(SortOrder order, Column column) {
    if (order.column == column) return {column, !order.reversed};
    return {column, false};
}

namespace {
int sign(long long d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// Texts compare without regard to case first, so "abc" and "ABD" sit side by
// side; the plain bytes settle what is left, so the order is total.
int comparetext(const std::string& a, const std::string& b) {
    const int folded = lowerAscii(a).compare(lowerAscii(b));
    return folded ? sign(folded) : sign(a.compare(b));
}

// A cell with nothing in it yet sorts after every cell with something, in
// both directions: turning the order round should bring the other end of the
// known values to the top, not the servers still being asked.
struct Key {
    bool missing;
    int natural;  // < 0 when a comes first in the column's own direction
};

Key columnkey(const ServerRow& a, const ServerRow& b, Column column) {
    switch (column) {
        case Column::Name:
        case Column::Map: {
            const std::string& x = column == Column::Name ? a.name : a.map;
            const std::string& y = column == Column::Name ? b.name : b.map;
            if (x.empty() || y.empty()) return {x.empty() != y.empty(), sign(int(x.empty()) - int(y.empty()))};
            return {false, comparetext(x, y)};
        }
        case Column::Game: {
            const int byname = comparetext(a.gamename, b.gamename);
            return {false, byname ? byname : sign(a.game - b.game)};
        }
        case Column::Players:
            if (!a.figures || !b.figures) return {a.figures != b.figures, sign(int(b.figures) - int(a.figures))};
            return {false, sign(b.players - a.players)};
        case Column::Ping:
            if (a.ping < 0 || b.ping < 0) return {(a.ping < 0) != (b.ping < 0), sign(int(a.ping < 0) - int(b.ping < 0))};
            return {false, sign(a.ping - b.ping)};
        case Column::Address:
            return {false, a.endpoint < b.endpoint ? -1 : b.endpoint < a.endpoint ? 1 : 0};
    }
    return {false, 0};
}

// The clicked column decides; ties go by the first order (players, then
// ping), then by address and game, which no two rows share.
bool before(const ServerRow& a, const ServerRow& b, SortOrder order) {
    const Key first = columnkey(a, b, order.column);
    if (first.natural) return first.missing || !order.reversed ? first.natural < 0 : first.natural > 0;
    for (const Column tie : {Column::Players, Column::Ping, Column::Address}) {
        const Key k = columnkey(a, b, tie);
        if (k.natural) return k.natural < 0;
    }
    return a.game < b.game;
}

bool contains(const std::string& text, const std::string& foldedneedle) {
    return lowerAscii(text).find(foldedneedle) != std::string::npos;
}
}  // namespace

bool shown(const ServerRow& row, const Filters& f) {
    if (f.game >= 0 && row.game != f.game) return false;
    // Nobody is known to play on a server that never answered: "hide empty"
    // hides it too. Full needs figures to be told.
    if (f.hideempty && (!row.figures || row.players <= 0)) return false;
    if (f.hidefull && row.figures && row.players >= row.maxplayers) return false;
    // A largest ping promises every row shown is that close; a server without
    // a ping cannot keep the promise, so only "any" shows it.
    if (f.maxping > 0 && (row.ping < 0 || row.ping > f.maxping)) return false;
    if (!f.text.empty()) {
        const std::string needle = lowerAscii(f.text);
        if (!contains(row.name, needle) && !contains(row.map, needle)) return false;
    }
    return true;
}

std::vector<std::size_t> visiblerows(const std::vector<ServerRow>& rows, const Filters& filters, SortOrder order) {
    std::vector<std::size_t> index;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (shown(rows[i], filters)) index.push_back(i);
    std::stable_sort(index.begin(), index.end(),
                     [&](std::size_t a, std::size_t b) { return before(rows[a], rows[b], order); });
    return index;
}

Tally tally(const std::vector<ServerRow>& rows) {
    Tally t;
    for (const ServerRow& r : rows) {
        if (!r.listed) continue;
        ++t.servers;
        if (r.state != Answer::Answered) continue;
        ++t.answered;
        t.players += r.players;
    }
    return t;
}

// The window's texts are ANSI for now: three dots, not the ellipsis character
// (0x85 is a lead byte in the CJK code pages).
std::string statusline(const Tally& t, const std::vector<std::string>& asking, bool working) {
    if (!asking.empty()) {
        std::string text = "asking ";
        for (std::size_t i = 0; i < asking.size(); ++i) text += (i ? ", " : "") + asking[i];
        return text + "...";
    }
    if (working) return std::to_string(t.answered) + " of " + std::to_string(t.servers) + " answered";
    return std::to_string(t.servers) + " servers, " + std::to_string(t.answered) + " answered, " +
           std::to_string(t.players) + " players";
}

std::string copytext(const std::vector<ServerRow>& rows, const std::vector<std::size_t>& selected) {
    std::string text;
    for (const std::size_t i : selected) {
        if (i >= rows.size()) continue;
        for (int c = 0; c < kColumns; ++c) text += (c ? "\t" : "") + celltext(rows[i], Column(c));
        text += "\r\n";
    }
    return text;
}

}  // namespace velmora::find
