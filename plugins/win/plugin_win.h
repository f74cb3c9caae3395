// The Win32 side shared by the five reference plug-ins: the decoded texts in
// the library's own storage, and the game's icon from its resources.
#pragma once
#include "plugins/decode/decode.h"
#include "plugins/include/velmora_plugin.h"

namespace velmora::plugins {

// The resource id of the game's 16 x 16 icon in every plug-in.
inline constexpr int kGameIconId = 1;

// decodedata: decodes the zero-terminated `reply` (a null pointer reads as an
// empty text) and points the six texts of `info` at this library's storage,
// where they stay until the next call or until the library is unloaded.
void fillServerInfo(Game game, ServerInfo* info, const char* reply);

// getgameicon: a new 16 x 16 icon from this library's resources; the caller
// owns it (DestroyIcon). Null when it cannot be made.
HICON loadGameIcon();

}  // namespace velmora::plugins
