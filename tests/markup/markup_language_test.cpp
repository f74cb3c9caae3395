// The markup language's pieces: runs, attributes and colour values.
#include <gtest/gtest.h>

#include <string>

#include "markup/markup.h"

namespace velmora {
namespace {

struct RunCase {
    const char* text;
    const char* run;
    const char* why;
};

TEST(MarkupRuns, RunIsAWordWithOneBlankASingleBlankOrTheTextBeforeATag) {
    const RunCase cases[] = {
        {"word  next", "word ", "a word takes exactly one following blank"},
        {" next", " ", "a second blank is a run of its own"},
        {"next", "next", "text without blank or tag is one run"},
        {"ab<b>cd", "ab", "a tag ends the run even inside a word"},
        {"<b>x", "", "text starting with a tag has an empty run"},
        {"a<b c", "a", "a \"<\" before the first blank wins"},
        {"abc de<f>", "abc ", "a blank before the \"<\" wins"},
        {"", "", "nothing in, nothing out"},
        {"tail<", "tail", "a lone \"<\" at the end still ends the run"},
    };
    for (const auto& c : cases) EXPECT_EQ(nextRun(c.text), c.run) << c.why;
}

struct AttrCase {
    const char* tagText;
    const char* name;
    const char* value;
    bool found;
    const char* why;
};

TEST(MarkupAttributes, FirstOccurrenceAndTheTextBetweenTheFirstTwoQuotes) {
    const AttrCase cases[] = {
        {" href=\"go\"", "href", "go", true, "plain attribute"},
        {" HREF=\"go\"", "href", "go", true, "names are found without regard to case"},
        {" x=\"1\" x=\"2\"", "x", "1", true, "the first occurrence counts"},
        {" href=go", "href", "", true, "a value without quotes is empty"},
        {" href=\"unterminated", "href", "", true, "one quote is no value"},
        {"t bgcolor=\"clred\" color=\"clblue\"", " color", "clblue", true, "\" color\" skips bgcolor"},
        {"t bgcolor=\"clred\"", " color", "", false, "bgcolor alone is no colour"},
        {" src=\"idx:0\" align=\"top\"", "align", "top", true, "a later attribute"},
        {"", "href", "", false, "empty tag text"},
    };
    for (const auto& c : cases) {
        bool found = !c.found;
        EXPECT_EQ(attributeValue(c.tagText, c.name, &found), c.value) << c.why;
        EXPECT_EQ(found, c.found) << c.why;
    }
}

struct ColourCase {
    const char* value;
    Colour expected;
    const char* why;
};

TEST(MarkupColours, NamesAndHashValuesSetTheColourOtherValuesLeaveIt) {
    constexpr Colour before = 0x00123456;
    const ColourCase cases[] = {
        {"clred", 0x000000FF, "red is the low byte"},
        {"clblue", 0x00FF0000, "blue is the high byte"},
        {"clLime", 0x0000FF00, "capitals after \"cl\" are folded"},
        {"clbtnface", 0x8000000F, "system colours keep the index"},
        {"clinfobk", 0x80000018, "the last system colour"},
        {"cl3ddkshadow", 0x80000015, "names with digits"},
        {"clnosuch", 0x00000000, "an unknown name is black"},
        {"CLRED", before, "the \"cl\" test is case-sensitive"},
        {"#00FF00", 0x0000FF00, "#RRGGBB with red first"},
        {"#FF0000", 0x000000FF, "# red"},
        {"#0000ff", 0x00FF0000, "lower-case hex digits"},
        {"#abcdef", 0x00EFCDAB, "each pair lands in its byte"},
        {"#12", before, "a short value leaves the colour"},
        {"#", before, "a bare # leaves the colour"},
        {"#GG0000", before, "non-hex digits leave the colour"},
        {"x#FF0000", before, "the value must begin with the #"},
        {"red", before, "a plain colour word leaves the colour"},
        {"", before, "an empty value leaves the colour"},
    };
    for (const auto& c : cases) {
        Colour colour = before;
        applyColourValue(c.value, colour);
        EXPECT_EQ(colour, c.expected) << c.value << ": " << c.why;
    }
}

TEST(MarkupColours, EveryNamedColourHasItsTableValue) {
    // Spot checks across the table: the plain colours and the system range.
    const std::pair<const char*, Colour> names[] = {
        {"clblack", 0x00000000},       {"clgreen", 0x00008000},     {"claqua", 0x00FFFF00},
        {"clyellow", 0x0000FFFF},      {"clfuchsia", 0x00FF00FF},   {"clwhite", 0x00FFFFFF},
        {"clsilver", 0x00C0C0C0},      {"clgray", 0x00808080},      {"clolive", 0x00008080},
        {"clnavy", 0x00800000},        {"clpurple", 0x00800080},    {"clteal", 0x00808000},
        {"clmaroon", 0x00000080},      {"clbackground", 0x80000001}, {"clwindow", 0x80000005},
        {"clwindowtext", 0x80000008},  {"clhighlight", 0x8000000D}, {"clhighlighttext", 0x8000000E},
        {"clbtnshadow", 0x80000010},   {"clgraytext", 0x80000011},  {"clbtnhighlight", 0x80000014},
        {"clinfotext", 0x80000017},    {"clinactivecaptiontext", 0x80000013},
    };
    for (const auto& [name, value] : names) EXPECT_EQ(colourFromName(name), value) << name;
}

}  // namespace
}  // namespace velmora
