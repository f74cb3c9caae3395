// A game's recent servers, most recent first, at most ten. Stored as the
// registry text "history": every entry followed by one ",".
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

constexpr size_t kHistoryLimit = 10;

// The stored value as a list: an empty value is an empty list; otherwise the
// value is split at ",", so a value edited by hand without its final comma
// loses the last character of its last entry.
std::vector<std::string> historylist(std::string_view value);

// Every entry followed by ",".
std::string historyvalue(const std::vector<std::string>& entries);

// Puts `entry` at the front: an equal entry (exact, case counts) moves there,
// a new one is inserted and pushes the eleventh out. An entry holding a ","
// is not stored: it would read back as several entries.
std::vector<std::string> puthistoryentry(std::vector<std::string> entries, const std::string& entry);

}  // namespace velmora
