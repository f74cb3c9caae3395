// Master server replies: the list of a game's servers that a master sends,
// every entry 4 address bytes and a big-endian port. Read through a bounded
// cursor: nothing is read past the datagram's length, and a short tail is
// data, not an error. Like the status core it allocates nothing and throws
// nothing, so the plug-ins link it as it is.
#pragma once
#include <cstddef>

namespace velmora::plugins {

// How a game's masters answer.
enum class MasterProtocol {
    // "c\n" asked; "d\n" and the entries, with or without the FF FF FF FF
    // prefix, in one datagram.
    QuakeWorld,
    // "query\n" asked; FF FF FF FF "servers", one separator byte, the
    // entries, in one datagram.
    Quake2,
    // "getservers ..." asked; FF FF FF FF "getserversResponse", then "\" and
    // six bytes per entry, over one or more datagrams; the last ends in
    // "\EOT\0\0\0".
    Quake3,
};

struct MasterAddress {
    unsigned char ip[4];
    unsigned short port;  // in host order
};

// One reply datagram of `length` bytes: writes at most `max` entries to
// `out` and returns how many, or -1 when the datagram is not a master reply
// of this protocol. `*last` is 1 when the datagram ends the list (the one
// datagram of QuakeWorld and Quake II, or a Quake III datagram with its end
// marker), else 0.
int decodeMasterReply(MasterProtocol protocol, const char* reply, int length, MasterAddress* out, int max,
                      int* last);

// "a.b.c.d:port" and its terminating zero in `text` (at least 22 bytes).
void formatMasterAddress(const MasterAddress& address, char* text);

}  // namespace velmora::plugins
