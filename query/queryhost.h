// What a query window and the join need of the program around them: the game
// table, the tray's animation, and the settings window's "Game Paths" page.
// The main window provides it; the query folder knows nothing of that window.
#pragma once
#include "core/gametable.h"

namespace velmora {

class QueryHost {
public:
    virtual const GameTable& gametable() const = 0;
    // Each window switches it on once when its query starts and off once when
    // it closes; the icon blinks while any window is still on.
    virtual void settrayanimated(bool on) = 0;
    // The join of a game without a path: the settings on "Game Paths" with
    // game g selected.
    virtual void showgamepaths(int g) = 0;

protected:
    ~QueryHost() = default;
};

}  // namespace velmora
