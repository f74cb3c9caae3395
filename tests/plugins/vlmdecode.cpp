// vlmdecode PLUGIN FILE: loads a built .vlm by its full path, passes the
// recorded datagram FILE to its exported decodedata the way the host does
// (as a zero-terminated text) and prints the six texts as "key=value" lines.
// vlmdecode --master PLUGIN [DATAGRAMS]: its getmasters and getmastersendstr,
// and each datagram of DATAGRAMS (each preceded by its length, 4 bytes
// big-endian) through its decodemaster, as the master tests read them.
// The win32 twin of decodetool, used by the real-server tests under Wine.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "plugins/include/velmora_plugin.h"
#include "tests/plugins/tool_io.h"

namespace {

template <typename Fn>
Fn exported(HMODULE lib, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

// --master PLUGIN [FILE]: the plug-in's masters and query, and each datagram
// of FILE (each preceded by its length) through its decodemaster.
int masterList(const char* plugin, const char* file) {
    std::vector<std::string> datagrams;
    if (file && !velmora::testing::readDatagrams(file, datagrams)) {
        std::fprintf(stderr, "vlmdecode: cannot read %s\n", file);
        return 2;
    }
    HMODULE lib = LoadLibraryA(plugin);
    if (!lib) {
        std::fprintf(stderr, "vlmdecode: %s does not load\n", plugin);
        return 2;
    }
    const auto masters = exported<getmasters_fn>(lib, "getmasters");
    const auto query = exported<getmastersendstr_fn>(lib, "getmastersendstr");
    const auto decode = exported<decodemaster_fn>(lib, "decodemaster");
    if (!masters || !query || !decode) {
        std::fprintf(stderr, "vlmdecode: %s has no master exports\n", plugin);
        FreeLibrary(lib);
        return 2;
    }
    velmora::testing::printMasterList(masters(), query(), datagrams, decode);
    std::fflush(stdout);
    FreeLibrary(lib);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && argc <= 4 && std::string(argv[1]) == "--master")
        return masterList(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc != 3) {
        std::fprintf(stderr, "usage: vlmdecode PLUGIN.vlm FILE\n       vlmdecode --master PLUGIN.vlm [DATAGRAMS]\n");
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
    auto decode = exported<decodedata_fn>(lib, "decodedata");
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
