#include "settings/associations_win.h"

#include <shlobj.h>

#include "settings/associations.h"
#include "settings/registry_win.h"
#include "settings/settingsstore.h"

namespace velmora {

namespace {
// Each value's key is opened (created) for its own write: a key that cannot be
// made leaves no key open, so its first write fails with the value's name
// instead of landing in the key opened before.
void writevalues(HKEY root, const std::string& prefix, const std::vector<ClassesValue>& values) {
    for (const ClassesValue& v : values) {
        Registry reg(root);
        reg.openKey("\\" + prefix + v.key, true);
        if (v.binary)
            reg.writeBinary(v.name, v.data);
        else
            reg.writeString(v.name, v.data);
    }
}

// Per user first, then the shell is told; the merged root is written as well
// where it does not show `probeKey`'s open command as `command` (decided by
// what it shows, not by the platform's name).
void writeclasses(const std::vector<ClassesValue>& values, const std::string& userClasses, HKEY machineRoot,
                  const char* probeKey, const std::string& command) {
    writevalues(HKEY_CURRENT_USER, userClasses, values);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    Registry merged(machineRoot);
    merged.openKey(probeKey, false);
    if (merged.readString("") != command) writevalues(machineRoot, "", values);
}
}  // namespace

void fixassociations(const std::string& exe, const std::string& userClasses, HKEY machineRoot) {
    writeclasses(associationvalues(exe), userClasses, machineRoot, kLinkCommandKey, linkopencommand(exe));
}

void registerweblinks(const std::string& exe, const std::string& userClasses, HKEY machineRoot) {
    writeclasses(weblinkvalues(exe), userClasses, machineRoot, kWebLinkCommandKey, weblinkopencommand(exe));
}

void registerweblinks(const std::string& exe) { registerweblinks(exe, kUserClassesKey, HKEY_CLASSES_ROOT); }

void fixassociations(const std::string& exe) { fixassociations(exe, kUserClassesKey, HKEY_CLASSES_ROOT); }

void runatstartup(const std::string& exe) {
    Registry reg;
    reg.openKey(kRunKey, false);
    reg.writeString(kRunValue, startupvalue(exe));
}

}  // namespace velmora
