// The combo box's item colours and the game list's item text.
#include <gtest/gtest.h>

#include "markup/markupcombo.h"

using namespace velmora;

// Anchors of the selected item must stay readable on the highlight: they take
// the highlight-text colour, not the link colour.
TEST(MarkupCombo, SelectedItemsAreHighlightTextOnHighlightAnchorsToo) {
    struct Case {
        bool selected;
        ComboItemColours expected;
    } cases[] = {
        {true, {0x8000000D, 0x8000000E, 0x8000000E}},
        {false, {0x80000005, 0x80000008, 0x123456}},
    };
    for (const Case& c : cases) {
        const ComboItemColours got = comboItemColours(c.selected, 0x123456);
        EXPECT_EQ(got.brush, c.expected.brush);
        EXPECT_EQ(got.font, c.expected.font);
        EXPECT_EQ(got.link, c.expected.link);
    }
}

// Game i shows image i + 1: image 0 of the game image list is the program's own.
TEST(MarkupCombo, GameListItemsShowImageIndexPlusOneThenABlankAndTheName) {
    EXPECT_EQ(gamelistitem(0, "Quake 1"), "<img src=\"idx:1\" align=\"top\"> Quake 1");
    EXPECT_EQ(gamelistitem(11, "QuakeWorld"), "<img src=\"idx:12\" align=\"top\"> QuakeWorld");
}
