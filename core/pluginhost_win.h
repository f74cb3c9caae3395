// The host's side of the plug-in interface: a library loaded by full path and
// unloaded when the object goes, or kept for the program's run by the game
// that it serves.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/plugincalls.h"
#include "ui/handles_win.h"
#include "velmora_plugin.h"

namespace velmora {

// Every export; the decoders (decodedata and the optional decodeplayers) are
// the part a game row keeps after start-up.
struct PluginExports : PluginCalls {
    getgamename_fn getgamename = nullptr;
    getgameid_fn getgameid = nullptr;
    getdefport_fn getdefport = nullptr;
    getsendstr_fn getsendstr = nullptr;
    getparam_fn getparam = nullptr;
    getgameicon_fn getgameicon = nullptr;

    // The seven that every plug-in must have.
    bool complete() const {
        return getgamename && getgameid && getdefport && getsendstr && getparam && getgameicon && decodedata;
    }
};

class PluginLibrary {
public:
    // Loads the library and looks up the seven exports; empty when the file
    // does not load. A missing export stays null and is never called.
    static std::optional<PluginLibrary> load(const std::string& file);

    const PluginExports& exports() const { return exports_; }

    // The library handed over for good: it stays loaded while any copy of
    // the result (or of a PluginCalls pointer made from it) lives.
    static std::shared_ptr<const PluginExports> keep(PluginLibrary library);

private:
    ScopedModule module_;
    PluginExports exports_;
};

// A text from a plug-in, copied; a null pointer reads as empty text.
inline std::string plugintext(const char* text) { return text ? std::string(text) : std::string(); }

// The plug-in files of `folder` (with its trailing backslash): every entry,
// files and folders alike, that matches plugins\*.vlm, sorted by name.
std::vector<std::string> listplugins(const std::string& folder);

}  // namespace velmora
