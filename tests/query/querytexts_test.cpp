// The query window's texts, its ping arithmetic and the join's checks.
#include <gtest/gtest.h>

#include "query/join.h"
#include "query/querytexts.h"

using namespace velmora::query;

namespace {
const std::string kPrefix("\xFF\xFF\xFF\xFF", 4);
const DecodedTexts kDecoded{"My Server", "QuakeWorld", "qw", "DM4", "xxx3", "16"};
}  // namespace

// What a player reads: the decoded line, then the time-out or error line.
TEST(QueryResults, TheLineAndItsEndingFollowReplyAndPing) {
    const std::string line =
        "<i>name: <B>My Server</b></i><br>game: <B>QuakeWorld</b><br>mod: <B>qw</b><br>map: <B>dm4</b><br>players: "
        "<B>3</b> of <b>16</b><br>ping: <B>42</b><br><br>";
    struct Case {
        std::string reply;
        int ping;
        std::vector<std::string> lines;
        int frame;
    } cases[] = {
        {kPrefix + "n\\hostname", 42, {line}, 8},
        {kBadReply, 42, {line, "error: <i>Bad information returned from server</i>"}, 9},
        {kUnknownError, 42, {line, "error: <i>unknown error</i>"}, 9},
        {kPrefix + "late", 999, {}, 9},  // an answer after exactly 999 ms is a time-out
        {"", 999, {}, 9},
    };
    for (const auto& c : cases) {
        const auto lines = resultstext(kDecoded, c.reply, c.ping);
        if (c.ping == 999) {
            ASSERT_EQ(lines.size(), 2u);
            EXPECT_NE(lines[0].find("ping: <B>999</b>"), std::string::npos);
            EXPECT_EQ(lines[1], "<i>server timed-out</i>");
        } else {
            EXPECT_EQ(lines, c.lines) << c.reply;
        }
        EXPECT_EQ(finalframe(c.reply, c.ping), c.frame) << c.reply;
    }
}

// The three filler characters of players go; "???" and short texts do not break.
TEST(QueryResults, PlayersDropTheirFillerUnlessUndecoded) {
    struct Case {
        const char* players;
        const char* shown;
    } cases[] = {{"xxx12", "12"}, {"???", "???"}, {"???7", "???7"}, {"ab", ""}, {"abc", ""}, {"", ""}};
    for (const auto& c : cases) {
        DecodedTexts d = kDecoded;
        d.players = c.players;
        const std::string line = resultstext(d, kPrefix, 5)[0];
        EXPECT_NE(line.find(std::string("players: <B>") + c.shown + "</b> of"), std::string::npos) << c.players;
    }
}

// A hostile server's texts never become markup, whatever plug-in decoded them.
TEST(QueryResults, ServerTextsCannotOpenATagOrBreakALine) {
    DecodedTexts d{"<a href=\"go\">x</a>", "<img src=\"file://c:/x.bmp\">", "\r\nmod\t",
                   "<font size=\"x\">", "xxx<b>", std::string("1\0>", 3)};
    const std::string line = resultstext(d, kPrefix, 1)[0];
    EXPECT_EQ(line,
              "<i>name: <B>(a href=\"go\")x(/a)</b></i><br>game: <B>(img src=\"file://c:/x.bmp\")</b><br>mod: "
              "<B>mod</b><br>map: <B>(font size=\"x\")</b><br>players: <B>(b)</b> of <b>1)</b><br>ping: "
              "<B>1</b><br><br>");
    EXPECT_EQ(gameline("Evil<b>"), "game: <B>Evil(b)</b><br>");
    EXPECT_EQ(cleaned("R&D <b>\x01"), "R&D (b)") << "plain places keep \"&\" single";
    // DEL draws a box in a menu, like the other control characters
    EXPECT_EQ(cleaned("dm\x7f" "4\x7f"), "dm4");
    EXPECT_EQ(sanitised("a\x7f&b"), "a&&b");
    // A single "&" would underline the next character: every one shows as itself.
    d = {"R&D", "a&&b", "&", "&map", "   2", "8&"};
    EXPECT_EQ(resultstext(d, kPrefix, 1)[0],
              "<i>name: <B>R&&D</b></i><br>game: <B>a&&&&b</b><br>mod: <B>&&</b><br>map: <B>&&map</b><br>players: "
              "<B>2</b> of <b>8&&</b><br>ping: <B>1</b><br><br>");
}

// The plug-in made its texts readable once; the window applies no game's
// rules again (a second pass took "^1" from DarkPlaces' "^^1on1 arena" and
// read a third-party plug-in's Latin-1 as Quake's character set).
TEST(QueryResults, ThePluginsTextsShowAsTheyCame) {
    const DecodedTexts d{"^1on1 arena", "M\xfcller's Caf\xe9", "a^!b^", "A>B.C", "   2", "8"};
    EXPECT_EQ(resultstext(d, kPrefix, 1)[0],
              "<i>name: <B>^1on1 arena</b></i><br>game: <B>M\xfcller's Caf\xe9</b><br>mod: <B>a^!b^</b><br>map: "
              "<B>a)b.c</b><br>players: <B>2</b> of <b>8</b><br>ping: <B>1</b><br><br>");
}

TEST(QueryResults, TheHandLoopsUntilTheQueryEnds) {
    EXPECT_EQ(steeredframe(false, 8), 0);
    EXPECT_EQ(steeredframe(false, 9), 0);
    EXPECT_EQ(steeredframe(false, 7), -1);
    EXPECT_EQ(steeredframe(true, 8), -1);
    EXPECT_EQ(steeredframe(true, 9), -1);
}

// The ping is the time from the send to the answer's arrival, rounded to the
// nearest millisecond whatever the ticks did meanwhile; the count while
// waiting is the whole milliseconds passed.
TEST(PingCount, RoundsTheTimeFromTheSendToTheAnswer) {
    struct Case {
        std::vector<std::int64_t> ticks;  // microseconds after the send
        std::int64_t answer;              // microseconds after the send
        int ping;
    } cases[] = {
        {{}, 0, 0},
        {{}, 499, 0},
        {{}, 500, 1},                  // halves go up
        {{}, 5499, 5},
        {{}, 5501, 6},                 // 5.501 ms is 6, not a truncated 5
        {{1000, 2000, 3000}, 3400, 3},
        {{30000}, 50700, 51},          // few ticks: the same milliseconds
        {{}, 998499, 998},
        {{998000}, 998600, 999},       // rounds to 999: shown as the time-out
        {{500000}, 999999, 999},       // never more than 999
    };
    const std::int64_t sent = 123456789012;
    for (const auto& c : cases) {
        PingCount p;
        p.start(sent);
        for (const std::int64_t t : c.ticks) {
            EXPECT_FALSE(p.tick(sent + t));
            EXPECT_EQ(p.ticks(), t / 1000) << "while waiting: whole milliseconds";
        }
        p.answered(sent + c.answer);
        EXPECT_EQ(p.ticks(), c.ping) << c.answer;
    }
}

TEST(PingCount, TimesOutAtTheTickWhere1000MillisecondsHavePassed) {
    PingCount p;
    p.start(10);
    EXPECT_FALSE(p.tick(10 + 600000));
    EXPECT_FALSE(p.tick(10 + 999999));
    EXPECT_EQ(p.ticks(), 999);
    EXPECT_TRUE(p.tick(10 + 1000000));
    EXPECT_EQ(p.ticks(), 999);
    PingCount late;
    late.start(0);
    EXPECT_TRUE(late.tick(2500000));  // one long stall still ends the query
    EXPECT_EQ(late.ticks(), 999);
}

// The timer may sleep until the time-out: the wait is rounded up, so waking
// after it finds the time-out due.
TEST(PingCount, TheWaitUntilTheTimeOutReachesIt) {
    struct Case {
        std::int64_t now;  // microseconds after the send
        std::uint32_t wait;
    } cases[] = {{0, 1000}, {1, 1000}, {999, 1000}, {1000, 999}, {400500, 600}, {999001, 1}, {1000000, 0},
                 {5000000, 0}};
    for (const auto& c : cases) {
        PingCount p;
        p.start(77);
        EXPECT_EQ(p.untilTimeout(77 + c.now), c.wait) << c.now;
        if (c.wait > 0) {
            EXPECT_FALSE(p.tick(77 + c.now + 1000 * std::int64_t{c.wait - 1})) << c.now;
        }
        EXPECT_TRUE(p.tick(77 + c.now + 1000 * std::int64_t{c.wait})) << c.now;
    }
}

// Quake engines split their command line at "+": nothing but a plain host and
// a port number may follow the game's parameters.
TEST(Join, RefusesAddressesThatCouldCarryCommands) {
    struct Case {
        const char* label;
        bool starts;
    } cases[] = {
        {"127.0.0.1:27500...", true},
        {"quake.example-1.org:26000...", true},
        {"localhost:1...", true},
        {"h:65535...", true},
        {"127.0.0.1+quit:27500...", false},
        {"127.0.0.1:27500+quit...", false},
        {"a b:27500...", false},
        {"\"x\":27500...", false},
        {"-game:27500...", false},
        {"300.1.1.1:27500...", false},
        {"1.2.3:27500...", false},
        {"127.0.0.1:0...", false},
        {"127.0.0.1:65536...", false},
        {"127.0.0.1: 27500...", false},
        {"127.0.0.1:...", false},
        {":27500...", false},
        {"127.0.0.1...", false},
    };
    for (const auto& c : cases) {
        const JoinPlan plan = planjoin("C:\\Games\\qw.exe", "+connect ", c.label);
        EXPECT_EQ(plan.kind == JoinPlan::Kind::Start, c.starts) << c.label;
        if (!c.starts) {
            std::string shown(c.label);
            shown.resize(shown.size() - 3);
            EXPECT_NE(plan.message.find("\"" + shown + "\""), std::string::npos) << plan.message;
        }
    }
}

TEST(Join, ParametersAndFolderComeFromTheRowAndTheLabel) {
    struct Case {
        const char* path;
        const char* param;
        const char* params;
        const char* folder;
    } cases[] = {
        {"C:\\Games\\Quake\\qw.exe", "+connect ", "+connect 127.0.0.1:27500", "C:\\Games\\Quake\\"},
        {"C:qw.exe", "", "127.0.0.1:27500", "C:"},
        {"qw.exe", "-x ", "-x 127.0.0.1:27500", ""},
    };
    for (const auto& c : cases) {
        const JoinPlan plan = planjoin(c.path, c.param, "127.0.0.1:27500...");
        EXPECT_EQ(plan.kind, JoinPlan::Kind::Start);
        EXPECT_EQ(plan.file, c.path);
        EXPECT_EQ(plan.parameters, c.params);
        EXPECT_EQ(plan.folder, c.folder);
    }
    const std::string longPath = "C:\\" + std::string(200, 'g') + "\\game.exe";
    EXPECT_EQ(planjoin(longPath, "+connect ", "127.0.0.1:27500...").file, longPath);  // never cut
    const JoinPlan none = planjoin("", "+connect ", "127.0.0.1:27500...");
    EXPECT_EQ(none.kind, JoinPlan::Kind::NoPath);
    EXPECT_EQ(none.message, "The path for this game hasn't been setup.\r\n\r\nset it up now.");
}
