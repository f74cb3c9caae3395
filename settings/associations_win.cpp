#include "settings/associations_win.h"

#include <shlobj.h>

#include "settings/associations.h"
#include "settings/registry_win.h"
#include "settings/settingsstore.h"

namespace velmora {

std::string exepath() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

namespace {
// Each value's key is opened (created) for its own write: a key that cannot be
// made leaves no key open, so its first write fails with the value's name
// instead of landing in the key opened before.
void writevalues(HKEY root, const std::string& prefix, const std::string& exe) {
    for (const ClassesValue& v : associationvalues(exe)) {
        Registry reg(root);
        reg.openKey("\\" + prefix + v.key, true);
        if (v.binary)
            reg.writeBinary(v.name, v.data);
        else
            reg.writeString(v.name, v.data);
    }
}
}  // namespace

void fixassociations(const std::string& exe, const std::string& userClasses, HKEY machineRoot) {
    writevalues(HKEY_CURRENT_USER, userClasses, exe);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    // Decided by what the merged root shows, not by the platform's name.
    Registry merged(machineRoot);
    merged.openKey(kLinkCommandKey, false);
    if (merged.readString("") != linkopencommand(exe)) writevalues(machineRoot, "", exe);
}

void fixassociations(const std::string& exe) { fixassociations(exe, kUserClassesKey, HKEY_CLASSES_ROOT); }

void runatstartup(const std::string& exe) {
    Registry reg;
    reg.openKey(kRunKey, false);
    reg.writeString(kRunValue, startupvalue(exe));
}

}  // namespace velmora
