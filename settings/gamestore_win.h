// The game table's values in the per-user registry: each game's "path" and
// "history" under its game key, the key opened for one read or write.
#pragma once
#include "core/gametable.h"

namespace velmora {

class RegistryGameStore final : public GameStore {
public:
    std::string read(const std::string& gameid, const char* value, bool create) override;
    void write(const std::string& gameid, const char* value, const std::string& text) override;
};

}  // namespace velmora
