// Test support: a per-user registry key emptied before and after each test.
#pragma once
#include <windows.h>
#include <shlwapi.h>

#include <string>

namespace velmora::testing {

// Removes a key below HKEY_CURRENT_USER with everything under it.
inline void deleteUserKey(const std::string& path) { SHDeleteKeyA(HKEY_CURRENT_USER, path.c_str()); }

inline bool userKeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

inline void setUserValue(const std::string& path, const std::string& name, DWORD type, const void* data,
                         DWORD size) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

inline void setUserString(const std::string& path, const std::string& name, const std::string& text) {
    setUserValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The raw value as stored, and its type; empty with type REG_NONE when missing.
inline std::string userValue(const std::string& path, const std::string& name, DWORD* type = nullptr) {
    HKEY key = nullptr;
    DWORD t = REG_NONE;
    std::string data;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, &t, nullptr, &size) ==
            ERROR_SUCCESS) {
            data.resize(size);
            RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, &t,
                             reinterpret_cast<BYTE*>(data.data()), &size);
        }
        RegCloseKey(key);
    }
    if (type) *type = t;
    return data;
}

}  // namespace velmora::testing
