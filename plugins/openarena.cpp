// OpenArena: the Quake III protocol
#include "plugins/win/plugin_win.h"

VELMORA_GAME_PLUGIN(velmora::plugins::Game::openarena)
