// The running executable: its full path, unquoted, as the file types, the
// web links, the start-up entry and the plug-in search take it.
#pragma once
#include <string>

namespace velmora {

// Taken whole however long (a path past MAX_PATH is not cut).
std::string exepath();
// The folder of exepath(), with its trailing backslash.
std::string exefolder();

}  // namespace velmora
