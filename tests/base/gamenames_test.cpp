// The host's side of the plug-ins' names: it trusts the text a plug-in made
// readable and applies no game's rules again; it only drops the control
// characters no window draws. (Each game's rules are tested with the plug-ins'
// decoder, tests/plugins/decode_names_test.cpp.)
#include "base/gamenames.h"

#include <gtest/gtest.h>

#include <string>

using velmora::gamenames::Flavour;
using velmora::gamenames::flavourOfGame;
using velmora::gamenames::readable;

namespace {

struct Case {
    const char* gameid;
    std::string fromPlugin;
    std::string shown;
};

// A second pass of a game's rules took from a name what the plug-in made of
// it, and read a third-party plug-in's Latin-1 as Quake's character set.
TEST(HostNames, ThePluginsTextIsShownAsItCame) {
    const Case cases[] = {
        {"qs", "^1on1 arena", "^1on1 arena"},  // DarkPlaces' "^^1on1 arena", made readable once
        {"q3a", "^1on1 arena", "^1on1 arena"},
        {"oa", "a^!b^", "a^!b^"},
        {"qws", "M\xfcller's Caf\xe9", "M\xfcller's Caf\xe9"},  // a third-party plug-in's plain Latin-1
        {"q2s", "\xd1\xf5\xe1\xeb\xe5", "\xd1\xf5\xe1\xeb\xe5"},
        {"qws", "A>B.C", "A>B.C"},
        {"alp", "^1\xe9x", "^1\xe9x"},
        // what no window draws still goes, whoever sent it
        {"q3a", "a\tb\x01\x7f" "c\r\n", "abc"},
        {"qws", "\x05\x1c", ""},
        {"qs", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readable(flavourOfGame(c.gameid), c.fromPlugin), c.shown) << c.gameid << " " << c.fromPlugin;
}

TEST(HostNames, NeverLongerThanTheNameAndNeverAControlCharacter) {
    std::string all;
    for (int a = 0; a < 256; ++a) all += {'^', static_cast<char>(a), static_cast<char>(a), 'x', static_cast<char>(a)};
    for (const Flavour f : {Flavour::plain, Flavour::quakeworld, Flavour::quake3, Flavour::darkplaces}) {
        const std::string out = readable(f, all);
        ASSERT_LE(out.size(), all.size());
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_TRUE(static_cast<unsigned char>(out[i]) >= 32 && out[i] != 127) << int(f) << " at " << i;
    }
}

TEST(HostNames, AHugeNameComesWhole) {
    const std::string huge = std::string(64 * 1024 - 2, '\xc1') + "^7";
    EXPECT_EQ(readable(Flavour::quakeworld, huge), huge);
    EXPECT_EQ(readable(Flavour::quake3, huge), huge);
}

TEST(HostNames, TheGameIdentifierNamesTheFlavour) {
    const struct {
        const char* id;
        Flavour flavour;
    } cases[] = {{"qws", Flavour::quakeworld}, {"Q2S", Flavour::quakeworld}, {"q3a", Flavour::quake3},
                 {"oa", Flavour::quake3},      {"qs", Flavour::darkplaces},  {"qsx", Flavour::plain},
                 {"alp", Flavour::plain},      {"", Flavour::plain},         {"qwsmod", Flavour::quakeworld}};
    for (const auto& c : cases) EXPECT_EQ(flavourOfGame(c.id), c.flavour) << c.id;
}

}  // namespace
