// What the two decoding tools share: reading a recorded datagram and printing
// the six texts as the real-server tests read them; and a master's list,
// datagram by datagram, as the master tests read it.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "plugins/include/velmora_plugin.h"

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

// The datagrams of a file that holds each preceded by its length, 4 bytes
// big-endian (as the recorded master replies are); false when it cannot be
// read or ends inside a datagram.
inline bool readDatagrams(const char* path, std::vector<std::string>& datagrams) {
    std::string all;
    if (!readDatagram(path, all)) return false;
    for (size_t at = 0; at < all.size();) {
        if (all.size() - at < 4) return false;
        const auto* b = reinterpret_cast<const unsigned char*>(all.data() + at);
        const size_t size = size_t(b[0]) << 24 | size_t(b[1]) << 16 | size_t(b[2]) << 8 | b[3];
        if (all.size() - at - 4 < size) return false;
        datagrams.push_back(all.substr(at + 4, size));
        at += 4 + size;
    }
    return true;
}

// "masters=" the default masters, "query=" the query's bytes in hex with the
// zero byte that goes out with it, then per datagram "datagram=N count=C
// last=L" and an "entry=" line per address. `decode` is decodemaster's shape.
template <typename Decode>
void printMasterList(const char* masters, const char* query, const std::vector<std::string>& datagrams,
                     Decode decode) {
    std::printf("masters=%s\nquery=", masters);
    for (const char* q = query;; ++q) {
        std::printf("%02x", static_cast<unsigned char>(*q));
        if (!*q) break;
    }
    std::printf("\n");
    // Room for every entry a datagram can carry.
    std::vector<MasterEntry> entries(65535 / 6 + 1);
    for (size_t i = 0; i < datagrams.size(); ++i) {
        int last = -1;
        const int count = decode(entries.data(), static_cast<int>(entries.size()), datagrams[i].data(),
                                 static_cast<int>(datagrams[i].size()), &last);
        std::printf("datagram=%u count=%d last=%d\n", static_cast<unsigned>(i), count, last);
        for (int e = 0; e < count; ++e) std::printf("entry=%s\n", entries[static_cast<size_t>(e)].address);
    }
}

}  // namespace velmora::testing
