// What the program calls in a game's plug-in after start-up: its decoders.
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
};

}  // namespace velmora
