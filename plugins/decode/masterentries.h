// A game's server list as the plug-in exports hand it over: its default
// masters, the query they are asked, and one reply datagram written out as
// "a.b.c.d:port" texts. Lean like the rest of the core: no allocation, no
// exceptions; the caller lends the room the addresses are read into.
#pragma once
#include "plugins/decode/master.h"
#include "plugins/decode/status.h"
#include "plugins/include/velmora_plugin.h"

namespace velmora::plugins {

// What getmasters and getmastersendstr return, and how the game's masters answer.
struct GameMasters {
    const char* masters;  // "host:port" words separated by blanks
    const char* sendstr;  // sent with its terminating zero byte
    MasterProtocol protocol;
};
const GameMasters& gameMasters(Game game);

// The most entries one datagram carries: a UDP datagram holds at most 65,535
// bytes, and every entry takes six of them.
inline constexpr int kMostMasterEntries = 65535 / 6;

// decodemaster: at most `max` entries of the datagram (`length` bytes) into
// `entries`, read through `scratch` (room for `room` addresses; no more are
// written than that). Returns how many, or -1 when the datagram is not the
// game's master reply; `*last` as decodeMasterReply sets it. A null `entries`
// or a `max` below 1 writes nothing, and still tells a reply from another.
int decodeMasterEntries(Game game, MasterEntry* entries, int max, const char* reply, int length, int* last,
                        MasterAddress* scratch, int room);

}  // namespace velmora::plugins
