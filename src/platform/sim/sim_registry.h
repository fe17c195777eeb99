// The simulated registry: a tree of keys under HKEY_LOCAL_MACHINE with open handles, behaving as
// Windows NT does for the calls the tool makes (case-insensitive names, no deletion of keys that have
// subkeys, enumeration ending in ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA for a value larger than the buffer).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "joystick/platform_api.h"

class CSimRegistry {
public:
    struct Value {
        std::string name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    struct Key {
        std::string name;
        Key* parent = nullptr;
        std::vector<std::shared_ptr<Key>> subkeys;  // kept sorted by name, case-insensitively
        std::vector<Value> values;
        bool deleted = false;
    };

    // Longest key name component and value name Windows accepts.
    static constexpr size_t kMaxKeyNameLength = 255;
    static constexpr size_t kMaxValueNameLength = 16383;

    CSimRegistry();
    CSimRegistry(const CSimRegistry&) = delete;
    CSimRegistry& operator=(const CSimRegistry&) = delete;

    LONG OpenKey(HKEY hKey, LPCSTR subKey, HKEY* result);
    LONG QueryValue(HKEY hKey, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* cbData) const;
    LONG EnumKey(HKEY hKey, DWORD index, LPSTR name, DWORD cchName) const;
    // deletedKey, when given, receives the key that was removed.
    LONG DeleteKey(HKEY hKey, LPCSTR subKey, std::shared_ptr<Key>* deletedKey = nullptr);
    LONG CloseKey(HKEY hKey);

    // Direct access by path below HKEY_LOCAL_MACHINE (components separated by one backslash).
    std::shared_ptr<Key> Find(std::string_view path) const;
    std::shared_ptr<Key> Create(std::string_view path);  // null when a component is empty or too long
    bool SetValue(std::string_view path, std::string_view name, DWORD type, const void* data, size_t size);
    bool RemoveValue(std::string_view path, std::string_view name);
    static const Value* FindValue(const Key& key, std::string_view name);
    size_t OpenHandles() const;

    static bool EqualNames(std::string_view a, std::string_view b);

private:
    // Resolves a handle: the root for HKEY_LOCAL_MACHINE, else an open handle's key. Sets error on failure.
    Key* Resolve(HKEY hKey, LONG* error) const;
    // Walks path below key. ERROR_SUCCESS, ERROR_FILE_NOT_FOUND or ERROR_BAD_PATHNAME.
    static LONG Walk(Key* from, std::string_view path, std::shared_ptr<Key>* found);

    std::shared_ptr<Key> m_root;
    std::vector<std::shared_ptr<Key>> m_handles;  // slot i is handle kHandleBase + 4 * i
};
