// Quake: DarkPlaces-style servers, queried with getstatus
#include "plugins/win/plugin_win.h"

VELMORA_GAME_PLUGIN(velmora::plugins::Game::quake)
