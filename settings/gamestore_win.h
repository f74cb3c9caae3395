// The game table's values in the per-user registry: each game's "path",
// "history" and "masters" under its game key, the key opened for one read,
// write or removal.
#pragma once
#include "core/gametable.h"

namespace velmora {

class RegistryGameStore final : public GameStore {
public:
    std::string read(const std::string& gameid, const char* value, bool create) override;
    std::optional<std::string> readset(const std::string& gameid, const char* value) override;
    void write(const std::string& gameid, const char* value, const std::string& text) override;
    void remove(const std::string& gameid, const char* value) override;
};

}  // namespace velmora
