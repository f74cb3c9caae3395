// The one way the program asks and decodes through a game's plug-in after
// start-up, for the query window and the watcher alike: the game's status
// query, the test that a datagram is a status reply of that game (made before
// any plug-in call), and the decoders of the library the game table keeps
// loaded.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/plugincalls.h"
#include "core/velmoraglobal.h"
#include "query/playerlist.h"
#include "query/querytexts.h"

namespace velmora::query {

// How a status reply to the query `sendstr` begins. Every one begins with the
// four bytes FF FF FF FF. For the queries whose answer the engines mark with
// a fixed word, that word follows: "getstatus" is answered with
// "statusResponse", "status" with "n" (QuakeWorld) or "print\n" (Quake II).
// For any other query the four bytes are all that is known.
std::vector<std::string> statusreplyprefixes(std::string_view sendstr);
bool isstatusreply(std::string_view sendstr, std::string_view datagram);

// What is shown for a reply no plug-in read: "???" in each of the six texts.
DecodedTexts unreadtexts();

class GamePlugin {
public:
    explicit GamePlugin(const tplugin& game) : game_(game) {}

    // The bytes of the game's status query.
    const std::string& sendstr() const { return game_.sendstr; }
    // True for a status reply to that query.
    bool isreply(std::string_view datagram) const { return isstatusreply(game_.sendstr, datagram); }

    // The plug-in's six texts for `text` (a reply, or the failure text that
    // replaced it), copied at once; unreadtexts() when the game has no
    // decoder. A zero byte ends the text the plug-in gets.
    DecodedTexts decodeserver(const std::string& text) const;
    // Who is on, copied; none without decodeplayers.
    std::vector<PlayerEntry> decodeplayers(const std::string& reply) const;
    // A datagram that arrived: its texts, or nothing (and no plug-in call)
    // when it is no status reply of this game.
    std::optional<DecodedTexts> decodereply(const std::string& datagram) const;

private:
    const tplugin& game_;
};

}  // namespace velmora::query
