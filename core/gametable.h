// The game table: one row per loaded plug-in, in load order, with each game's
// stored history, path and master servers. Every window names a game by its index here. The
// rows' stored values live behind GameStore (the registry in the program,
// memory in tests), so the table and its rules are free of the platform.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/link.h"
#include "core/velmoraglobal.h"

namespace velmora {

// Where each game's values ("path", "history", "masters") are kept, under its
// game id.
class GameStore {
public:
    // Missing gives empty text; `create` makes the game's key when it is
    // missing. A value that cannot be read raises.
    virtual std::string read(const std::string& gameid, const char* value, bool create) = 0;
    // As read, creating no key, but a missing value (or key) gives nothing,
    // where a stored empty text gives "".
    virtual std::optional<std::string> readset(const std::string& gameid, const char* value) = 0;
    // A refused write raises.
    virtual void write(const std::string& gameid, const char* value, const std::string& text) = 0;
    // Removing a value that is not there does nothing; a refused removal raises.
    virtual void remove(const std::string& gameid, const char* value) = 0;

protected:
    ~GameStore() = default;
};

class GameTable {
public:
    explicit GameTable(GameStore& store) : store_(store) {}
    GameTable(const GameTable&) = delete;
    GameTable& operator=(const GameTable&) = delete;

    // Appends a row from its plug-in's texts and reads its stored history,
    // path and master servers (reading creates no key); without a stored
    // "masters" the row has its plug-in's defaults. A value that cannot be read stays empty
    // and its error text is returned, so one game's bad value neither stops
    // the loading of the others nor is reported twice; empty when all is well.
    std::string add(tplugin row);

    const std::vector<tplugin>& rows() const { return rows_; }
    int size() const { return static_cast<int>(rows_.size()); }
    bool has(int g) const { return g >= 0 && g < size(); }
    // Raises "List index out of bounds (g)" for a game not in the table.
    const tplugin& at(int g) const;

    std::vector<GameKey> keys() const;
    int gamefromport(const std::string& port) const;

    // Puts `entry` at the top of game g's history and stores the value.
    void addhistory(int g, const std::string& entry);
    // Every game's history read back from the store (creating its key), so
    // the table shows what is stored and games sharing a key show the same
    // servers.
    void reloadhistory();
    std::vector<std::string> history(int g) const;

    // The game's executable: the table has it at once, the store right after.
    void setpath(int g, const std::string& path);

    // The master servers "Find a game" asks. A stored list overrides the
    // plug-in's defaults, an empty one included (no list for that game).
    // Setting stores the normalised text; resetting removes the stored value.
    // Rows sharing the game's key follow, as they would at the next start.
    void setmasters(int g, const std::string& text);
    void resetmasters(int g);
    bool mastersset(int g) const;

private:
    tplugin& row(int g);

    GameStore& store_;
    std::vector<tplugin> rows_;
    // Per row: the game's key holds "masters".
    std::vector<bool> mastersset_;
};

// A master list as "host:port" entries separated by one blank: runs of
// blanks, tabs and commas become one blank, none at either end.
std::string normalisemasters(std::string_view text);

}  // namespace velmora
