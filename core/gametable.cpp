#include "core/gametable.h"

#include <exception>

#include "base/error.h"
#include "base/text.h"
#include "core/history.h"

namespace velmora {

std::string normalisemasters(std::string_view text) {
    std::string out;
    bool gap = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == ',') {
            gap = true;
            continue;
        }
        if (gap && !out.empty()) out += ' ';
        gap = false;
        out += c;
    }
    return out;
}

std::string GameTable::add(tplugin row) {
    std::string problems;
    const auto guarded = [&](auto read, auto fallback) -> decltype(fallback) {
        try {
            return read();
        } catch (const std::exception& e) {
            if (!problems.empty()) problems += "\r\n";
            problems += e.what();
            return fallback;
        }
    };
    const auto readValue = [&](const char* name) {
        return guarded([&] { return store_.read(row.gameid, name, false); }, std::string());
    };
    row.history = readValue("history");
    row.path = readValue("path");
    // A "masters" that cannot be read overrides nothing: the game keeps its
    // plug-in's servers rather than losing its list.
    const std::optional<std::string> masters =
        guarded([&] { return store_.readset(row.gameid, "masters"); }, std::optional<std::string>());
    row.masters = normalisemasters(masters ? *masters : row.defaultmasters);
    rows_.push_back(std::move(row));
    mastersset_.push_back(masters.has_value());
    return problems;
}

const tplugin& GameTable::at(int g) const {
    if (!has(g)) throwListIndex(g);
    return rows_[static_cast<size_t>(g)];
}

tplugin& GameTable::row(int g) {
    if (!has(g)) throwListIndex(g);
    return rows_[static_cast<size_t>(g)];
}

std::vector<GameKey> GameTable::keys() const {
    std::vector<GameKey> keys;
    keys.reserve(rows_.size());
    for (const auto& r : rows_) keys.push_back({r.gameid, r.defport});
    return keys;
}

int GameTable::gamefromport(const std::string& port) const { return velmora::gamefromport(port, keys()); }

void GameTable::addhistory(int g, const std::string& entry) {
    tplugin& r = row(g);
    r.history = historyvalue(puthistoryentry(historylist(r.history), entry));
    store_.write(r.gameid, "history", r.history);
}

void GameTable::reloadhistory() {
    for (auto& r : rows_) {
        r.history.clear();
        r.history = store_.read(r.gameid, "history", true);
    }
}

std::vector<std::string> GameTable::history(int g) const { return historylist(at(g).history); }

void GameTable::setpath(int g, const std::string& path) {
    tplugin& r = row(g);
    r.path = path;
    store_.write(r.gameid, "path", path);
}

// The key is named by the id whatever its case, as the registry names keys.
void GameTable::setmasters(int g, const std::string& text) {
    const std::string gameid = row(g).gameid, masters = normalisemasters(text);
    for (size_t k = 0; k < rows_.size(); ++k) {
        if (lowerAscii(rows_[k].gameid) != lowerAscii(gameid)) continue;
        rows_[k].masters = masters;
        mastersset_[k] = true;
    }
    store_.write(gameid, "masters", masters);
}

void GameTable::resetmasters(int g) {
    const std::string gameid = row(g).gameid;
    for (size_t k = 0; k < rows_.size(); ++k) {
        if (lowerAscii(rows_[k].gameid) != lowerAscii(gameid)) continue;
        rows_[k].masters = normalisemasters(rows_[k].defaultmasters);
        mastersset_[k] = false;
    }
    store_.remove(gameid, "masters");
}

bool GameTable::mastersset(int g) const {
    if (!has(g)) throwListIndex(g);
    return mastersset_[static_cast<size_t>(g)];
}

}  // namespace velmora
