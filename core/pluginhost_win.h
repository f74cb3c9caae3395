// The host's side of the plug-in interface: a library loaded by full path for
// one call sequence and unloaded when the object goes.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/handles_win.h"
#include "velmora_plugin.h"

namespace velmora {

struct PluginExports {
    getgamename_fn getgamename = nullptr;
    getgameid_fn getgameid = nullptr;
    getdefport_fn getdefport = nullptr;
    getsendstr_fn getsendstr = nullptr;
    getparam_fn getparam = nullptr;
    getgameicon_fn getgameicon = nullptr;
    decodedata_fn decodedata = nullptr;

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
