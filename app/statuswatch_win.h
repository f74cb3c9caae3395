// The status watcher of every game's recent servers and what the tray shows
// of it: the figures in grey after each server in the menu, the icon's tip
// naming the busiest server, and a balloon when an empty server gets players.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/tray/tray_win.h"
#include "core/gametable.h"
#include "watch/watcher_win.h"

namespace velmora {

class StatusWatch {
public:
    StatusWatch(const GameTable& games, Tray& tray);
    StatusWatch(const StatusWatch&) = delete;
    StatusWatch& operator=(const StatusWatch&) = delete;
    ~StatusWatch();

    // Starts watching the table's histories, with "watch" and "notify" read
    // from the settings. Until then nothing is watched.
    void start();
    void stop();
    // "watch" and "notify" read again, after the settings changed them.
    void readsettings();
    // The histories changed: the watcher's servers follow (a new link or a
    // server moved to the top counts from the next round).
    void historychanged();

    const watch::Watcher* watcher() const { return watcher_.get(); }
    // The length of the watcher's minute; tests make their rounds short.
    std::uint32_t minute = 60000;
    // A click on the balloon: its server's game and history entry.
    std::function<void(int g, const std::string& entry)> OnOpenServer;

private:
    std::string menustatus(MenuChoice choice) const;
    void changed();
    void balloon(const watch::Balloon& balloon);
    void balloonclick();

    const GameTable& games_;
    Tray& tray_;
    std::unique_ptr<watch::Watcher> watcher_;
    std::optional<watch::Balloon> balloon_;  // the balloon shown last
};

}  // namespace velmora
