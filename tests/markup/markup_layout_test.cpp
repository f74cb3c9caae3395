// Layout, drawing and hit testing of DrawMarkup on the fixed-metric surface:
// glyphs are 10 px (12 px bold), the 10-point cell is 20 px high.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "markup/markup.h"
#include "tests/markup/fake_surface.h"

namespace velmora {
namespace {

using test::DrawnRun;
using test::FakeImageList;
using test::FakeSurface;

constexpr Colour kLink = 0x00FF0000;
constexpr Colour kEntryColour = 0x00112233;
constexpr MarkupRect kWide{0, 0, 1000, 1000};

struct Drawn {
    MarkupResult result;
    FakeSurface surface;
};

Drawn draw(std::string_view text, MarkupRect box = kWide, const MarkupImageList* list = nullptr,
           FakeSurface surface = {}) {
    Drawn d{{}, std::move(surface)};
    d.result = DrawMarkup(d.surface, text, box, list, MarkupMode::Draw, {}, kLink);
    return d;
}

MarkupResult hitAt(std::string_view text, MarkupPoint p, MarkupRect box = kWide, const MarkupImageList* list = nullptr) {
    FakeSurface surface;
    return DrawMarkup(surface, text, box, list, MarkupMode::HitTest, p, kLink);
}

// (text, cell left, cell top, cell bottom) of every run drawn.
struct Placed {
    std::string text;
    int left, top, bottom;
    bool operator==(const Placed&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Placed& p) {
    return os << "{\"" << p.text << "\", " << p.left << ", " << p.top << ", " << p.bottom << "}";
}
std::vector<Placed> placed(const Drawn& d) {
    std::vector<Placed> out;
    for (const DrawnRun& r : d.surface.runs) out.push_back({r.text, r.cell.left, r.cell.top, r.cell.bottom});
    return out;
}
const DrawnRun& runNamed(const Drawn& d, const std::string& text) {
    for (const DrawnRun& r : d.surface.runs)
        if (r.text == text) return r;
    ADD_FAILURE() << "no run " << text;
    static DrawnRun none;
    return none;
}

using ::testing::ElementsAre;

// --- runs and lines ---

TEST(MarkupLayout, EveryBlankIsARunAndTakesItsWidth) {
    // "ab", two blanks, "cd": three runs; the second blank is measured and drawn.
    const Drawn d = draw("ab  cd");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab ", 0, 0, 20}, Placed{" ", 30, 0, 20}, Placed{"cd", 40, 0, 20}));
    EXPECT_EQ(d.result.width, 60);
    EXPECT_EQ(d.result.height, 20);
}

TEST(MarkupLayout, EmptyTextDrawsNothingAndReportsTheCellHeight) {
    const Drawn d = draw("");
    EXPECT_TRUE(d.surface.runs.empty());
    EXPECT_EQ(d.result.width, 0);
    EXPECT_EQ(d.result.height, 20);
}

TEST(MarkupLayout, OnlyTheExactBrFormEndsTheLine) {
    struct Case {
        const char* text;
        int bTop;
        int bLeft;
        int height;
        const char* why;
    } cases[] = {
        {"a<br>b", 20, 0, 40, "lower case BR"},
        {"a<BR>b", 20, 0, 40, "upper case BR"},
        {"a<Br>b", 20, 0, 40, "mixed case BR"},
        {"a<br >b", 0, 10, 20, "a blank before > makes it a B tag without effect"},
        {"a<br/>b", 0, 10, 20, "a slash before > makes it a B tag without effect"},
    };
    for (const auto& c : cases) {
        const Drawn d = draw(c.text);
        ASSERT_EQ(d.surface.runs.size(), 2u) << c.why;
        EXPECT_EQ(d.surface.runs[1].cell.top, c.bTop) << c.why;
        EXPECT_EQ(d.surface.runs[1].cell.left, c.bLeft) << c.why;
        EXPECT_FALSE(d.surface.runs[1].font.bold) << c.why;
        EXPECT_EQ(d.result.height, c.height) << c.why;
    }
}

TEST(MarkupLayout, TwoBrMakeAnEmptyLineOfCellHeight) {
    const Drawn d = draw("a<br><br>b");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a", 0, 0, 20}, Placed{"b", 0, 40, 60}));
    EXPECT_EQ(d.result.height, 60);
}

TEST(MarkupLayout, BoldInsideAWordIsMeasuredBoldAndMayBreak) {
    // The bold middle is its own run, 2 x 12 px wide.
    Drawn d = draw("ab<b>cd</b>ef");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", 0, 0, 20}, Placed{"cd", 20, 0, 20}, Placed{"ef", 44, 0, 20}));
    EXPECT_TRUE(d.surface.runs[1].font.bold);
    EXPECT_FALSE(d.surface.runs[2].font.bold);
    EXPECT_EQ(d.result.width, 64);
    // In a 50 px box the line breaks between the parts although no blank separates them.
    d = draw("ab<b>cd</b>ef", {0, 0, 50, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", 0, 0, 20}, Placed{"cd", 20, 0, 20}, Placed{"ef", 0, 20, 40}));
}

TEST(MarkupLayout, ResultsLinesGiveTwoLinesWithBoldQuestionMarks) {
    // (the "??" and "<" are kept apart: "??<" would be a trigraph)
    const Drawn d = draw("name: <B>??" "?</b><br>game: <B>??" "?</b><br>");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"name: ", 0, 0, 20}, Placed{"???", 60, 0, 20},
                                       Placed{"game: ", 0, 20, 40}, Placed{"???", 60, 20, 40}));
    EXPECT_TRUE(d.surface.runs[1].font.bold);
    EXPECT_TRUE(d.surface.runs[3].font.bold);
    EXPECT_EQ(d.result.width, 60 + 36);  // "???" measured bold
    EXPECT_EQ(d.result.height, 40);
}

// --- fit tests ---

TEST(MarkupFit, ARunMustEndStrictlyInsideTheBox) {
    // "ab" + "c" = 30 px: in a 30 px box the "c" moves on, in 31 px it stays.
    Drawn d = draw("ab<b></b>c", {0, 0, 30, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", 0, 0, 20}, Placed{"c", 0, 20, 40}));
    d = draw("ab<b></b>c", {0, 0, 31, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", 0, 0, 20}, Placed{"c", 20, 0, 20}));
    // The trailing blank counts: "ab " + "c" in 40 px: "ab " ends at 30, "c" at 40 = edge.
    d = draw("ab c", {0, 0, 40, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab ", 0, 0, 20}, Placed{"c", 0, 20, 40}));
}

TEST(MarkupFit, ARunAsWideAsTheBoxStaysWhereverItFalls) {
    Drawn d = draw("abcdefgh", {0, 0, 50, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"abcdefgh", 0, 0, 20}));
    EXPECT_EQ(d.result.width, 80);
    d = draw("a abcde", {0, 0, 50, 1000});  // 50 px run after another: stays on the first line
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a ", 0, 0, 20}, Placed{"abcde", 20, 0, 20}));
}

TEST(MarkupFit, AnImageExactlyReachingTheEdgeStaysOneBeyondMovesOn) {
    const FakeImageList list(2, 16, 16);
    Drawn d = draw("ab<img src=\"idx:1\">", {0, 0, 36, 1000}, &list);
    ASSERT_EQ(d.surface.images.size(), 1u);
    EXPECT_EQ(d.surface.images[0].x, 20);
    EXPECT_EQ(d.surface.images[0].y, 0);
    EXPECT_EQ(d.surface.images[0].index, 1);
    EXPECT_EQ(d.result.width, 36);
    d = draw("ab<img src=\"idx:1\">", {0, 0, 35, 1000}, &list);
    ASSERT_EQ(d.surface.images.size(), 1u);
    EXPECT_EQ(d.surface.images[0].x, 0);
    EXPECT_EQ(d.surface.images[0].y, 20);
    EXPECT_EQ(d.result.height, 20 + 20);
}

TEST(MarkupFit, AnImageWiderThanTheBoxStaysAndRightAlignmentStartsLeftOfTheBox) {
    const FakeImageList list(1, 64, 16);
    const Drawn d = draw("<p align=\"right\"><img src=\"idx:0\">", {10, 0, 50, 1000}, &list);
    ASSERT_EQ(d.surface.images.size(), 1u);
    EXPECT_EQ(d.surface.images[0].x, 50 - 64);
}

TEST(MarkupFit, ARunThatMovesOnHasAlreadyRaisedTheLineHeight) {
    // The big "cd" does not fit on the first line, but that line is already 40 px high.
    Drawn d = draw("ab<font size=\"20\">cd", {0, 0, 30, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", 0, 0, 40}, Placed{"cd", 0, 40, 80}));
    EXPECT_EQ(d.result.height, 80);
    // Inside SUB the moving run also raised the first line's subscript offset (20 / 4);
    // subscript is off again at the start of the next line.
    d = draw("ab<sub>cd", {0, 0, 30, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", 0, 0, 20}, Placed{"cd", 0, 25, 45}));
    EXPECT_EQ(d.result.height, 45);
}

// --- height limit ---

TEST(MarkupHeightLimit, TenLinesInABoxThreeLinesHighDrawThree) {
    const std::string ten = "1<br>2<br>3<br>4<br>5<br>6<br>7<br>8<br>9<br>10";
    for (int bottom : {60, 65, 79}) {
        const Drawn d = draw(ten, {0, 0, 100, bottom});
        EXPECT_THAT(placed(d), ElementsAre(Placed{"1", 0, 0, 20}, Placed{"2", 0, 20, 40}, Placed{"3", 0, 40, 60}))
            << "box bottom " << bottom;
        EXPECT_EQ(d.result.height, 60) << "box bottom " << bottom;
    }
    const Drawn four = draw(ten, {0, 0, 100, 80});
    EXPECT_EQ(four.surface.runs.size(), 4u);
    EXPECT_EQ(four.result.height, 80);
}

TEST(MarkupHeightLimit, TheFirstLineIsAlwaysLaidOut) {
    const Drawn d = draw("a<br>b", {0, 0, 100, 5});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a", 0, 0, 20}));
    EXPECT_EQ(d.result.height, 20);
}

TEST(MarkupHeightLimit, TheTextBelowTheCutIsNotEvenMeasured) {
    // A bad size further down would raise an error if it were read.
    EXPECT_NO_THROW(draw("a<br>b<br>c<font size=\"x\">", {0, 0, 100, 20}));
    EXPECT_THROW(draw("a<br>b<br>c<font size=\"x\">", {0, 0, 100, 60}), Error);
}

// --- tags ---

TEST(MarkupTags, StyleTagsSetAndClearTheirFlags) {
    struct Case {
        const char* text;  // the run "x" is drawn last
        bool bold, italic, underline, strikeout;
        const char* why;
    } cases[] = {
        {"<b>x", true, false, false, false, "B adds bold"},
        {"<i>x", false, true, false, false, "I adds italic"},
        {"<u>x", false, false, true, false, "U adds underline"},
        {"<s>x", false, false, false, true, "S adds strikeout"},
        {"<b><i><u><s></b></i></u></s>x", false, false, false, false, "closing tags clear their flags"},
        {"<u><a href=\"h\"></a>x", false, false, false, false, "closing A clears underline set by U"},
        {"<a href=\"h\"></u>x", false, false, false, false, "closing U clears the anchor's underline"},
        {"<s><sub></sub>x", false, false, false, true, "a closing SUB leaves strikeout alone"},
        {"<s></su>x", false, false, false, true, "any closing SU tag is the sub/sup one"},
        {"<bx>x", false, false, false, false, "B followed by other letters has no effect"},
        {"<ix>x", false, false, false, false, "I followed by other letters has no effect"},
        {"<q><z></q>x", false, false, false, false, "unknown letters are skipped"},
        {"<B>x", true, false, false, false, "forms are compared without regard to case"},
        {"<underline>x", false, false, true, false, "U is any tag starting with U"},
    };
    for (const auto& c : cases) {
        const Drawn d = draw(c.text);
        ASSERT_FALSE(d.surface.runs.empty()) << c.why;
        const MarkupFont& f = d.surface.runs.back().font;
        EXPECT_EQ(d.surface.runs.back().text, "x") << c.why;
        EXPECT_EQ(f.bold, c.bold) << c.why;
        EXPECT_EQ(f.italic, c.italic) << c.why;
        EXPECT_EQ(f.underline, c.underline) << c.why;
        EXPECT_EQ(f.strikeout, c.strikeout) << c.why;
    }
}

TEST(MarkupTags, ALessThanWithoutGreaterThanDropsTheRest) {
    // "a", blank, "<", blank, "b": only "a " is drawn.
    Drawn d = draw("a < b");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a ", 0, 0, 20}));
    EXPECT_EQ(d.result.width, 10);
    // Earlier lines are drawn normally.
    d = draw("x<br>a <b and more");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"x", 0, 0, 20}, Placed{"a ", 0, 20, 40}));
    // A "<" that closes much later swallows everything up to its ">".
    d = draw("a <i c> d");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a ", 0, 0, 20}, Placed{" ", 20, 0, 20}, Placed{"d", 30, 0, 20}));
    // Text ending in "<" or "</".
    EXPECT_EQ(draw("a<").surface.runs.size(), 1u);
    EXPECT_EQ(draw("a</").surface.runs.size(), 1u);
}

TEST(MarkupTags, ClosingPEndsTheLineAndKeepsTheAlignment) {
    const Drawn d = draw("<p align=\"right\">ab</p>cd", {0, 0, 100, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", 80, 0, 20}, Placed{"cd", 80, 20, 40}));
}

TEST(MarkupTags, LaterAlignmentWordsWinAndPDoesNotEndTheLine) {
    // One line "ab" + "cd", 40 px wide, in a 100 px box; `left` is where "ab" starts.
    struct Case {
        const char* tag;
        int left;
    } cases[] = {
        {"<p align=\"right\">", 60}, {"<p align=\"center\">", 30}, {"<p align=\"left\">", 0},
        {"<p right left>", 0},       {"<p left center>", 30},     {"<p>", 0},
        {"<p align=\"RIGHT\">", 0},  // the words are compared as written
    };
    for (const auto& c : cases) {
        const Drawn d = draw(std::string("ab") + c.tag + "cd", {0, 0, 100, 1000});
        EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", c.left, 0, 20}, Placed{"cd", c.left + 20, 0, 20})) << c.tag;
    }
}

TEST(MarkupTags, IndentMovesThePositionForwardOnly) {
    Drawn d = draw("a<ind x=\"50\">b");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a", 0, 0, 20}, Placed{"b", 50, 0, 20}));
    d = draw("abcdef<ind x=\"30\">g");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"abcdef", 0, 0, 20}, Placed{"g", 60, 0, 20}));
    d = draw("a<ind x=\"fifty\">b");  // not an integer: ignored, no error
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a", 0, 0, 20}, Placed{"b", 10, 0, 20}));
    d = draw("a<ind x=\"2147483647\">b<ind x=\"2147483647\">c");  // huge indents neither overflow nor wrap
    EXPECT_EQ(d.surface.runs.size(), 3u);
}

TEST(MarkupTags, RuleEndsTheLineAndDrawsBlackOnePixelBelowTheTextBottom) {
    FakeSurface s;
    s.pen_ = 0x00ABCDEF;
    const Drawn d = draw("ab<hr>cd", {5, 0, 100, 1000}, nullptr, s);
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", 5, 0, 20}, Placed{"cd", 5, 20, 40}));
    ASSERT_EQ(d.surface.lines.size(), 1u);
    const auto& l = d.surface.lines[0];
    EXPECT_EQ(l.x1, 5);
    EXPECT_EQ(l.x2, 100);
    EXPECT_EQ(l.y1, 21);
    EXPECT_EQ(l.y2, 21);
    EXPECT_EQ(l.pen, 0x00000000u);
    EXPECT_EQ(d.surface.pen_, 0x00ABCDEFu);  // the pen colour is restored
}

// --- fonts and colours ---

TEST(MarkupFonts, NestedFontRestoresOneLevelOnly) {
    const Drawn d = draw("<font color=\"clred\">r<font color=\"clblue\">b</font>x</font>y");
    EXPECT_EQ(runNamed(d, "r").font.colour, 0x000000FFu);
    EXPECT_EQ(runNamed(d, "b").font.colour, 0x00FF0000u);
    EXPECT_EQ(runNamed(d, "x").font.colour, 0x000000FFu);  // back to red
    EXPECT_EQ(runNamed(d, "y").font.colour, 0x000000FFu);  // and red again: the register still holds red
}

TEST(MarkupFonts, ClosingFontRestoresFaceSizeAndColourTogether) {
    // A red colour, a nested size, one closing tag: the entry colour at the entry size.
    const Drawn d = draw("<font color=\"clred\">a<font size=\"5\">b</font>c");
    EXPECT_EQ(runNamed(d, "a").font.colour, 0x000000FFu);
    EXPECT_EQ(runNamed(d, "b").font.colour, 0x000000FFu);
    EXPECT_EQ(runNamed(d, "b").font.size, 5);
    EXPECT_EQ(runNamed(d, "c").font.colour, kEntryColour);
    EXPECT_EQ(runNamed(d, "c").font.size, 10);
}

TEST(MarkupFonts, FaceAndSizeAreTakenAsWritten) {
    const Drawn d = draw("<font face=\"Arial\" size=\"7\">a</font>b");
    EXPECT_EQ(runNamed(d, "a").font.face, "Arial");
    EXPECT_EQ(runNamed(d, "a").font.size, 7);  // points, no HTML size scale
    EXPECT_EQ(runNamed(d, "a").cell.bottom, 20);  // the line's cell is the entry font's "gh"
    EXPECT_EQ(runNamed(d, "b").font.face, "Verdana");
    EXPECT_EQ(runNamed(d, "b").font.size, 10);
}

TEST(MarkupFonts, ColourValuesByNameAndHash) {
    struct Case {
        const char* value;
        Colour colour;
    } cases[] = {
        {"#00FF00", 0x0000FF00}, {"clLime", 0x0000FF00}, {"cllime", 0x0000FF00},
        {"green", kEntryColour}, {"#12", kEntryColour},  {"clnosuch", 0x00000000},
    };
    for (const auto& c : cases) {
        const Drawn d = draw(std::string("<font color=\"") + c.value + "\">x");
        EXPECT_EQ(runNamed(d, "x").font.colour, c.colour) << c.value;
    }
}

TEST(MarkupFonts, AnUnchangedColourIsStillSavedForTheClosingTag) {
    // "green" leaves the colour, but the colour before it (red) is saved and restored.
    const Drawn d = draw("<font color=\"clred\">a<font color=\"green\">b</font><font color=\"clblue\"></font>c");
    EXPECT_EQ(runNamed(d, "b").font.colour, 0x000000FFu);
    EXPECT_EQ(runNamed(d, "c").font.colour, 0x000000FFu);
}

TEST(MarkupFonts, ANonNumericSizeAbandonsTheCallWithTheConversionError) {
    try {
        draw("a<font size=\"big\">b");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'big' is not a valid integer value");
    }
}

TEST(MarkupFonts, TheSurfaceEndsWithTheEntryStyleAndTheRegister) {
    // Unclosed tags: style back to the entry style, face/size/colour from the register.
    Drawn d = draw("<b><font face=\"Arial\" size=\"12\" color=\"clred\">x");
    EXPECT_EQ(d.surface.font_.face, "Verdana");
    EXPECT_EQ(d.surface.font_.size, 10);
    EXPECT_EQ(d.surface.font_.colour, kEntryColour);
    EXPECT_FALSE(d.surface.font_.bold);
    d = draw("<font color=\"clred\">a<font color=\"clblue\">b");
    EXPECT_EQ(d.surface.font_.colour, 0x000000FFu);  // the register holds red
}

// --- background ---

TEST(MarkupBackground, RunsAreTransparentUntilTheBackgroundChanges) {
    FakeSurface s;
    s.filling_ = true;  // left over from an earlier call
    const Drawn d = draw("a<font bgcolor=\"clyellow\">b</font>c", kWide, nullptr, s);
    EXPECT_FALSE(runNamed(d, "a").filled);
    EXPECT_TRUE(runNamed(d, "b").filled);
    EXPECT_EQ(runNamed(d, "b").background, 0x0000FFFFu);
    EXPECT_TRUE(runNamed(d, "c").filled);  // fill stays on for the rest of the call
    EXPECT_EQ(runNamed(d, "c").background, 0x00C0C0C0u);  // the saved background is back
}

TEST(MarkupBackground, BodyFillsTheWholeBoxAndRestoresThePen) {
    const MarkupRect box{3, 4, 50, 60};
    const Drawn d = draw("<body bgcolor=\"#FF0000\">a", box);
    ASSERT_EQ(d.surface.rectangles.size(), 1u);
    EXPECT_EQ(d.surface.rectangles[0].rect, box);
    EXPECT_EQ(d.surface.rectangles[0].pen, 0x000000FFu);
    EXPECT_EQ(d.surface.rectangles[0].brush, 0x000000FFu);
    EXPECT_EQ(d.surface.pen_, 0x00000001u);
    EXPECT_TRUE(runNamed(d, "a").filled);
    EXPECT_TRUE(draw("<body>a", box).surface.rectangles.empty());  // no bgcolor, no fill
}

TEST(MarkupBackground, HitTestingPaintsNothing) {
    FakeSurface s;
    DrawMarkup(s, "<body bgcolor=\"clred\">a<hr><img src=\"ssys:1\">", kWide, nullptr, MarkupMode::HitTest, {1, 1},
               kLink);
    EXPECT_TRUE(s.runs.empty());
    EXPECT_TRUE(s.rectangles.empty());
    EXPECT_TRUE(s.lines.empty());
    EXPECT_TRUE(s.images.empty());
}

// --- anchors ---

TEST(MarkupAnchors, AnchorTextIsUnderlinedInTheLinkColourAndThenTheSavedColour) {
    const Drawn d = draw("<a href=\"go\">Join Game</a> x");
    EXPECT_TRUE(runNamed(d, "Join ").font.underline);
    EXPECT_EQ(runNamed(d, "Join ").font.colour, kLink);
    EXPECT_EQ(runNamed(d, "Game").font.colour, kLink);
    EXPECT_FALSE(runNamed(d, "x").font.underline);
    EXPECT_EQ(runNamed(d, "x").font.colour, kEntryColour);
    // Inside a red FONT the text after the anchor is in the entry colour, not red.
    const Drawn red = draw("<font size=\"10\"><font color=\"clred\">a<a href=\"h\">l</a>t</font>");
    EXPECT_EQ(runNamed(red, "t").font.colour, kEntryColour);
}

TEST(MarkupAnchors, AnAnchorContinuesAcrossLines) {
    // "Join " fits a 60 px box, "Game" moves to the second line and is still the anchor.
    const std::string text = "<a href=\"go\">Join Game</a>";
    const Drawn d = draw(text, {0, 0, 60, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"Join ", 0, 0, 20}, Placed{"Game", 0, 20, 40}));
    EXPECT_TRUE(d.surface.runs[1].font.underline);
    EXPECT_EQ(d.surface.runs[1].font.colour, kLink);
    const MarkupResult r = hitAt(text, {20, 30}, {0, 0, 60, 1000});
    EXPECT_TRUE(r.hit);
    EXPECT_EQ(r.anchor, "go");
}

TEST(MarkupAnchors, HitEdgesAreStrict) {
    // "Done" covers x 0..40 and y 0..20.
    struct Case {
        int x, y;
        bool hit;
    } cases[] = {
        {0, 10, false},  {40, 10, false}, {1, 10, true},  {39, 10, true},
        {20, 0, false},  {20, 20, false}, {20, 1, true},  {20, 19, true},
    };
    for (const auto& c : cases) {
        const MarkupResult r = hitAt("<a href=\"done\">Done</a>", {c.x, c.y});
        EXPECT_EQ(r.hit, c.hit) << c.x << "," << c.y;
        if (c.hit) {
            EXPECT_EQ(r.anchor, "done");
        }
    }
}

TEST(MarkupAnchors, RightAlignedDoneIsHitOnItsLettersOnly) {
    const std::string text = "<p align=\"right\"><a href=\"done\">Done</a>";
    const MarkupRect box{0, 0, 60, 18};
    const Drawn d = draw(text, box);
    EXPECT_THAT(placed(d), ElementsAre(Placed{"Done", 20, 0, 20}));
    EXPECT_TRUE(hitAt(text, {30, 10}, box).hit);
    EXPECT_EQ(hitAt(text, {30, 10}, box).anchor, "done");
    EXPECT_FALSE(hitAt(text, {10, 10}, box).hit);
    EXPECT_FALSE(hitAt("plain <a href=\"x\"></a>text", {30, 10}).hit);  // only anchor runs hit
}

TEST(MarkupAnchors, AnAnchorWithoutHrefTakesTheFirstQuotedValueAfterItsName) {
    const MarkupResult r = hitAt("<a name=\"go\">x</a>", {5, 5});
    EXPECT_TRUE(r.hit);
    EXPECT_EQ(r.anchor, "go");
}

TEST(MarkupAnchors, AnImageInsideAnAnchorIsHit) {
    const FakeImageList list(1, 16, 30);
    const std::string text = "ab<a href=\"pic\"><img src=\"idx:0\"></a>";
    EXPECT_TRUE(hitAt(text, {25, 25}, kWide, &list).hit);
    EXPECT_EQ(hitAt(text, {25, 25}, kWide, &list).anchor, "pic");
    EXPECT_FALSE(hitAt(text, {36, 25}, kWide, &list).hit);  // its right edge
    EXPECT_FALSE(hitAt(text, {10, 5}, kWide, &list).hit);   // the plain text
}

// --- alignment ---

TEST(MarkupAlignment, OneTrailingBlankIsLeftOut) {
    // "ab " in 100 px: the line is 20 px wide, so "ab" ends at the edge.
    Drawn d = draw("<p align=\"right\">ab ", {0, 0, 100, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab ", 80, 0, 20}));
    EXPECT_EQ(d.result.width, 20);
    // Three blanks: only one is left out, so the text stands two blanks from the edge.
    d = draw("<p align=\"right\">ab   ", {0, 0, 100, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab ", 60, 0, 20}, Placed{" ", 90, 0, 20}, Placed{" ", 100, 0, 20}));
}

TEST(MarkupAlignment, CentreRoundsDownAndAlignmentPersistsAcrossLines) {
    const Drawn d = draw("<p align=\"center\">ab<br>abc", {0, 0, 101, 1000});
    EXPECT_THAT(placed(d), ElementsAre(Placed{"ab", 40, 0, 20}, Placed{"abc", 35, 20, 40}));
}

// --- sub, sup and images in the line ---

TEST(MarkupOffsets, SubscriptLowersAndMakesTheLineTaller) {
    const Drawn d = draw("a<sub>b</sub>c<br>d");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a", 0, 0, 20}, Placed{"b", 10, 0, 25}, Placed{"c", 20, 0, 20},
                                       Placed{"d", 0, 25, 45}));
    EXPECT_EQ(d.result.height, 45);
}

TEST(MarkupOffsets, SuperscriptRaisesAndOrdinaryRunsStandLower) {
    const Drawn d = draw("a<sup>b</sup>c<br>d");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a", 0, 0, 25}, Placed{"b", 10, 0, 20}, Placed{"c", 20, 0, 25},
                                       Placed{"d", 0, 25, 45}));
    EXPECT_EQ(d.result.height, 45);
}

TEST(MarkupOffsets, SubAndSupEndWithTheLine) {
    const Drawn d = draw("<sub>a<br>b");
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a", 0, 0, 25}, Placed{"b", 0, 25, 45}));
}

TEST(MarkupOffsets, ImageAlignMovesTheTextUpTheImage) {
    // A 32 px image on a 20 px line: runs stand on its bottom, "top" lifts them 12 px, "middle" 6.
    const FakeImageList list(1, 16, 32);
    struct Case {
        const char* align;
        int bottom;
    } cases[] = {{"", 32}, {" align=\"top\"", 20}, {" align=\"middle\"", 26}, {" align=\"bottom\"", 32}};
    for (const auto& c : cases) {
        const Drawn d = draw(std::string("<img src=\"idx:0\"") + c.align + "> ab", kWide, &list);
        EXPECT_THAT(placed(d), ElementsAre(Placed{" ", 16, 0, c.bottom}, Placed{"ab", 26, 0, c.bottom})) << c.align;
        EXPECT_EQ(d.result.height, 32);
    }
    // The measuring pass fixes the offset for the runs in front of the image too.
    const Drawn before = draw("ab<img src=\"idx:0\" align=\"top\">", kWide, &list);
    EXPECT_THAT(placed(before), ElementsAre(Placed{"ab", 0, 0, 20}));
}

// --- image sources ---

TEST(MarkupImages, SourcesGiveTheirSizesAndDrawAtTheLineTop) {
    FakeSurface s;
    s.iconIndexes["C:\\games"] = 4;
    s.bitmaps["C:\\pic.bmp"] = {40, 24};
    const FakeImageList list(3, 16, 16);
    struct Case {
        const char* src;
        int width;
        const char* kind;  // nullptr: nothing drawn
        int index;
    } cases[] = {
        {"idx:2", 16, "list", 2},
        {"IDX:2", 16, "list", 2},
        {"idx:3", 0, nullptr, 0},   // at the image count
        {"idx:-1", 0, nullptr, 0},  // before the list
        {"ssys:7", 16, "small", 7},
        {"lsys:7", 32, "large", 7},
        {"lsys:C:\\games", 32, "large", 4},
        {"ssys:readme.txt", 16, "small", 99},
        {"file://C:\\pic.bmp", 40, "bitmap", 0},
        {"file://C:\\missing.bmp", 0, nullptr, 0},
        {"res://logo", 0, nullptr, 0},
        {"other", 0, nullptr, 0},
    };
    for (const auto& c : cases) {
        const Drawn d = draw(std::string("a<br>b<img src=\"") + c.src + "\">c", kWide, &list, s);
        EXPECT_EQ(runNamed(d, "c").cell.left, 10 + c.width) << c.src;
        if (!c.kind) {
            EXPECT_TRUE(d.surface.images.empty()) << c.src;
            continue;
        }
        ASSERT_EQ(d.surface.images.size(), 1u) << c.src;
        EXPECT_EQ(d.surface.images[0].kind, c.kind) << c.src;
        EXPECT_EQ(d.surface.images[0].index, c.index) << c.src;
        EXPECT_EQ(d.surface.images[0].x, 10) << c.src;
        EXPECT_EQ(d.surface.images[0].y, 20) << c.src;
    }
}

TEST(MarkupImages, IdxNumbersAreConvertedOnlyWithAnImageList) {
    const FakeImageList list(3, 16, 16);
    try {
        draw("<img src=\"idx:one\">", kWide, &list);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'one' is not a valid integer value");
    }
    const Drawn d = draw("<img src=\"idx:one\">x");  // no list: a 0 x 0 image, no error
    EXPECT_EQ(runNamed(d, "x").cell.left, 0);
}

TEST(MarkupImages, AFileThatIsNoBitmapAbandonsTheCall) {
    FakeSurface s;
    s.badBitmaps.insert("C:\\text.txt");
    EXPECT_THROW(draw("<img src=\"file://C:\\text.txt\">", kWide, nullptr, s), Error);
}

TEST(MarkupImages, ImagesRaiseTheLineHeight) {
    const FakeImageList list(1, 16, 40);
    const Drawn d = draw("a<img src=\"idx:0\"><br>b", kWide, &list);
    EXPECT_THAT(placed(d), ElementsAre(Placed{"a", 0, 0, 40}, Placed{"b", 0, 40, 60}));
}

}  // namespace
}  // namespace velmora
