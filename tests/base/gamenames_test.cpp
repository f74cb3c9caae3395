// Names as each engine's console draws them: colour codes gone, Quake's
// coloured character set read as plain letters, control characters dropped.
#include "base/gamenames.h"

#include <gtest/gtest.h>

#include <string>

using velmora::gamenames::Flavour;
using velmora::gamenames::flavourOfGame;
using velmora::gamenames::readable;

namespace {

struct Case {
    Flavour flavour;
    std::string raw;
    std::string shown;
};

TEST(ReadableNames, EachEngineDrawsItsOwnCodes) {
    const Case cases[] = {
        // Quake III / OpenArena: "^" and a letter or digit is a colour
        {Flavour::quake3, "^1Sar^7ge", "Sarge"},
        {Flavour::quake3, "^aA^ZZ", "AZ"},
        {Flavour::quake3, "^^1x", "^x"},       // "^^" is no code; "^1" is
        {Flavour::quake3, "a^.b", "a^.b"},     // "^" before punctuation is drawn
        {Flavour::quake3, "Bob^", "Bob^"},     // a code cut at the end: the "^" stays
        {Flavour::quake3, "Bob^7", "Bob"},     // a colour at the end
        {Flavour::quake3, "^", "^"},
        {Flavour::quake3, "caf\xe9", "caf\xe9"},  // Latin-1 stays as the code page shows it
        {Flavour::quake3, "a\tb\x01\x7f" "c", "abc"},
        // DarkPlaces: "^" and a digit, "^xRGB", "^^" for one "^"
        {Flavour::darkplaces, "^1Dark^7Places", "DarkPlaces"},
        {Flavour::darkplaces, "^xF80Orange", "Orange"},
        {Flavour::darkplaces, "Orange^x12", "Orange^x12"},  // a cut "^x" is drawn
        {Flavour::darkplaces, "^xG00a", "^xG00a"},          // no hex digits
        {Flavour::darkplaces, "^^1", "^1"},
        {Flavour::darkplaces, "^q", "^q"},
        {Flavour::darkplaces, "end^", "end^"},
        {Flavour::darkplaces, "\xc4\xd0", "DP"},  // Quake's font: the high bit only colours
        // QuakeWorld / Quake II: the high bit, brackets and digits
        {Flavour::quakeworld, "\xd1\xf5\xe1\xeb\xe5", "Quake"},
        {Flavour::quakeworld, "\x10\x12\x13\x11", "[01]"},
        {Flavour::quakeworld, "\x90\x9b\x91", "[9]"},     // the same with the high bit
        {Flavour::quakeworld, "\x1b\x1a\x19\x92", "9870"},
        {Flavour::quakeworld, "a\x05\x8d\x1c\x1f\x0a\x7f\xff" "b", "ab"},  // other control glyphs go
        {Flavour::quakeworld, "^1qw", "^1qw"},             // QuakeWorld has no colour codes
        {Flavour::quakeworld, "\xa0\xbc\xbe", " <>"},      // readable after the high bit goes
        // plain: a game of unknown kind only loses its control characters
        {Flavour::plain, "^1\xe9\x05x", "^1\xe9x"},
        {Flavour::plain, "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(readable(c.flavour, c.raw), c.shown) << c.raw;
}

TEST(ReadableNames, NeverLongerThanTheNameAndNeverAControlCharacter) {
    // Every byte value, in every position of a code, for every flavour.
    std::string all;
    for (int a = 0; a < 256; ++a) all += {'^', static_cast<char>(a), static_cast<char>(a), 'x', static_cast<char>(a)};
    for (const Flavour f : {Flavour::plain, Flavour::quakeworld, Flavour::quake3, Flavour::darkplaces}) {
        std::string out(all.size() + 8, '#');
        const size_t n = readable(f, all, out.data());
        ASSERT_LE(n, all.size());
        EXPECT_EQ(out.substr(all.size()), "########") << "nothing written past the name";
        for (size_t i = 0; i < n; ++i)
            ASSERT_TRUE(static_cast<unsigned char>(out[i]) >= 32 && out[i] != 127) << int(f) << " at " << i;
    }
}

TEST(ReadableNames, AHugeNameIsReadWhole) {
    const std::string huge = std::string(64 * 1024 - 2, '\xc1') + "^7";
    EXPECT_EQ(readable(Flavour::quakeworld, huge), std::string(64 * 1024 - 2, 'A') + "^7");
    EXPECT_EQ(readable(Flavour::quake3, huge), std::string(64 * 1024 - 2, '\xc1'));
}

TEST(ReadableNames, TheGameIdentifierNamesTheFlavour) {
    const struct {
        const char* id;
        Flavour flavour;
    } cases[] = {{"qws", Flavour::quakeworld}, {"Q2S", Flavour::quakeworld}, {"q3a", Flavour::quake3},
                 {"oa", Flavour::quake3},      {"qs", Flavour::darkplaces},  {"qsx", Flavour::plain},
                 {"alp", Flavour::plain},      {"", Flavour::plain},         {"qwsmod", Flavour::quakeworld}};
    for (const auto& c : cases) EXPECT_EQ(flavourOfGame(c.id), c.flavour) << c.id;
}

}  // namespace
