// The platform-free part of the markup combo box: the colours an item is
// drawn in, and the text of a game-list item.
#pragma once
#include <string>

#include "markup/markup.h"

namespace velmora {

constexpr Colour kHighlightColour = 0x8000000D;
constexpr Colour kHighlightTextColour = 0x8000000E;
constexpr Colour kWindowColour = 0x80000005;
constexpr Colour kWindowTextColour = 0x80000008;

struct ComboItemColours {
    Colour brush;  // the fill, and the pen that outlines it
    Colour font;
    Colour link;
};
// A selected item is all highlight text on the highlight colour, its anchors
// too; any other item is window text on the window colour, anchors in `urlColor`.
ComboItemColours comboItemColours(bool selected, Colour urlColor);

// The game list's item for the game at table index `index`: the game's image
// (index + 1 in the game image list, whose image 0 is the program's own)
// aligned to the line's top, one blank, and the name.
std::string gamelistitem(int index, const std::string& gamename);

}  // namespace velmora
