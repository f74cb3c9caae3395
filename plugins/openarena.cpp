// OpenArena: the Quake III protocol
#include "plugins/win/plugin_win.h"

using velmora::plugins::Game;
using velmora::plugins::gameTexts;

namespace {
constexpr Game kGame = Game::openarena;
}

extern "C" {
const char* VELMORA_CALL getgamename(void) { return gameTexts(kGame).gamename; }
const char* VELMORA_CALL getgameid(void) { return gameTexts(kGame).gameid; }
const char* VELMORA_CALL getdefport(void) { return gameTexts(kGame).defport; }
const char* VELMORA_CALL getsendstr(void) { return gameTexts(kGame).sendstr; }
const char* VELMORA_CALL getparam(void) { return gameTexts(kGame).param; }
HICON VELMORA_CALL getgameicon(const char*) { return velmora::plugins::loadGameIcon(); }
void VELMORA_CALL decodedata(ServerInfo* info, const char* reply) {
    velmora::plugins::fillServerInfo(kGame, info, reply);
}
}
