// The Win32 side shared by the five reference plug-ins: the decoded texts in
// the library's own storage, and the game's icon from its resources.
#pragma once
#include "plugins/decode/masterentries.h"
#include "plugins/decode/status.h"
#include "plugins/include/velmora_plugin.h"

namespace velmora::plugins {

// The resource id of the game's 16 x 16 icon in every plug-in.
inline constexpr int kGameIconId = 1;

// decodedata: decodes the zero-terminated `reply` (a null pointer reads as an
// empty text) and points the six texts of `info` at this library's storage,
// where they stay until the next call or until the library is unloaded.
void fillServerInfo(Game game, ServerInfo* info, const char* reply);

// decodeplayers: at most `max` players of `reply` into `players`, their texts
// in this library's storage until the next call or the unload.
int fillPlayers(Game game, PlayerInfo* players, int max, const char* reply);

// decodemaster: at most `max` entries of the master reply datagram into
// `entries` (the caller's), read through this library's own room for the
// most entries a datagram carries.
int fillMasterEntries(Game game, MasterEntry* entries, int max, const char* reply, int length, int* last);

// getgameicon: a new 16 x 16 icon from this library's resources; the caller
// owns it (DestroyIcon). Null when it cannot be made.
HICON loadGameIcon();

}  // namespace velmora::plugins

// The eleven exports of a reference plug-in for `game` (a velmora::plugins::Game):
// its fixed texts, its icon, its masters, and the shared decoders. Each
// plug-in's source is this one line; plugins/velmora_plugin.def gives the
// exports their plain names.
#define VELMORA_GAME_PLUGIN(game)                                                                            \
    extern "C" {                                                                                             \
    const char* VELMORA_CALL getgamename(void) { return velmora::plugins::gameTexts(game).gamename; }        \
    const char* VELMORA_CALL getgameid(void) { return velmora::plugins::gameTexts(game).gameid; }            \
    const char* VELMORA_CALL getdefport(void) { return velmora::plugins::gameTexts(game).defport; }          \
    const char* VELMORA_CALL getsendstr(void) { return velmora::plugins::gameTexts(game).sendstr; }          \
    const char* VELMORA_CALL getparam(void) { return velmora::plugins::gameTexts(game).param; }              \
    HICON VELMORA_CALL getgameicon(const char*) { return velmora::plugins::loadGameIcon(); }                 \
    void VELMORA_CALL decodedata(ServerInfo* info, const char* reply) {                                      \
        velmora::plugins::fillServerInfo(game, info, reply);                                                 \
    }                                                                                                        \
    int VELMORA_CALL decodeplayers(PlayerInfo* players, int max, const char* reply) {                        \
        return velmora::plugins::fillPlayers(game, players, max, reply);                                     \
    }                                                                                                        \
    const char* VELMORA_CALL getmasters(void) { return velmora::plugins::gameMasters(game).masters; }        \
    const char* VELMORA_CALL getmastersendstr(void) { return velmora::plugins::gameMasters(game).sendstr; }  \
    int VELMORA_CALL decodemaster(MasterEntry* entries, int max, const char* reply, int length, int* last) { \
        return velmora::plugins::fillMasterEntries(game, entries, max, reply, length, last);                 \
    }                                                                                                        \
    }
