// Quake II: the "status" query, answered with a print of the server info and players
#include "plugins/win/plugin_win.h"

VELMORA_GAME_PLUGIN(velmora::plugins::Game::quake2)
