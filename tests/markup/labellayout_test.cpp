// The markup label's arithmetic: joined text, text box, auto-sizing, hover.
#include <gtest/gtest.h>

#include "markup/labellayout.h"

namespace velmora {
namespace {

TEST(MarkupLabelText, LinesAreJoinedWithNothingBetweenThem) {
    // Line breaks come only from markup: "x" and "y" are one word.
    EXPECT_EQ(joinMarkupLines({"x", "y"}), "xy");
    EXPECT_EQ(joinMarkupLines({"ends with a blank ", "next"}), "ends with a blank next");
    EXPECT_EQ(joinMarkupLines({}), "");
}

TEST(MarkupLabelBox, TheFrameIsLeftOutOfTheTextBox) {
    struct Case {
        LabelFrame frame;
        bool autoSizing;
        MarkupRect box;
        const char* why;
    } cases[] = {
        {{}, false, {0, 0, 100, 50}, "no frame: the client area"},
        {{BevelKind::Lowered, BevelKind::None, 2, 0, LabelBorder::None}, false, {4, 4, 96, 46},
         "a bevel and the gap after the bevels"},
        {{BevelKind::Raised, BevelKind::Space, 1, 3, LabelBorder::None}, false, {6, 6, 94, 44},
         "outer bevel, band, inner bevel, one gap"},
        {{BevelKind::None, BevelKind::None, 5, 2, LabelBorder::Single}, false, {4, 4, 96, 46},
         "the band and the single border; no bevel, no bevel gap"},
        {{}, true, {0, 0, 100 + 65535, 50 + 250}, "auto-sizing widens and lowers the box"},
    };
    for (const auto& c : cases) EXPECT_EQ(labelTextBox(100, 50, c.frame, c.autoSizing), c.box) << c.why;
}

TEST(MarkupLabelAutoSize, WidthFollowsTheTextHeightOnlyGrows) {
    struct Case {
        MarkupSize label;
        int textWidth, textHeight;
        MarkupSize expected;
        const char* why;
    } cases[] = {
        {{100, 20}, 50, 10, {56, 20}, "narrower text shrinks the width, the height stays"},
        {{100, 20}, 200, 30, {206, 36}, "wider and taller text grows both"},
        {{100, 20}, 94, 14, {100, 20}, "a stable size stays"},
    };
    for (const auto& c : cases) EXPECT_EQ(autoSizedLabel(c.label, c.textWidth, c.textHeight), c.expected) << c.why;
}

TEST(MarkupLabelAnchors, OnlyWebFtpAndMailAnchorsGoToTheShell) {
    const struct {
        const char* href;
        bool shell;
    } cases[] = {
        {"http://example.org/", true},
        {"HTTPS://example.org/", true},
        {"ftp://example.org/file", true},
        {"MailTo:someone@example.org", true},
        {"file:///C:/windows/system32/calc.exe", false},
        {"\\\\server\\share\\x.exe", false},
        {"res://shell32.dll/1", false},
        {"see http://example.org/", false},
        {"readme.txt", false},
        {"go", false},
        {"mailto", false},
        {"http:/example.org", false},
    };
    for (const auto& c : cases) EXPECT_EQ(opensInShell(c.href), c.shell) << c.href;
}

TEST(MarkupLabelHover, EnterFiresOncePerAnchorAndExitRestoresTheCursor) {
    AnchorHover hover;
    // Over "a" with the default cursor: enter.
    AnchorMove m = hover.move("a", true, false, false);
    EXPECT_TRUE(m.enter && m.toHand);
    // Moving within "a" with the hand cursor: nothing.
    m = hover.move("a", false, true, false);
    EXPECT_FALSE(m.enter || m.exit || m.toHand || m.toDefault);
    // On to "b": enter again with the new anchor.
    m = hover.move("b", false, true, true);
    EXPECT_TRUE(m.enter && m.cancelHint);
    EXPECT_EQ(hover.lastAnchor(), "b");
    // Off the anchors: default cursor and exit; the last anchor is kept.
    m = hover.move("", false, true, false);
    EXPECT_TRUE(m.exit && m.toDefault);
    EXPECT_EQ(hover.lastAnchor(), "b");
    // Further plain text with the default cursor: nothing.
    m = hover.move("", true, false, false);
    EXPECT_FALSE(m.exit || m.toDefault);
    // Back onto "b" with the default cursor: enter again.
    m = hover.move("b", true, false, false);
    EXPECT_TRUE(m.enter);
}

}  // namespace
}  // namespace velmora
