// libFuzzer target: any datagram, decoded as each of the five games, both as
// the whole buffer and as the zero-terminated text the host passes. Beyond
// the sanitizers it checks what the host relies on in every result.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "plugins/decode/decode.h"

using namespace velmora::plugins;

namespace {
void check(const ServerFields& f) {
    for (const std::string* text : {&f.name, &f.game, &f.mod, &f.map, &f.players, &f.maxplayers})
        for (const char c : *text)
            if (static_cast<unsigned char>(c) < 0x20 || c == '<') std::abort();  // a control or a markup tag
    if (f.players != "???" && (f.players.size() < 4 || f.players.compare(0, 3, "   ") != 0)) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string whole(reinterpret_cast<const char*>(data), size);
    const std::string_view text(whole.c_str());
    for (const Game game : allGames) {
        check(decodeReply(game, whole));
        check(decodeReply(game, text));
    }
    return 0;
}
