// The registry accessor: one per use, on one root. It opens a key, reads or
// writes, and closes the key when it goes out of scope, so no key handle stays
// open from one event to the next.
#pragma once
#include <windows.h>

#include <string>

#include "ui/handles_win.h"

namespace velmora {

class Registry {
public:
    explicit Registry(HKEY root = HKEY_CURRENT_USER) : root_(root) {}

    // Opens `path` (creating every missing key on it when `create`); the key
    // becomes the open key. A path without a leading backslash is opened below
    // the open key when there is one, otherwise from the root. Nothing is
    // raised: on failure the previously open key stays open.
    bool openKey(const std::string& path, bool create);
    void closeKey() { key_.reset(); }
    bool hasOpenKey() const { return static_cast<bool>(key_); }

    // Missing key, missing value or empty data: empty text. REG_SZ and
    // REG_EXPAND_SZ are returned up to their first zero, unexpanded; any other
    // type raises "Invalid data type for '%s'".
    std::string readString(const std::string& name) const;
    // An empty name writes the key's default value. A refused write, or one
    // without an open key, raises "Failed to set data for '%s'".
    void writeString(const std::string& name, const std::string& text);
    void writeBinary(const std::string& name, const std::string& bytes);
    // Whether the open key holds the value, of any type, empty or not.
    bool hasValue(const std::string& name) const;
    // Removes the value from the open key; a value that is not there is no
    // fault. A refused removal, or one without an open key, raises
    // "Failed to delete data for '%s'".
    void deleteValue(const std::string& name);

    // True when the key opens with full access or, failing that, for reading.
    bool keyExists(const std::string& path) const;

private:
    // The key a path is taken from, and the path as the registry wants it.
    HKEY baseFor(const std::string& path, std::string& relative) const;
    void writeValue(const std::string& name, DWORD type, const void* data, DWORD size);

    HKEY root_;
    ScopedKey key_;
};

}  // namespace velmora
