// What the program calls in a game's plug-in after start-up: its decoders,
// and the master query of a game that can be listed.
// A game row holds them through a shared pointer that also keeps the
// library loaded, so every decode goes through the library loaded once at
// start-up and nothing is loaded again while the program runs.
#pragma once
#include "plugins/include/velmora_plugin.h"

namespace velmora {

struct PluginCalls {
    decodedata_fn decodedata = nullptr;
    // Optional: a plug-in without it lists no players.
    decodeplayers_fn decodeplayers = nullptr;
    // Optional, the three together: a plug-in without them has no server
    // list in "Find a game".
    getmasters_fn getmasters = nullptr;
    getmastersendstr_fn getmastersendstr = nullptr;
    decodemaster_fn decodemaster = nullptr;

    // The game can be listed: its master query and master reply decoder are
    // there (the default masters may be missing: a player can set them).
    bool lists() const { return getmastersendstr && decodemaster; }
};

}  // namespace velmora
