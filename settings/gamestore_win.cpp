#include "settings/gamestore_win.h"

#include "settings/registry_win.h"
#include "settings/settingsstore.h"

namespace velmora {

std::string RegistryGameStore::read(const std::string& gameid, const char* value, bool create) {
    Registry reg;
    reg.openKey(gamekey(gameid), create);
    return reg.readString(value);
}

void RegistryGameStore::write(const std::string& gameid, const char* value, const std::string& text) {
    Registry reg;
    reg.openKey(gamekey(gameid), true);
    reg.writeString(value, text);
}

}  // namespace velmora
