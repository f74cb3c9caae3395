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
// instead of underlining the next character, and control characters are
// dropped, so no line break or zero is planted in the label. This is the one
// place server texts are made safe: plug-ins hand them over plain.
std::string sanitised(std::string_view serverText);

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

// The ping in milliseconds of the multimedia clock. Each tick adds its lag
// (whole milliseconds since the previous tick), and the answer adds the
// milliseconds since the last tick, so the count is the time from the send to
// the handling of the answer whatever the tick rate. The time-out comes at the
// tick at which 1000 ms have passed; the ping then shows 999.
class PingCount {
public:
    static constexpr int kTimedOut = 999;

    void start(std::uint32_t now) {
        ticks_ = 0;
        lastTick_ = now;
    }
    // One timer tick; true when the query has timed out.
    bool tick(int lagCount, std::uint32_t now);
    // The answer is being handled at `now`.
    void answered(std::uint32_t now);
    int ticks() const { return ticks_; }

private:
    void add(std::int64_t ms);
    int ticks_ = 0;
    std::uint32_t lastTick_ = 0;
};

}  // namespace velmora::query
