#include "settings/associations.h"

namespace velmora {

namespace {
std::string quoted(const std::string& path) { return "\"" + path + "\""; }
}  // namespace

std::string linkopencommand(const std::string& exepath) { return quoted(exepath) + " %1"; }

std::string startupvalue(const std::string& exepath) { return quoted(exepath); }

std::string weblinkopencommand(const std::string& exepath) { return quoted(exepath) + " \"%1\""; }

std::vector<ClassesValue> weblinkvalues(const std::string& exepath) {
    const struct {
        const char* scheme;
        const char* description;
    } schemes[] = {{"qw", "URL:QuakeWorld Server"}, {"quake2", "URL:Quake II Server"}, {"quake3", "URL:Quake III Server"}};
    std::vector<ClassesValue> values;
    for (const auto& s : schemes) {
        const std::string key = s.scheme;
        values.push_back({key, "", false, s.description});
        values.push_back({key, "URL Protocol", false, ""});
        values.push_back({key + "\\DefaultIcon", "", false, exepath + ",0"});
        values.push_back({key + "\\shell\\open\\command", "", false, weblinkopencommand(exepath)});
    }
    return values;
}

std::vector<ClassesValue> associationvalues(const std::string& exepath) {
    const std::string icon = exepath + ",0";
    return {
        {".server", "", false, "VelmoraFile"},
        {".server", "Content Type", false, "application/Velmora"},
        {"VelmoraFile", "", false, "Velmora Server"},
        // 0x00010000 little-endian: the open verb is safe on downloaded files.
        {"VelmoraFile", "EditFlags", true, std::string("\x00\x00\x01\x00", 4)},
        {"VelmoraFile\\shell\\open", "", false, "&Open"},
        {kLinkCommandKey, "", false, linkopencommand(exepath)},
        {"VelmoraFile\\DefaultIcon", "", false, icon},
        {".vlm", "", false, "VelmoraPlugin"},
        {"VelmoraPlugin", "", false, "Velmora Plugin"},
        {"VelmoraPlugin\\shell\\open", "", false, "&Open"},
        {"VelmoraPlugin\\shell\\open\\command", "", false, quoted(exepath)},
        {"VelmoraPlugin\\DefaultIcon", "", false, icon},
    };
}

}  // namespace velmora
