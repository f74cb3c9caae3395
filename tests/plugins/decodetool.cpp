// decodetool GAME FILE: decodes one recorded datagram as the plug-in of GAME
// (quake, quakeworld, quake2, quake3, openarena) would, and prints the six
// texts as "key=value" lines. The datagram is cut at its first zero byte, as
// the host does before it calls decodedata. Used by the real-server tests.
// decodetool --master GAME [DATAGRAMS]: the game's masters and query, and each
// datagram of DATAGRAMS (each preceded by its length) read as its plug-in's
// decodemaster reads it; for the master tests.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugins/decode/decode.h"
#include "plugins/decode/masterentries.h"
#include "tests/plugins/tool_io.h"

using namespace velmora::plugins;

int main(int argc, char** argv) {
    const bool master = argc >= 3 && argc <= 4 && std::strcmp(argv[1], "--master") == 0;
    if (master) {
        ++argv;
        --argc;
    } else if (argc != 3) {
        std::fprintf(stderr,
                     "usage: decodetool quake|quakeworld|quake2|quake3|openarena FILE\n"
                     "       decodetool --master GAME [DATAGRAMS]\n");
        return 2;
    }
    const struct {
        const char* name;
        Game game;
    } games[] = {{"quake", Game::quake}, {"quakeworld", Game::quakeworld}, {"quake2", Game::quake2},
                 {"quake3", Game::quake3}, {"openarena", Game::openarena}};
    const Game* game = nullptr;
    for (const auto& g : games)
        if (std::strcmp(argv[1], g.name) == 0) game = &g.game;
    if (!game) {
        std::fprintf(stderr, "decodetool: unknown game %s\n", argv[1]);
        return 2;
    }
    if (master) {
        std::vector<std::string> datagrams;
        if (argc == 3 && !velmora::testing::readDatagrams(argv[2], datagrams)) {
            std::fprintf(stderr, "decodetool: cannot read %s\n", argv[2]);
            return 2;
        }
        const GameMasters& m = gameMasters(*game);
        std::vector<MasterAddress> room(kMostMasterEntries);
        velmora::testing::printMasterList(
            m.masters, m.sendstr, datagrams,
            [&](MasterEntry* entries, int max, const char* reply, int length, int* last) {
                return decodeMasterEntries(*game, entries, max, reply, length, last, room.data(), kMostMasterEntries);
            });
        return 0;
    }
    std::string reply;
    if (!velmora::testing::readDatagram(argv[2], reply)) {
        std::fprintf(stderr, "decodetool: cannot read %s\n", argv[2]);
        return 2;
    }
    reply.resize(std::strlen(reply.c_str()));
    const ServerFields s = decodeReply(*game, reply);
    velmora::testing::printFields(s.name.c_str(), s.game.c_str(), s.mod.c_str(), s.map.c_str(), s.players.c_str(),
                                  s.maxplayers.c_str());
    return 0;
}
