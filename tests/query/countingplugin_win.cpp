// A game plug-in that counts, for the tests of the host's plug-in path: how
// often the library was really loaded into the process (DLL_PROCESS_ATTACH,
// which a load of a library already loaded does not repeat, but every load
// after an unload does) and how often decodedata ran. The counts outlive the
// library in the process's environment, as VELMORA_COUNTING_LOADS and
// VELMORA_COUNTING_DECODES. It answers "getstatus" replies like the reference
// plug-ins: "statusResponse", a line end, then the server's name.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "velmora_plugin.h"

#define CP_EXPORT extern "C" __declspec(dllexport)

namespace {
void count(const char* name) {
    char text[32] = {};
    const DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    const long now = (n > 0 && n < sizeof text ? std::atol(text) : 0) + 1;
    std::snprintf(text, sizeof text, "%ld", now);
    SetEnvironmentVariableA(name, text);
}
}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) count("VELMORA_COUNTING_LOADS");
    return TRUE;
}

CP_EXPORT const char* __stdcall getgamename() { return "Counting Game"; }
CP_EXPORT const char* __stdcall getgameid() { return "cnt"; }
CP_EXPORT const char* __stdcall getdefport() { return "26600"; }
CP_EXPORT const char* __stdcall getsendstr() { return "\xff\xff\xff\xffgetstatus"; }
CP_EXPORT const char* __stdcall getparam() { return "+connect "; }

CP_EXPORT HICON __stdcall getgameicon(const char*) {
    static unsigned char andMask[16 * 2] = {}, xorMask[16 * 2];
    std::memset(xorMask, 0xff, sizeof xorMask);
    return CreateIcon(GetModuleHandleA(nullptr), 16, 16, 1, 1, andMask, xorMask);
}

CP_EXPORT void __stdcall decodedata(ServerInfo* info, const char* reply) {
    count("VELMORA_COUNTING_DECODES");
    static const char header[] = "\xff\xff\xff\xffstatusResponse\n";
    static char name[256];
    const bool status = reply && std::strncmp(reply, header, sizeof header - 1) == 0;
    std::snprintf(name, sizeof name, "%s", status ? reply + sizeof header - 1 : "???");
    info->name = name;
    info->game = status ? "Counting Game" : "???";
    info->mod = status ? "countmod" : "???";
    info->map = status ? "DM4" : "???";
    info->players = status ? "xxx2" : "???";
    info->maxplayers = status ? "8" : "???";
}
