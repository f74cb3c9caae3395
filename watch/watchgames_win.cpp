// The plug-ins that decode the watcher's answers.
#include "core/pluginhost_win.h"
#include "core/velmoraglobal.h"
#include "watch/watcher_win.h"

namespace velmora::watch {

WatchDecoder plugindecoder(const std::vector<tplugin>& games) {
    return [&games](int game, const std::string& datagram) {
        query::DecodedTexts decoded{"???", "???", "???", "???", "???", "???"};
        if (game < 0 || static_cast<size_t>(game) >= games.size()) return decoded;
        // Loaded for this call only, and unloaded once its texts are copied.
        auto library = PluginLibrary::load(games[static_cast<size_t>(game)].pluginfile);
        if (library && library->exports().decodedata) {
            ServerInfo info{};
            library->exports().decodedata(&info, datagram.c_str());
            decoded = {plugintext(info.name), plugintext(info.game),    plugintext(info.mod),
                       plugintext(info.map),  plugintext(info.players), plugintext(info.maxplayers)};
        }
        return decoded;
    };
}

}  // namespace velmora::watch
