#include "plugins/win/plugin_win.h"

#include <cstring>

// The base address of the module this code is linked into, the plug-in's own
// HINSTANCE.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace velmora::plugins {
namespace {

// The texts of the last call of each kind live in a block of the process
// heap sized for its reply, kept until the next call of that kind or until
// the library is unloaded. Each plug-in links its own copy of this file.
struct Block {
    char* data = nullptr;
    std::size_t size = 0;

    bool renew(std::size_t wanted) {
        release();
        data = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, wanted));
        size = data ? wanted : 0;
        return data != nullptr;
    }
    void release() {
        if (data) HeapFree(GetProcessHeap(), 0, data);
        data = nullptr;
        size = 0;
    }
};
// Plain data, so no constructor or destructor runs at load or unload.
Block serverTexts;
Block playerTexts;
// The addresses of one master reply before they are written out as texts:
// room for the most a datagram carries. In the uninitialised section, which
// takes no room in the file (with -fdata-sections it would go into the
// file's data as 64 KB of zeros).
__attribute__((section(".bss"))) MasterAddress masterAddresses[kMostMasterEntries];

std::string_view replyText(const char* reply) {
    return reply ? std::string_view(reply, std::strlen(reply)) : std::string_view{};
}

}  // namespace

void fillServerInfo(Game game, ServerInfo* info, const char* reply) {
    if (info == nullptr) return;
    const std::string_view text = replyText(reply);
    const char* fields[6] = {"???", "???", "???", "???", "???", "???"};
    // A reply too large for memory shows as no status at all.
    if (serverTexts.renew(serverStoreSize(text.size()))) {
        TextStore store(serverTexts.data, serverTexts.size);
        decodeServer(game, text, store, fields);
    }
    info->name = fields[0];
    info->game = fields[1];
    info->mod = fields[2];
    info->map = fields[3];
    info->players = fields[4];
    info->maxplayers = fields[5];
}

int fillPlayers(Game game, PlayerInfo* players, int max, const char* reply) {
    if (players == nullptr || max <= 0) return 0;
    const std::string_view text = replyText(reply);
    if (!playerTexts.renew(playersStoreSize(text.size()))) return 0;
    TextStore store(playerTexts.data, playerTexts.size);
    return decodePlayers(game, text, players, max, store);
}

int fillMasterEntries(Game game, MasterEntry* entries, int max, const char* reply, int length, int* last) {
    return decodeMasterEntries(game, entries, max, reply, length, last, masterAddresses, kMostMasterEntries);
}

// At the system's small-icon size: 16 x 16 on a 96-dpi screen, larger on
// denser ones, from the icon file's own image of that size.
HICON loadGameIcon() {
    return static_cast<HICON>(LoadImageA(reinterpret_cast<HINSTANCE>(&__ImageBase), MAKEINTRESOURCEA(kGameIconId),
                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                         0));
}

}  // namespace velmora::plugins

// The library's entry point itself: a plug-in links no C runtime start-up,
// since it has nothing to construct or destroy and no thread-local data, and
// the start-up's work and imports were most of the time a load took. The
// heap blocks go back when the host unloads the library.
extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        velmora::plugins::serverTexts.release();
        velmora::plugins::playerTexts.release();
    }
    return TRUE;
}
