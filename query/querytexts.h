// The query window's texts and its ping arithmetic, free of any window: what
// the results label shows for a decoded answer, a time-out or an error, and
// how the milliseconds of one query are counted.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::query {

// The results label before the first answer; line 1 is the "game:" line.
std::vector<std::string> initialresults();
// The command row: three anchors, right-aligned.
extern const char kCommandsText[];
extern const char kTimedOutLine[];
extern const char kBadReply[];
extern const char kUnknownError[];

// A text from a server (through any plug-in) made inert for markup: "<" and
// ">" become "(" and ")", so no tag can open, "&" is doubled, so it shows
// instead of underlining the next character, and control characters (below
// 32, and DEL) are dropped, so no line break or zero is planted in the label.
// This is the one place server texts are made safe: plug-ins hand them over
// plain, already as the game shows them, and no game's colour or
// character-set rules are applied here again.
std::string sanitised(std::string_view serverText);
// The same text for places that draw it plainly (menus, tips, balloons): "<"
// and ">" as "(" and ")", control characters dropped, "&" left as it is.
std::string cleaned(std::string_view serverText);

// The six texts a decoder returned, copied.
struct DecodedTexts {
    std::string name, game, mod, map, players, maxplayers;
};

// True when the reply begins with the four bytes FF FF FF FF.
bool hasstatusprefix(std::string_view reply);

// The "game:" line a new query writes over line 1 of the results.
std::string gameline(std::string_view gamename);

// The whole results text after an answer, a time-out or an error: the decoded
// line, then the time-out line (ping 999) or the error line (a reply without
// the prefix; it holds the failure text that replaced the datagram).
std::vector<std::string> resultstext(const DecodedTexts& decoded, std::string_view reply, int ping);

// The hand's frames: 0-7 loop while waiting, 8 answered, 9 failed.
constexpr int kAnsweredFrame = 8;
constexpr int kFailedFrame = 9;
int finalframe(std::string_view reply, int ping);
// What the frame-changed handler sets: the loop goes back to 0 while the query
// waits; after the end the end picture stays. -1: leave the frame alone.
int steeredframe(bool finished, int frame);

// The ping: the time from the send to the arrival of the answer, read on a
// clock finer than a millisecond (microseconds) and rounded to the nearest
// millisecond, so it carries no bias from truncating either end. While the
// query waits the count shows the whole milliseconds passed so far. The
// time-out comes at the first tick at which 1000 ms have passed since the
// send; the ping then shows 999, and so does an answer that rounds to 999 or
// more.
class PingCount {
public:
    static constexpr int kTimedOut = 999;
    static constexpr std::int64_t kTimeOutMicroseconds = 1000000;

    // The query was sent at `nowUs`.
    void start(std::int64_t nowUs) {
        ticks_ = 0;
        sent_ = nowUs;
    }
    // One timer tick at `nowUs`; true when the query has timed out.
    bool tick(std::int64_t nowUs);
    // The answer arrived at `nowUs`.
    void answered(std::int64_t nowUs);
    int ticks() const { return ticks_; }
    // Whole milliseconds from `nowUs` until the time-out is due, rounded up
    // (so a wait of that long reaches it); 0 once it is due.
    std::uint32_t untilTimeout(std::int64_t nowUs) const;

private:
    int ticks_ = 0;
    std::int64_t sent_ = 0;
};

}  // namespace velmora::query
