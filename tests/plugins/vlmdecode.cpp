// vlmdecode PLUGIN FILE: loads a built .vlm by its full path, passes the
// recorded datagram FILE to its exported decodedata the way the host does
// (as a zero-terminated text) and prints the six texts as "key=value" lines.
// The win32 twin of decodetool, used by the real-server tests under Wine.
#include <windows.h>

#include <cstdio>
#include <string>

#include "plugins/include/velmora_plugin.h"
#include "tests/plugins/tool_io.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vlmdecode PLUGIN.vlm FILE\n");
        return 2;
    }
    std::string reply;
    if (!velmora::testing::readDatagram(argv[2], reply)) {
        std::fprintf(stderr, "vlmdecode: cannot read %s\n", argv[2]);
        return 2;
    }
    HMODULE lib = LoadLibraryA(argv[1]);
    if (!lib) {
        std::fprintf(stderr, "vlmdecode: %s does not load\n", argv[1]);
        return 2;
    }
    auto decode = reinterpret_cast<decodedata_fn>(reinterpret_cast<void*>(GetProcAddress(lib, "decodedata")));
    if (!decode) {
        std::fprintf(stderr, "vlmdecode: %s has no decodedata\n", argv[1]);
        FreeLibrary(lib);
        return 2;
    }
    ServerInfo info{};
    decode(&info, reply.c_str());
    velmora::testing::printFields(info.name, info.game, info.mod, info.map, info.players, info.maxplayers);
    std::fflush(stdout);
    FreeLibrary(lib);
    return 0;
}
