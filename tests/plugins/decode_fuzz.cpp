// libFuzzer target: any datagram, decoded as each of the five games, both as
// the whole buffer and as the zero-terminated text the host passes, and its
// players as decodeplayers lists them. Beyond
// the sanitizers it checks what the host relies on in every result.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugins/decode/decode.h"

using namespace velmora::plugins;

namespace {
void check(const ServerFields& f) {
    for (const std::string* text : {&f.name, &f.game, &f.mod, &f.map, &f.players, &f.maxplayers})
        for (const char c : *text)
            if (static_cast<unsigned char>(c) < 0x20) std::abort();  // a control character (the host makes "<" inert)
    if (f.players != "???" && (f.players.size() < 4 || f.players.compare(0, 3, "   ") != 0)) std::abort();
}
// The players: no more than asked, and every text free of control characters.
void check(const std::vector<Player>& players, int max) {
    if (players.size() > static_cast<size_t>(max)) std::abort();
    for (const Player& p : players)
        for (const std::string* text : {&p.name, &p.score, &p.ping, &p.time, &p.team})
            for (const char c : *text)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string whole(reinterpret_cast<const char*>(data), size);
    const std::string_view text(whole.c_str());
    for (const Game game : allGames) {
        check(decodeReply(game, whole));
        check(decodeReply(game, text));
        check(decodePlayerList(game, text, 8), 8);
    }
    return 0;
}
