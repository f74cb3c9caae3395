// The program's shared unit: the text functions every subsystem uses on
// addresses and comma-terminated lists, and the game table's row type.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/address.h"  // gethost, getport: the shared unit's address functions

namespace velmora {

struct PluginCalls;  // core/plugincalls.h

// One game of the game table, filled from its plug-in at start-up.
struct tplugin {
    std::int32_t imageindex = 0;  // always the row's index + 1 (image 0 is the hand)
    std::string gamename;
    std::string defport;  // decimal text, as the plug-in gave it
    std::string sendstr;  // the status query's bytes
    std::string gameid;   // first three characters of the plug-in's id
    std::string pluginfile;
    std::string history;  // registry value "history": every entry followed by ","
    std::string path;     // the game's executable
    std::string param;    // put directly before host:port on the game's command line
    // The master servers "Find a game" asks, "host:port" separated by blanks:
    // the stored value "masters" when the game's key has one (empty: no
    // list), else the plug-in's defaults.
    std::string masters;
    std::string defaultmasters;  // what the plug-in's getmasters gave
    // The plug-in's decoders. The library stays loaded for as long as any
    // copy of this pointer lives: the row keeps it for the program's run, so
    // no reply loads a library. Null for a row made without a library.
    std::shared_ptr<const PluginCalls> calls;
};

// Splits at `sep`. A text that does not end with `sep` loses its last
// character: stored history values end with "," so their last entry stays
// whole, and callers that need a final piece whole append a separator first.
std::vector<std::string> splitstring(std::string_view text, char sep);

}  // namespace velmora
