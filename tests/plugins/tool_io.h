// What the two decoding tools share: reading a recorded datagram and printing
// the six texts as the real-server tests read them.
#pragma once
#include <cstdio>
#include <string>

namespace velmora::testing {

// The whole file, or false when it cannot be read.
inline bool readDatagram(const char* path, std::string& bytes) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return true;
}

inline void printFields(const char* name, const char* game, const char* mod, const char* map, const char* players,
                        const char* maxplayers) {
    std::printf("name=%s\ngame=%s\nmod=%s\nmap=%s\nplayers=%s\nmaxplayers=%s\n", name, game, mod, map, players,
                maxplayers);
}

}  // namespace velmora::testing
