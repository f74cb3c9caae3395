#include "settings/registry_win.h"

#include <vector>

#include "base/error.h"
#include "base/text.h"

namespace velmora {

HKEY Registry::baseFor(const std::string& path, std::string& relative) const {
    if (!path.empty() && path.front() == '\\') {
        relative = path.substr(1);
        return root_;
    }
    relative = path;
    return key_ ? key_.get() : root_;
}

bool Registry::openKey(const std::string& path, bool create) {
    std::string relative;
    const HKEY base = baseFor(path, relative);
    HKEY opened = nullptr;
    LONG status;
    if (create) {
        status = RegCreateKeyExA(base, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, &opened, nullptr);
    } else {
        status = RegOpenKeyExA(base, relative.c_str(), 0, KEY_ALL_ACCESS, &opened);
        if (status != ERROR_SUCCESS) status = RegOpenKeyExA(base, relative.c_str(), 0, KEY_READ, &opened);
    }
    if (status != ERROR_SUCCESS) return false;
    key_.reset(opened);
    return true;
}

std::string Registry::readString(const std::string& name) const {
    if (!key_) return {};
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if (size == 0) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw Error(format("Invalid data type for '%s'", name.c_str()));
    // One spare byte: stored text need not end with its zero.
    std::vector<char> data(size + 1, '\0');
    DWORD got = size;
    if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) !=
        ERROR_SUCCESS)
        return {};
    return std::string(data.data());
}

void Registry::writeValue(const std::string& name, DWORD type, const void* data, DWORD size) {
    if (!key_ ||
        RegSetValueExA(key_.get(), name.empty() ? nullptr : name.c_str(), 0, type, static_cast<const BYTE*>(data),
                       size) != ERROR_SUCCESS)
        throw Error(format("Failed to set data for '%s'", name.c_str()));
}

void Registry::writeString(const std::string& name, const std::string& text) {
    writeValue(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void Registry::writeBinary(const std::string& name, const std::string& bytes) {
    writeValue(name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

bool Registry::hasValue(const std::string& name) const {
    return key_ && RegQueryValueExA(key_.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void Registry::deleteValue(const std::string& name) {
    const LONG status = key_ ? RegDeleteValueA(key_.get(), name.c_str()) : ERROR_INVALID_HANDLE;
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw Error(format("Failed to delete data for '%s'", name.c_str()));
}

bool Registry::keyExists(const std::string& path) const {
    std::string relative;
    const HKEY base = baseFor(path, relative);
    HKEY opened = nullptr;
    if (RegOpenKeyExA(base, relative.c_str(), 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS &&
        RegOpenKeyExA(base, relative.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

}  // namespace velmora
