#include "core/gametable.h"

#include <exception>

#include "base/error.h"
#include "core/history.h"

namespace velmora {

std::string GameTable::add(tplugin row) {
    std::string problems;
    const auto readValue = [&](const char* name) -> std::string {
        try {
            return store_.read(row.gameid, name, false);
        } catch (const std::exception& e) {
            if (!problems.empty()) problems += "\r\n";
            problems += e.what();
            return {};
        }
    };
    row.history = readValue("history");
    row.path = readValue("path");
    rows_.push_back(std::move(row));
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

}  // namespace velmora
