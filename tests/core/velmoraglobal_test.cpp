#include <gtest/gtest.h>

#include "core/velmoraglobal.h"

using namespace velmora;
using Pieces = std::vector<std::string>;

struct SplitCase {
    const char* text;
    char sep;
    Pieces pieces;
};

// Stored history values rely on these exact rules, the lost last character included.
TEST(SplitString, PiecesFollowTheStoredListRules) {
    const SplitCase cases[] = {
        {"a,b,", ',', {"a", "b"}},
        {"a,bc", ',', {"a", "b"}},      // an unterminated last piece loses its last character
        {"a,,b,", ',', {"a", "", "b"}},
        {",a,", ',', {"", "", "a"}},    // a leading separator gives two empty pieces
        {"", ',', {""}},
        {"a", ',', {""}},
        {",", ',', {"", ""}},
        {"abc,", ',', {"abc"}},
        {"x\"y\"", '"', {"x", "y"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitstring(c.text, c.sep), c.pieces) << c.text;
}

#include "core/cmdline.h"

struct CommandLineCase {
    const char* commandLine;
    Pieces arguments;  // without the program name
    const char* joined;
};

// A .server path with blanks passed unquoted by the file association must come
// back whole; quotes around an address must not reach the link parser.
TEST(CommandLine, ArgumentsAreSplitLikeTheRuntimeAndJoinedWithSingleBlanks) {
    const CommandLineCase cases[] = {
        {"velmora.exe", {}, ""},
        {"\"C:\\Program Files\\Velmora\\velmora.exe\" x", {"x"}, "x"},
        {"velmora.exe C:\\My Links\\friday night.server", {"C:\\My", "Links\\friday", "night.server"},
         "C:\\My Links\\friday night.server"},
        {"velmora.exe \"1.2.3.4:27960\" q3a", {"1.2.3.4:27960", "q3a"}, "1.2.3.4:27960 q3a"},
        {"velmora.exe   a \t  b  ", {"a", "b"}, "a b"},
        {"velmora.exe \" lead\" \"trail \"", {" lead", "trail "}, "lead trail"},
        {"velmora.exe \"in side\"", {"in side"}, "in side"},
        {"velmora.exe a\"b c\"d", {"ab cd"}, "ab cd"},
        {"velmora.exe \"\"\"\" x", {"x"}, "x"},
        {"velmora.exe \"unclosed quote", {"unclosed quote"}, "unclosed quote"},
        {"velmora.exe \"\"", {}, ""},
    };
    for (const auto& c : cases) {
        const Pieces all = splitcommandline(c.commandLine);
        ASSERT_FALSE(all.empty()) << c.commandLine;
        EXPECT_EQ(Pieces(all.begin() + 1, all.end()), c.arguments) << c.commandLine;
        EXPECT_EQ(joinarguments(all), c.joined) << c.commandLine;
    }
}

// "/find" is a command only as a whole word with at most a game id after it:
// a link file whose path starts with the same letters must still open.
TEST(CommandLine, FindAGameIsACommandOnlyAsAWholeWord) {
    const struct {
        const char* cmdline;
        std::optional<std::string> gameid;
    } cases[] = {
        {"/find", ""},
        {"/FIND", ""},
        {"/find qws", "qws"},
        {"/Find oa", "oa"},
        {"/findings.server", std::nullopt},
        {"/find qws extra", std::nullopt},
        {"/find ", std::nullopt},
        {"find", std::nullopt},
        {"C:\\links\\find.server", std::nullopt},
        {"qw://127.0.0.1:27500", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(findcommand(c.cmdline), c.gameid) << c.cmdline;
}
