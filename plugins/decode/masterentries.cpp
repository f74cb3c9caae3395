#include "plugins/decode/masterentries.h"

namespace velmora::plugins {

const GameMasters& gameMasters(Game game) {
    // The masters each game's community runs today, as its engines ship them.
    // Quake's servers are DarkPlaces ones and register with DarkPlaces'
    // masters under their game name; OpenArena's register as Quake III
    // servers of protocol 71, so its query names no game.
    static constexpr GameMasters quake{
        "dpmaster.deathmask.net:27950 dpmaster.tchr.no:27950 dpm.dpmaster.org:27777",
        "\xff\xff\xff\xff" "getservers DarkPlaces-Quake 3 empty full", MasterProtocol::Quake3};
    static constexpr GameMasters quakeworld{
        "master.quakeservers.net:27000 qwmaster.fodquake.net:27000 master.quakeworld.nu:27000 "
        "qwmaster.ocrana.de:27000",
        "c\n", MasterProtocol::QuakeWorld};
    static constexpr GameMasters quake2{"master.quakeservers.net:27900 netdome.biz:27900", "query\n",
                                        MasterProtocol::Quake2};
    // "empty" and "full": without them a master leaves out the servers that
    // nobody plays on and those that have no free place.
    static constexpr GameMasters quake3{
        "master.quake3arena.com:27950 directory.ioquake3.org:27950 master.maverickservers.com:27950",
        "\xff\xff\xff\xff" "getservers 68 empty full", MasterProtocol::Quake3};
    static constexpr GameMasters openarena{"dpmaster.deathmask.net:27950 directory.ioquake3.org:27950",
                                           "\xff\xff\xff\xff" "getservers 71 empty full", MasterProtocol::Quake3};
    switch (game) {
        case Game::quake: return quake;
        case Game::quakeworld: return quakeworld;
        case Game::quake2: return quake2;
        case Game::quake3: return quake3;
        case Game::openarena: return openarena;
    }
    return quake;
}

int decodeMasterEntries(Game game, MasterEntry* entries, int max, const char* reply, int length, int* last,
                        MasterAddress* scratch, int room) {
    if (!entries || max < 0) max = 0;
    if (!scratch || room < 0) room = 0;
    if (max > room) max = room;
    const int count = decodeMasterReply(gameMasters(game).protocol, reply, length, scratch, max, last);
    for (int i = 0; i < count; ++i) formatMasterAddress(scratch[i], entries[i].address);
    return count;
}

}  // namespace velmora::plugins
