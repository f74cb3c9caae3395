// Joining a game through the shell: "go" of the query window.
#pragma once
#include <windows.h>

#include <string>

#include "query/queryhost.h"

namespace velmora {

// Starts game g on the address of a query window's label ("host:port..."),
// or sends the user to the settings window when the game has no path. The
// shell's own messages are owned by `owner`.
void joingame(QueryHost& host, HWND owner, int g, const std::string& addressLabel);

}  // namespace velmora
