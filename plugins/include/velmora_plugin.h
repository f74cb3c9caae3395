/* The Velmora game plug-in interface.
 *
 * A plug-in is a Windows DLL named plugins\<game>.vlm beside velmora.exe,
 * of the program's own word size: a 32-bit velmora.exe loads 32-bit plug-ins,
 * a 64-bit one 64-bit plug-ins (the same source builds both). Velmora looks
 * up seven exports by these exact, undecorated names (list them in a .def
 * file: __stdcall names are decorated otherwise), and four optional ones:
 * decodeplayers, and getmasters, getmastersendstr and decodemaster for the
 * game's server list. It loads each plug-in once at start-up and keeps it
 * loaded for the program's run with the game it serves (a file that does not
 * load or lacks one of the seven is let go and passed over); every call comes
 * from the program's one thread, one at a time. A plug-in without
 * decodeplayers works as before; its query window lists no players. A
 * plug-in without the three master exports loads and works as before too;
 * its game has no server list (nor has one without getmastersendstr or
 * decodemaster; one without getmasters has no default masters and lists
 * the servers of the masters a player sets).
 *
 * Rules a plug-in keeps:
 *  - every text is zero-terminated 8-bit ANSI and owned by the plug-in; it must
 *    stay valid until the library is unloaded (static storage is simplest);
 *  - getgameid: only the first three characters count (registry key name,
 *    matched case-insensitively with a link's game field);
 *  - getdefport: decimal text; ports up to 4 above it select the game;
 *  - getsendstr: the status query's bytes exactly as sent, so no zero byte;
 *  - getparam: ends with whatever the game expects before "host:port" (the
 *    host appends the address with nothing between);
 *  - getgameicon: a small icon handle, 16 x 16 or the system's small-icon
 *    size on a denser screen (smaller than 16 x 16 is refused, NULL adds
 *    an empty image); the host destroys it when it has copied it;
 *  - decodedata: fills all six texts; players begins with three filler
 *    characters that the host drops; every field is "???" when the reply is
 *    not a status reply (a failure text such as "unknown error", empty text).
 *    The reply is the whole datagram, FF FF FF FF prefix included, up to its
 *    first zero byte. The texts may change with the next decodedata call;
 *    the host copies them before it calls again or unloads the library.
 *  - decodeplayers (optional): for the same reply text decodedata receives,
 *    fills at most `max` PlayerInfo entries, one per player line, and
 *    returns how many it filled (0 for a reply that is not a status reply).
 *    Each text is zero-terminated, "" where the game gives none, and owned
 *    by the plug-in until its next call or the unload; the host copies the
 *    entries before either. The host takes no count below 0 or above `max`.
 *  - getmasters (optional, with the next two): the game's default master
 *    servers as "host:port" words separated by blanks, "" for none;
 *  - getmastersendstr: the master query, sent as the game's own clients send
 *    it: its text and the terminating zero byte. The Quake III forms start
 *    with FF FF FF FF, so the text is not printable;
 *  - decodemaster: one master reply datagram of `length` bytes (zero bytes
 *    included, not cut at the first one) written as at most `max` entries
 *    "a.b.c.d:port", and how many it wrote; -1 when the datagram is not this
 *    game's master reply. `*last` (when `last` is not null) is 1 when the
 *    datagram ends the list: a list may come in several datagrams, and a
 *    master that never marks its end leaves the host to stop waiting. A
 *    short tail, or a list without its end, is no error.
 *
 * Every text of decodedata and decodeplayers, server fields and player names
 * alike, comes as the game itself shows it to its players: the plug-in is the
 * one place that knows the game's colour codes and character set, and applies
 * them once. The host trusts that text and applies no game's rules again, so
 * a name the plug-in made readable ("^1on1 arena", from "^^1on1 arena" on a
 * DarkPlaces server) loses nothing more, and a plug-in that hands over plain
 * Latin-1 names sees them shown as they are.
 *
 * The host is the one place that makes these texts inert: everything a
 * plug-in returns is written into the window's markup with "<" and ">" shown
 * as "(" and ")", "&" doubled (a single "&" would underline the next
 * character) and control characters dropped, so no server text becomes a
 * tag, a link or a prefix. A plug-in hands its texts over plain, as a person
 * reads them; one that escaped them too would show every "&" twice.
 *
 * The reference plug-ins (plugins/quake.cpp ... openarena.cpp) share one
 * decoder (plugins/decode/): QuakeWorld ("n" + info), Quake II ("print\n" +
 * info) and Quake III / DarkPlaces ("statusResponse\n" + info) status
 * replies, the info text "\key\value..." ending at the first line end and
 * followed by one line per player; QuakeWorld's query is "status 23", which
 * lists spectators too (their names marked "\s\"). Every master list entry is
 * four address bytes and a big-endian port: QuakeWorld ("c\n" asked, "d\n"
 * and the entries answered, with or without FF FF FF FF), Quake II ("query\n",
 * FF FF FF FF "servers", one separator byte, the entries) and Quake III /
 * OpenArena / DarkPlaces ("getservers ...", FF FF FF FF "getserversResponse"
 * and "\" before each entry over one or more datagrams, "\EOT\0\0\0" at
 * the end of the last) are read by one decoder too. Build a plug-in with a
 * .def file such as plugins/velmora_plugin.def and link it statically, so
 * that it is one file.
 */
#ifndef VELMORA_PLUGIN_H
#define VELMORA_PLUGIN_H

#ifdef _WIN32
#include <windows.h>
#define VELMORA_CALL __stdcall
typedef HICON VelmoraIcon;
#else
#define VELMORA_CALL
typedef void* VelmoraIcon;
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ServerInfo {
    const char* name;       /* the server's name */
    const char* game;       /* what the server runs (game or version) */
    const char* mod;        /* game directory / modification */
    const char* map;
    const char* players;    /* three filler characters, then the player count */
    const char* maxplayers;
} ServerInfo;

/* One player; every text "" where the game gives none. */
typedef struct PlayerInfo {
    const char* name;   /* as the game shows it: no colour codes */
    const char* score;  /* frags or points */
    const char* ping;   /* milliseconds */
    const char* time;   /* minutes on the server (QuakeWorld) */
    const char* team;
    int spectator;      /* 1 for a spectator, else 0 */
} PlayerInfo;

/* One server of a master's list: "a.b.c.d:port", zero-terminated. */
typedef struct MasterEntry {
    char address[22];
} MasterEntry;

typedef const char*(VELMORA_CALL* getgamename_fn)(void);
typedef const char*(VELMORA_CALL* getgameid_fn)(void);
typedef const char*(VELMORA_CALL* getdefport_fn)(void);
typedef const char*(VELMORA_CALL* getsendstr_fn)(void);
typedef const char*(VELMORA_CALL* getparam_fn)(void);
typedef VelmoraIcon(VELMORA_CALL* getgameicon_fn)(const char* pluginfile);
typedef void(VELMORA_CALL* decodedata_fn)(ServerInfo* info, const char* reply);
typedef int(VELMORA_CALL* decodeplayers_fn)(PlayerInfo* players, int max, const char* reply);
typedef const char*(VELMORA_CALL* getmasters_fn)(void);
typedef const char*(VELMORA_CALL* getmastersendstr_fn)(void);
typedef int(VELMORA_CALL* decodemaster_fn)(MasterEntry* entries, int max, const char* reply, int length, int* last);

#ifdef __cplusplus
}
#endif

#endif
