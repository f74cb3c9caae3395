// Where Velmora keeps its state in the per-user registry.
#pragma once
#include <string>

namespace velmora {

// Always written with its trailing backslash; game keys follow it directly.
inline constexpr char kSettingsRootKey[] = "software\\Drovik\\Velmora\\";
inline constexpr char kSettingsRootValue[] = "The Velmora by Drovik.";
inline constexpr char kRunKey[] = "software\\microsoft\\windows\\currentversion\\run";
inline constexpr char kRunValue[] = "the Velmora";

// The game key: the root key and the game's three-character id. Plug-ins
// whose ids share their first three characters share one key.
inline std::string gamekey(const std::string& gameid) { return kSettingsRootKey + gameid; }

}  // namespace velmora
