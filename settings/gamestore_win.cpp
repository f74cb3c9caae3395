#include "settings/gamestore_win.h"

#include "settings/registry_win.h"
#include "settings/settingsstore.h"

namespace velmora {

std::string RegistryGameStore::read(const std::string& gameid, const char* value, bool create) {
    Registry reg;
    reg.openKey(gamekey(gameid), create);
    return reg.readString(value);
}

std::optional<std::string> RegistryGameStore::readset(const std::string& gameid, const char* value) {
    Registry reg;
    if (!reg.openKey(gamekey(gameid), false) || !reg.hasValue(value)) return std::nullopt;
    return reg.readString(value);
}

void RegistryGameStore::write(const std::string& gameid, const char* value, const std::string& text) {
    Registry reg;
    reg.openKey(gamekey(gameid), true);
    reg.writeString(value, text);
}

void RegistryGameStore::remove(const std::string& gameid, const char* value) {
    // A game never configured has no key and so nothing to remove: no key
    // is made for it.
    Registry reg;
    if (!reg.openKey(gamekey(gameid), false)) return;
    reg.deleteValue(value);
}

}  // namespace velmora
