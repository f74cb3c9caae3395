// Where Velmora keeps its state in the per-user registry.
#pragma once
#include <string>

namespace velmora {

// Always written with its trailing backslash; game keys follow it directly.
inline constexpr char kSettingsRootKey[] = "software\\Drovik\\Velmora\\";
inline constexpr char kSettingsRootValue[] = "The Velmora by Drovik.";
// Under the root key: the status watcher's minutes between two queries of a
// server ("0" off; missing means "2") and its balloons ("0" off; missing "1").
inline constexpr char kWatchValue[] = "watch";
inline constexpr char kNotifyValue[] = "notify";
inline constexpr const char* kWatchChoices[] = {"0", "1", "2", "5", "10"};
inline constexpr char kWatchDefault[] = "2";
inline constexpr char kRunKey[] = "software\\microsoft\\windows\\currentversion\\run";
inline constexpr char kRunValue[] = "the Velmora";

// The game key: the root key and the game's three-character id. Plug-ins
// whose ids share their first three characters share one key.
inline std::string gamekey(const std::string& gameid) { return kSettingsRootKey + gameid; }

}  // namespace velmora
