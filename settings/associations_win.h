// "fix associations" and "run at startup": the registry writes behind the two
// anchors of the settings window. A refused write raises "Failed to set data
// for '%s'" and stops the action there; what was written before stays.
#pragma once
#include <windows.h>

#include <string>

#include "base/exepath_win.h"  // exepath(): what the actions write by default

namespace velmora {

// Writes the twelve values per user (HKEY_CURRENT_USER\Software\Classes, which
// needs no administrator rights and which Windows merges into
// HKEY_CLASSES_ROOT), tells the shell, and, where HKEY_CLASSES_ROOT then does
// not show the new open command (Wine does not merge the per-user classes),
// writes them under HKEY_CLASSES_ROOT itself. `userClasses` is the per-user
// key the values go to, `machineRoot` the merged root (replaceable in tests).
void fixassociations(const std::string& exepath, const std::string& userClasses, HKEY machineRoot);
void fixassociations(const std::string& exepath);

// Registers qw://, quake2:// and quake3:// the same way, per user with the
// same fallback to the merged root.
void registerweblinks(const std::string& exepath, const std::string& userClasses, HKEY machineRoot);
void registerweblinks(const std::string& exepath);

// Writes "the Velmora" in the per-user run key, which is opened, never created.
void runatstartup(const std::string& exepath);

}  // namespace velmora
