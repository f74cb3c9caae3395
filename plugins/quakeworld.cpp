// QuakeWorld: status with the plain "status" query (no spectators listed)
#include "plugins/win/plugin_win.h"

VELMORA_GAME_PLUGIN(velmora::plugins::Game::quakeworld)
