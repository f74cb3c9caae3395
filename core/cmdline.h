// The command line as one server link.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Splits a whole command line (program name first) into its arguments:
// blanks and control characters separate them, a double-quoted stretch keeps
// its blanks and loses its quotes, and pairs of empty quotes before an
// argument are skipped.
std::vector<std::string> splitcommandline(std::string_view commandLine);

// Every argument after the program name, each after one blank, then trimmed
// of leading and trailing blanks and control characters. Joining with single
// blanks puts back a link-file path with blanks that the shell passed
// unquoted.
std::string joinarguments(const std::vector<std::string>& arguments);

// "/find" (any case), alone or with a game id after a blank, opens "Find a
// game": the id, or "" for every game. Nothing for any other command line,
// which is a link.
std::optional<std::string> findcommand(std::string_view cmdline);

}  // namespace velmora
