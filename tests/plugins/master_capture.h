// Reading the recorded master replies in tests/plugins/captures/masters/:
// every datagram the master sent, each preceded by its length (4 bytes,
// big-endian). Also the datagrams the tests build, in the same form.
#pragma once
#include <string>
#include <vector>

#include "tests/plugins/capture.h"

namespace velmora::testing {

inline std::vector<std::string> masterDatagrams(const std::string& name) {
    const std::string all = readCapture("masters/" + name);
    std::vector<std::string> out;
    for (size_t at = 0; at + 4 <= all.size();) {
        const auto* b = reinterpret_cast<const unsigned char*>(all.data() + at);
        const size_t size = size_t(b[0]) << 24 | size_t(b[1]) << 16 | size_t(b[2]) << 8 | b[3];
        out.push_back(all.substr(at + 4, size));
        at += 4 + size;
    }
    return out;
}

inline const std::string kMasterPrefix("\xFF\xFF\xFF\xFF", 4);
inline const std::string kMasterEnd("\\EOT\0\0\0", 7);

// One list entry: four address bytes and the port, big-endian.
inline std::string masterEntry(int a, int b, int c, int d, int port) {
    return {char(a), char(b), char(c), char(d), char(port >> 8), char(port & 0xFF)};
}

// `count` entries 10.0.x.y:27960 in the Quake III form, with or without the end marker.
inline std::string quake3List(int count, bool end) {
    std::string reply = kMasterPrefix + "getserversResponse";
    for (int i = 0; i < count; ++i) reply += "\\" + masterEntry(10, 0, i >> 8, i & 0xFF, 27960);
    return end ? reply + kMasterEnd : reply;
}

}  // namespace velmora::testing
