// The plug-ins that decode the watcher's answers.
#include "core/velmoraglobal.h"
#include "query/gameplugin.h"
#include "watch/watcher_win.h"

namespace velmora::watch {

WatchDecoder plugindecoder(const std::vector<tplugin>& games) {
    return [&games](int game, const std::string& datagram) {
        if (game < 0 || static_cast<size_t>(game) >= games.size()) return query::unreadtexts();
        // Through the library the game's row keeps loaded; a datagram that is
        // no status reply of the game never reaches the plug-in, and its
        // "???" leaves the query waiting for a valid one.
        return query::GamePlugin(games[static_cast<size_t>(game)]).decodereply(datagram).value_or(
            query::unreadtexts());
    };
}

}  // namespace velmora::watch
