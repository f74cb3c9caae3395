// Joining a game, free of the shell: what is started, from which folder, with
// which parameters, and the addresses that are refused.
#pragma once
#include <string>
#include <string_view>

namespace velmora::query {

extern const char kNoPathMessage[];

// The folder part of a path: up to and including its last "\" or ":";
// empty without either.
std::string startfolder(std::string_view path);

struct JoinPlan {
    enum class Kind { Start, NoPath, Refused } kind = Kind::Start;
    std::string file;        // the game's executable
    std::string parameters;  // param + host + ":" + port
    std::string folder;      // the start folder
    std::string message;     // for NoPath and Refused
};

// The join for a game with `path` and `param` and the window's address label
// ("host:port..."). The game's command line splits at "+", so an address that
// could smuggle console commands in is refused before anything starts.
JoinPlan planjoin(const std::string& path, const std::string& param, std::string_view addressLabel);

// The message for a start that failed: the path and the system's reason.
std::string startfailure(const std::string& path, int code, const std::string& reason);

}  // namespace velmora::query
