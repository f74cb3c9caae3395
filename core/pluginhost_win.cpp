#include "core/pluginhost_win.h"

#include <algorithm>

namespace velmora {

namespace {
template <typename Fn>
Fn lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

std::optional<PluginLibrary> PluginLibrary::load(const std::string& file) {
    // No "cannot load" dialog for a broken file, and no DLL search elsewhere:
    // the library is loaded by its full path only.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const HMODULE module = LoadLibraryA(file.c_str());
    SetErrorMode(previous);
    if (!module) return std::nullopt;
    PluginLibrary library;
    library.module_.reset(module);
    PluginExports& e = library.exports_;
    e.getgamename = lookup<getgamename_fn>(module, "getgamename");
    e.getgameid = lookup<getgameid_fn>(module, "getgameid");
    e.getdefport = lookup<getdefport_fn>(module, "getdefport");
    e.getsendstr = lookup<getsendstr_fn>(module, "getsendstr");
    e.getparam = lookup<getparam_fn>(module, "getparam");
    e.getgameicon = lookup<getgameicon_fn>(module, "getgameicon");
    e.decodedata = lookup<decodedata_fn>(module, "decodedata");
    e.decodeplayers = lookup<decodeplayers_fn>(module, "decodeplayers");
    e.getmasters = lookup<getmasters_fn>(module, "getmasters");
    e.getmastersendstr = lookup<getmastersendstr_fn>(module, "getmastersendstr");
    e.decodemaster = lookup<decodemaster_fn>(module, "decodemaster");
    return library;
}

std::shared_ptr<const PluginExports> PluginLibrary::keep(PluginLibrary library) {
    const auto held = std::make_shared<const PluginLibrary>(std::move(library));
    // The exports share the library's ownership: the module is freed with
    // the last pointer to them.
    return std::shared_ptr<const PluginExports>(held, &held->exports_);
}

std::vector<std::string> listplugins(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const ScopedFind search(FindFirstFileA((folder + "plugins\\*.vlm").c_str(), &found));
    if (!search) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search.get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace velmora
