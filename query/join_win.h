// Joining a game through the shell: "go" of the query window.
#pragma once
#include <string>

namespace velmora {

class Tmainform;

// Starts game g on the address of a query window's label ("host:port..."),
// or sends the user to the settings window when the game has no path.
void joingame(Tmainform& mainform, int g, const std::string& addressLabel);

}  // namespace velmora
