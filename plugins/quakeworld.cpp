// QuakeWorld: queried with "status 23", which lists the spectators too
#include "plugins/win/plugin_win.h"

VELMORA_GAME_PLUGIN(velmora::plugins::Game::quakeworld)
