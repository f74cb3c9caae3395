#include "query/querytexts.h"

#include <algorithm>

#include "base/text.h"

namespace velmora::query {

const char kCommandsText[] =
    "<p align=\"right\"><a href=\"refresh\">Refresh</a>   <a href=\"go\">Join Game</a>   <a "
    "href=\"cancel\">cancel</a>";
const char kTimedOutLine[] = "<i>server timed-out</i>";
const char kBadReply[] = "Bad information returned from server";
const char kUnknownError[] = "unknown error";

std::vector<std::string> initialresults() {
    return {"name: <B>?\?\?</b><br>",    "game: <B>?\?\?</b><br>",
            "mod: <B>?\?\?</b><br>",     "map: <B>?\?\?</b><br>",
            "players: <B>?\?\?</b> of <b>?\?\?</b><br>", "ping: <B>?\?\?</b>",
            "<br><br>"};
}

std::string cleaned(std::string_view serverText) {
    std::string out;
    out.reserve(serverText.size());
    for (const char c : serverText) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) continue;
        out += c == '<' ? '(' : c == '>' ? ')' : c;
    }
    return out;
}

std::string sanitised(std::string_view serverText) {
    std::string out;
    for (const char c : cleaned(serverText)) {
        if (c == '&') out += '&';
        out += c;
    }
    return out;
}

bool hasstatusprefix(std::string_view reply) { return reply.substr(0, 4) == std::string_view("\xFF\xFF\xFF\xFF", 4); }

std::string gameline(std::string_view gamename) {
    return "game: <B>" + sanitised(gamename) + "</b><br>";
}

std::vector<std::string> resultstext(const DecodedTexts& d, std::string_view reply, int ping) {
    // A players text begins with three filler characters, unless it is the
    // "???" of an undecodable reply, which shows whole.
    std::string players = d.players;
    if (players.rfind("???", 0) != 0) players = players.size() > 3 ? players.substr(3) : std::string();
    std::vector<std::string> lines{"<i>name: <B>" + sanitised(d.name) + "</b></i><br>game: <B>" + sanitised(d.game) +
                                   "</b><br>mod: <B>" + sanitised(d.mod) + "</b><br>map: <B>" +
                                   sanitised(lowerAscii(d.map)) + "</b><br>players: <B>" + sanitised(players) +
                                   "</b> of <b>" + sanitised(d.maxplayers) + "</b><br>ping: <B>" +
                                   std::to_string(ping) + "</b><br><br>"};
    if (ping == PingCount::kTimedOut)
        lines.emplace_back(kTimedOutLine);
    else if (!hasstatusprefix(reply))
        lines.push_back("error: <i>" + sanitised(reply) + "</i>");
    return lines;
}

int finalframe(std::string_view reply, int ping) {
    return hasstatusprefix(reply) && ping < PingCount::kTimedOut ? kAnsweredFrame : kFailedFrame;
}

int steeredframe(bool finished, int frame) { return !finished && frame >= kAnsweredFrame ? 0 : -1; }

bool PingCount::tick(std::int64_t nowUs) {
    const std::int64_t elapsed = std::max<std::int64_t>(nowUs - sent_, 0);
    if (elapsed >= kTimeOutMicroseconds) {
        ticks_ = kTimedOut;
        return true;
    }
    ticks_ = static_cast<int>(elapsed / 1000);
    return false;
}

void PingCount::answered(std::int64_t nowUs) {
    const std::int64_t elapsed = std::max<std::int64_t>(nowUs - sent_, 0);
    ticks_ = static_cast<int>(std::min<std::int64_t>((elapsed + 500) / 1000, kTimedOut));
}

std::uint32_t PingCount::untilTimeout(std::int64_t nowUs) const {
    const std::int64_t rest = kTimeOutMicroseconds - (nowUs - sent_);
    if (rest <= 0) return 0;
    return static_cast<std::uint32_t>(std::min<std::int64_t>((rest + 999) / 1000, kTimeOutMicroseconds / 1000));
}

}  // namespace velmora::query
