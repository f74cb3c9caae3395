#include "plugins/decode/decode.h"

#include <algorithm>

namespace velmora::plugins {

ServerFields unknownFields() { return {"???", "???", "???", "???", "???", "???"}; }

ServerFields decodeReply(Game game, std::string_view reply) {
    std::string buffer(serverStoreSize(reply.size()), '\0');
    TextStore store(buffer.data(), buffer.size());
    const char* f[6];
    decodeServer(game, reply, store, f);
    return {f[0], f[1], f[2], f[3], f[4], f[5]};
}

std::vector<Player> decodePlayerList(Game game, std::string_view reply, int max) {
    std::string buffer(playersStoreSize(reply.size()), '\0');
    TextStore store(buffer.data(), buffer.size());
    std::vector<PlayerInfo> infos(static_cast<size_t>(std::max(max, 0)));
    const int count = decodePlayers(game, reply, infos.data(), max, store);
    std::vector<Player> players;
    for (int i = 0; i < count; ++i) {
        const PlayerInfo& p = infos[static_cast<size_t>(i)];
        players.push_back({p.name, p.score, p.ping, p.time, p.team, p.spectator != 0});
    }
    return players;
}

InfoString::InfoString(std::string_view text) {
    std::string_view key, value;
    while (nextInfoPair(text, key, value)) pairs_.push_back({key, value});
}

std::optional<std::string_view> InfoString::find(std::string_view key) const {
    for (const auto& pair : pairs_)
        if (pair.key == key) return pair.value;
    return std::nullopt;
}

std::optional<std::string_view> InfoString::findAny(const std::vector<std::string_view>& keys) const {
    for (const auto key : keys)
        if (auto value = find(key); value && !value->empty()) return value;
    return std::nullopt;
}

std::vector<std::string_view> playerWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    std::string_view word;
    while (nextWord(line, pos, word)) words.push_back(word);
    return words;
}

std::string foldQuakeChars(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (const char f = foldQuakeChar(c)) out += f;
    return out;
}

std::string stripColourCodes(std::string_view text, bool darkplaces) {
    std::string out;
    out.reserve(text.size());
    forEachUncoloured(text, darkplaces, [&out](char c) { out += c; });
    return out;
}

std::string readable(Game game, std::string_view text) {
    std::string buffer(text.size() + 1, '\0');  // never longer than the text
    TextStore store(buffer.data(), buffer.size());
    appendReadable(game, text, store);
    return store.finish();
}

}  // namespace velmora::plugins
