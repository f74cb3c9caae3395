// The status replies of the watcher's tests and their decoder, standing in
// for a game and its plug-in: the prefix, then players, max players and map
// on lines of their own.
#pragma once
#include <string>
#include <vector>

#include "query/querytexts.h"

namespace velmora::watch::test {

inline const std::string kPrefix("\xFF\xFF\xFF\xFF", 4);

inline std::string reply(const std::string& players, const std::string& max, const std::string& map) {
    return kPrefix + players + "\n" + max + "\n" + map;
}

// Decodes reply() like a plug-in: players gets three filler characters;
// anything without the prefix gives "???" in every field.
inline query::DecodedTexts decode(int, const std::string& datagram) {
    if (datagram.rfind(kPrefix, 0) != 0) return {"???", "???", "???", "???", "???", "???"};
    std::vector<std::string> lines{""};
    for (char c : datagram.substr(4)) {
        if (c == '\n') lines.emplace_back();
        else lines.back() += c;
    }
    lines.resize(3);
    return {"name", "game", "mod", lines[2], "   " + lines[0], lines[1]};
}

}  // namespace velmora::watch::test
