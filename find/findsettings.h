// What the "Find a game" window remembers between openings: its place and
// size, its column widths and its filters, as plain values, and their
// stored form, one text per value name (the registry keeps them as strings).
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "find/serverlist.h"

namespace velmora::find {

// Under the settings root key. Game keys are named by three-character ids,
// so a four-letter name meets none of them.
inline constexpr char kFindKey[] = "find";

struct FindSettings {
    // 0 width or height: never placed, the system picks.
    int left = 0, top = 0, width = 0, height = 0;
    // Together narrower than the list's first width less its scroll bar,
    // so no column starts out of sight.
    int columns[kColumns] = {210, 90, 80, 60, 60, 120};
    // The game filter is kept by the game's id: the table's order changes
    // when plug-ins come and go.
    std::string gameid;  // "" every game
    bool hideempty = false;
    bool hidefull = false;
    int maxping = 0;  // one of kPingChoices
    std::string text;
    bool operator==(const FindSettings&) const = default;
};

using StoredValues = std::vector<std::pair<std::string, std::string>>;
// Every value, by name: "place" ("left,top,width,height"), "columns" (six
// widths joined by ","), "game", "hideempty" and "hidefull" ("0"/"1"),
// "maxping" ("50", "100", "150", "250" or "0" for any), "filter".
StoredValues storedvalues(const FindSettings& settings);
// The settings from stored values (`value` gives a name's text, or nothing
// when it is missing). A missing or unreadable value keeps its default, so
// an edited registry cannot make the window vanish or its columns collapse.
FindSettings readsettings(const std::function<std::optional<std::string>(const std::string& name)>& value);

}  // namespace velmora::find
