// The game table's rows and their stored values, against a store in memory.
#include "core/gametable.h"

#include <gtest/gtest.h>

#include <memory>

#include <map>
#include <set>
#include <stdexcept>

#include "core/plugincalls.h"

using namespace velmora;

namespace {
class MemoryStore final : public GameStore {
public:
    std::map<std::string, std::string> values;  // "gid/value" -> text
    std::set<std::string> keys;                  // the game keys that exist
    std::set<std::string> unreadable;            // "gid/value" that raise on reading
    int writes = 0;

    std::string read(const std::string& gameid, const char* value, bool create) override {
        if (create) keys.insert(gameid);
        const std::string name = gameid + "/" + value;
        if (unreadable.count(name)) throw std::runtime_error("Invalid data type for '" + std::string(value) + "'");
        const auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    }
    void write(const std::string& gameid, const char* value, const std::string& text) override {
        keys.insert(gameid);
        values[gameid + "/" + value] = text;
        ++writes;
    }
};

tplugin row(const char* id, const char* port) {
    tplugin r;
    r.gameid = id;
    r.defport = port;
    r.gamename = std::string("Game ") + id;
    return r;
}
}  // namespace

// Loading reads both values and creates no key; a value of the wrong type is
// reported once with its own text and the game still loads, without it.
TEST(GameTable, AddReadsTheStoredValuesAndABadValueStopsNothing) {
    MemoryStore store;
    store.values = {{"qws/history", "127.0.0.1:27500,"}, {"qws/path", "C:\\qw.exe"}, {"q3a/history", "1.2.3.4:27960,"}};
    store.unreadable = {"q3a/path"};
    GameTable table(store);
    EXPECT_EQ(table.add(row("qws", "27500")), "");
    EXPECT_EQ(table.add(row("q3a", "27960")), "Invalid data type for 'path'");
    EXPECT_EQ(table.add(row("q2s", "27910")), "");
    ASSERT_EQ(table.size(), 3);
    EXPECT_EQ(table.at(0).path, "C:\\qw.exe");
    EXPECT_EQ(table.at(1).history, "1.2.3.4:27960,");
    EXPECT_EQ(table.at(1).path, "");
    EXPECT_TRUE(store.keys.empty()) << "reading at start-up creates no game key";
    EXPECT_EQ(store.writes, 0);
}

// Each game keeps the library it was loaded from for the table's life, so
// no reply has to load it again: the loader's pointer may go, the history's
// reload keeps it, rows of the same library share it, and it goes with the
// table.
TEST(GameTable, ARowKeepsItsLoadedLibraryUntilTheTableGoes) {
    MemoryStore store;
    bool unloaded = false;
    std::weak_ptr<const PluginCalls> watched;
    {
        GameTable table(store);
        {
            const std::shared_ptr<const PluginCalls> library(new PluginCalls{},
                                                             [&](const PluginCalls* p) {
                                                                 unloaded = true;
                                                                 delete p;
                                                             });
            watched = library;
            tplugin first = row("qws", "27500"), second = row("qwx", "27501");
            first.calls = second.calls = library;
            table.add(std::move(first));
            table.add(std::move(second));
        }
        table.reloadhistory();
        table.setpath(0, "C:\\qw.exe");
        EXPECT_FALSE(unloaded) << "the rows hold the library, not the loader";
        EXPECT_EQ(table.at(0).calls, table.at(1).calls);
        EXPECT_EQ(watched.use_count(), 2) << "one owner per row, no copy elsewhere";
    }
    EXPECT_TRUE(unloaded) << "the table's end lets the library go";
}

// The history goes to the store at once and the menu's reload shows what is
// stored, so two games sharing a key show the same servers.
TEST(GameTable, HistoryIsStoredAtOnceAndReloadShowsSharedKeys) {
    MemoryStore store;
    GameTable table(store);
    table.add(row("alp", "27500"));
    table.add(row("alp", "27600"));  // a second plug-in whose id starts the same
    table.addhistory(0, "127.0.0.1:27500");
    table.addhistory(0, "\"Friday\"127.0.0.2:27500");
    table.addhistory(0, "127.0.0.1:27500");
    EXPECT_EQ(store.values["alp/history"], "127.0.0.1:27500,\"Friday\"127.0.0.2:27500,");
    EXPECT_EQ(table.at(1).history, "") << "the other row sees it only after the reload";
    table.reloadhistory();
    EXPECT_EQ(table.at(1).history, table.at(0).history);
    EXPECT_EQ(table.history(1), (std::vector<std::string>{"127.0.0.1:27500", "\"Friday\"127.0.0.2:27500"}));
}

TEST(GameTable, PathIsInTheTableAndTheStoreAndBadIndexesRaise) {
    MemoryStore store;
    GameTable table(store);
    table.add(row("qws", "27500"));
    table.setpath(0, "C:\\Games\\qw.exe");
    EXPECT_EQ(table.at(0).path, "C:\\Games\\qw.exe");
    EXPECT_EQ(store.values["qws/path"], "C:\\Games\\qw.exe");
    for (int bad : {-1, 1, 7}) {
        EXPECT_FALSE(table.has(bad));
        try {
            table.at(bad);
            ADD_FAILURE() << bad;
        } catch (const std::exception& e) {
            EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(bad) + ")");
        }
        EXPECT_THROW(table.setpath(bad, "x"), std::exception);
        EXPECT_THROW(table.addhistory(bad, "x"), std::exception);
    }
    EXPECT_EQ(store.writes, 1);
}

// Ports up to four above a game's default select it; the last such row wins.
TEST(GameTable, GameFromPortUsesEveryRow) {
    MemoryStore store;
    GameTable table(store);
    table.add(row("qws", "27500"));
    table.add(row("q3a", "27960"));
    table.add(row("oaa", "27960"));
    EXPECT_EQ(table.gamefromport("27504"), 0);
    EXPECT_EQ(table.gamefromport("27961"), 2);
    EXPECT_EQ(table.gamefromport("27505"), -1);
    EXPECT_EQ(table.keys().size(), 3u);
}
