// The game table's rows and their stored values, against a store in memory.
#include "core/gametable.h"

#include <gtest/gtest.h>

#include <memory>

#include <map>
#include <optional>
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
    int removals = 0;

    std::string read(const std::string& gameid, const char* value, bool create) override {
        if (create) keys.insert(gameid);
        return readset(gameid, value).value_or(std::string());
    }
    std::optional<std::string> readset(const std::string& gameid, const char* value) override {
        const std::string name = gameid + "/" + value;
        if (unreadable.count(name)) throw std::runtime_error("Invalid data type for '" + std::string(value) + "'");
        const auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void write(const std::string& gameid, const char* value, const std::string& text) override {
        keys.insert(gameid);
        values[gameid + "/" + value] = text;
        ++writes;
    }
    void remove(const std::string& gameid, const char* value) override {
        values.erase(gameid + "/" + value);
        ++removals;
    }
};

tplugin row(const char* id, const char* port, const char* defaultmasters = "") {
    tplugin r;
    r.gameid = id;
    r.defport = port;
    r.gamename = std::string("Game ") + id;
    r.defaultmasters = defaultmasters;
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

// A stored "masters" is the player's own list and wins over the plug-in's,
// even empty (the player wants no list for that game); without one the
// plug-in's defaults hold. Reading creates no key.
TEST(GameTable, StoredMastersOverrideTheDefaultsAndAnEmptyOneMeansNoList) {
    const struct {
        const char* what;
        std::optional<std::string> stored;
        std::string masters;
        bool set;
    } cases[] = {
        {"missing: the defaults", std::nullopt, "master.one:27000 master.two:27000", false},
        {"empty: no list", "", "", true},
        {"set: the player's list", "127.0.0.1:27950", "127.0.0.1:27950", true},
        {"set by hand, with commas", " a.b:27950,,c.d:27000\t", "a.b:27950 c.d:27000", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryStore store;
        if (c.stored) store.values["qws/masters"] = *c.stored;
        GameTable table(store);
        EXPECT_EQ(table.add(row("qws", "27500", "master.one:27000 master.two:27000")), "");
        EXPECT_EQ(table.at(0).masters, c.masters);
        EXPECT_EQ(table.mastersset(0), c.set);
        EXPECT_EQ(table.at(0).defaultmasters, "master.one:27000 master.two:27000");
        EXPECT_TRUE(store.keys.empty());
    }
}

// A "masters" of the wrong type is reported with the other values' errors
// and overrides nothing, so the game keeps the plug-in's servers.
TEST(GameTable, AnUnreadableMastersIsReportedAndTheDefaultsHold) {
    MemoryStore store;
    store.values = {{"q3a/path", "C:\\q3.exe"}, {"q3a/masters", "x:1"}};
    store.unreadable = {"q3a/history", "q3a/masters"};
    GameTable table(store);
    EXPECT_EQ(table.add(row("q3a", "27960", "master.q3:27950")),
              "Invalid data type for 'history'\r\nInvalid data type for 'masters'");
    EXPECT_EQ(table.at(0).path, "C:\\q3.exe");
    EXPECT_EQ(table.at(0).masters, "master.q3:27950");
    EXPECT_FALSE(table.mastersset(0));
}

// "Find a game" splits at single blanks: whatever separates the entries
// typed, one blank is stored, none at the ends.
TEST(GameTable, MasterListsAreNormalisedToSingleBlanks) {
    const struct {
        const char* typed;
        const char* normal;
    } cases[] = {
        {"", ""},
        {" \t, ", ""},
        {"a:1", "a:1"},
        {"  a:1  ", "a:1"},
        {"a:1,b:2", "a:1 b:2"},
        {"a:1 ,\t b:2,,c:3,", "a:1 b:2 c:3"},
    };
    for (const auto& c : cases) EXPECT_EQ(normalisemasters(c.typed), c.normal) << '"' << c.typed << '"';
}

// Setting stores the normalised list at once (an empty one too); resetting
// removes the value and gives each row sharing the key its own plug-in's
// defaults back, as the next start would.
TEST(GameTable, SetMastersStoresAndResetRemovesTheValue) {
    MemoryStore store;
    GameTable table(store);
    table.add(row("qws", "27500", "qw.master:27000"));
    table.add(row("QWS", "27501", "other.master:27000"));  // the same key, another plug-in
    table.add(row("q2s", "27910", "q2.master:27900"));
    table.setmasters(0, " mine:27000,\tyours:27000 ");
    EXPECT_EQ(store.values["qws/masters"], "mine:27000 yours:27000");
    EXPECT_EQ(table.at(0).masters, "mine:27000 yours:27000");
    EXPECT_EQ(table.at(1).masters, "mine:27000 yours:27000") << "the shared key's other row";
    EXPECT_TRUE(table.mastersset(1));
    EXPECT_EQ(table.at(2).masters, "q2.master:27900");
    EXPECT_FALSE(table.mastersset(2));

    table.setmasters(0, "");
    EXPECT_EQ(store.values.at("qws/masters"), "") << "stored empty: no list";
    EXPECT_EQ(table.at(0).masters, "");
    EXPECT_TRUE(table.mastersset(0));

    table.resetmasters(0);
    EXPECT_EQ(store.values.count("qws/masters"), 0u);
    EXPECT_EQ(table.at(0).masters, "qw.master:27000");
    EXPECT_EQ(table.at(1).masters, "other.master:27000");
    EXPECT_FALSE(table.mastersset(0));
    EXPECT_FALSE(table.mastersset(1));
    EXPECT_EQ(store.writes, 2);
    EXPECT_EQ(store.removals, 1);

    for (int bad : {-1, 3}) {
        EXPECT_THROW(table.setmasters(bad, "x:1"), std::exception);
        EXPECT_THROW(table.resetmasters(bad), std::exception);
        EXPECT_THROW(table.mastersset(bad), std::exception);
    }
    EXPECT_EQ(store.writes, 2);
}
