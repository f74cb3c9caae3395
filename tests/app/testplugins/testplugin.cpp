// A configurable game plug-in for the host's tests, built several times with
// different definitions: TP_NAME, TP_ID, TP_PORT, TP_ICON (icon size, 0 for
// none), TP_NO_DECODE (leaves out the decodedata export) and TP_PLAYERS (adds
// the optional decodeplayers export, which returns that count whatever `max`
// is, writing at most `max` entries).
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "velmora_plugin.h"

#define TP_EXPORT extern "C" __declspec(dllexport)

TP_EXPORT const char* __stdcall getgamename() { return TP_NAME; }
TP_EXPORT const char* __stdcall getgameid() { return TP_ID; }
TP_EXPORT const char* __stdcall getdefport() { return TP_PORT; }
TP_EXPORT const char* __stdcall getsendstr() { return "\xff\xff\xff\xffgetstatus"; }
TP_EXPORT const char* __stdcall getparam() { return "+connect "; }

TP_EXPORT HICON __stdcall getgameicon(const char*) {
    const int size = TP_ICON;
    if (size == 0) return nullptr;
    // A plain square: one bit per pixel, AND mask clear (opaque), XOR mask set.
    static unsigned char andMask[64 * 8] = {}, xorMask[64 * 8];
    std::memset(xorMask, 0xff, sizeof xorMask);
    return CreateIcon(GetModuleHandleA(nullptr), size, size, 1, 1, andMask, xorMask);
}

#ifndef TP_NO_DECODE
TP_EXPORT void __stdcall decodedata(ServerInfo* info, const char* reply) {
    // Echoes what it was given, so a test can see the reply reached it.
    static char name[256];
    std::snprintf(name, sizeof name, "%s", reply);
    info->name = name;
    info->game = TP_NAME;
    info->mod = "testmod";
    info->map = "TestMap";
    info->players = "xxx3";
    info->maxplayers = "8";
}
#endif

#ifdef TP_PLAYERS
TP_EXPORT int __stdcall decodeplayers(PlayerInfo* players, int max, const char* reply) {
    // Scores count down from the entry count, names after the reply's length,
    // so a test can see which entries were written.
    static char names[4][32];
    for (int i = 0; i < max && i < TP_PLAYERS; ++i) {
        std::snprintf(names[i % 4], sizeof names[0], "p%d-%u", i, static_cast<unsigned>(std::strlen(reply)));
        players[i].name = names[i % 4];
        players[i].score = i % 2 ? "<b>&5" : "7";
        players[i].ping = "33";
        players[i].time = "";
        players[i].team = nullptr;
        players[i].spectator = i == 1;
    }
    return TP_PLAYERS;
}
#endif
