#include "markup/markupcombo.h"

namespace velmora {

ComboItemColours comboItemColours(bool selected, Colour urlColor) {
    if (selected) return {kHighlightColour, kHighlightTextColour, kHighlightTextColour};
    return {kWindowColour, kWindowTextColour, urlColor};
}

std::string gamelistitem(int index, const std::string& gamename) {
    return "<img src=\"idx:" + std::to_string(index + 1) + "\" align=\"top\"> " + gamename;
}

}  // namespace velmora
