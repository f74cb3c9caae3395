#include "plugins/win/plugin_win.h"

#include <cstring>

// The base address of the module this code is linked into, the plug-in's own
// HINSTANCE, so no DllMain is needed to learn it.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace velmora::plugins {
namespace {
// One set of texts per library: each plug-in links its own copy of this file.
ServerFields lastDecoded = unknownFields();
}  // namespace

void fillServerInfo(Game game, ServerInfo* info, const char* reply) {
    if (info == nullptr) return;
    try {
        lastDecoded = decodeReply(game, reply ? std::string_view(reply, std::strlen(reply)) : std::string_view{});
    } catch (...) {
        // Out of memory on a huge reply: nothing may escape into the host.
        lastDecoded = ServerFields{};
        try {
            lastDecoded = unknownFields();
        } catch (...) {
        }
    }
    info->name = lastDecoded.name.c_str();
    info->game = lastDecoded.game.c_str();
    info->mod = lastDecoded.mod.c_str();
    info->map = lastDecoded.map.c_str();
    info->players = lastDecoded.players.c_str();
    info->maxplayers = lastDecoded.maxplayers.c_str();
}

HICON loadGameIcon() {
    return static_cast<HICON>(LoadImageA(reinterpret_cast<HINSTANCE>(&__ImageBase), MAKEINTRESOURCEA(kGameIconId),
                                         IMAGE_ICON, 16, 16, 0));
}

}  // namespace velmora::plugins
