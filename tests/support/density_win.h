// Test support: the density (LogPixels) that new processes of this Wine
// session start with, read and set, and a guard that always puts the test
// prefix's 96 dpi back: every other test's pictures are taken at 96.
#pragma once
#include <windows.h>

namespace velmora::testing {

inline constexpr char kDesktopKey[] = "Control Panel\\Desktop";

inline DWORD logPixels() {
    HKEY key = nullptr;
    DWORD value = 96, size = sizeof value, type = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    if (RegQueryValueExA(key, "LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        value = 96;
    RegCloseKey(key);
    return value;
}

inline void setLogPixels(DWORD dpi) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    RegCloseKey(key);
}

// Sets the density for the processes a test starts (at once, or later with
// set()), and puts 96 dpi back whatever happens to them.
class DensityGuard {
public:
    DensityGuard() = default;
    explicit DensityGuard(int dpi) { set(dpi); }
    ~DensityGuard() { setLogPixels(96); }
    DensityGuard(const DensityGuard&) = delete;
    DensityGuard& operator=(const DensityGuard&) = delete;
    void set(int dpi) { setLogPixels(static_cast<DWORD>(dpi)); }
};

}  // namespace velmora::testing
