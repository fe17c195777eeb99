// The simulated registry: two hives, HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, with open handles,
// behaving as Windows NT does for the calls the tool makes (case-insensitive names, no deletion of keys
// that have subkeys, enumeration in NT's order ending in ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA for a value
// larger than the buffer). A hive can be made read-only, as HKEY_LOCAL_MACHINE is to a standard user.
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
        HKEY hive = nullptr;  // the predefined key this one lies under
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
    LONG DeleteValue(HKEY hKey, LPCSTR valueName);
    LONG CloseKey(HKEY hKey);

    // A standard user may open and read a protected hive but not delete anything in it
    // (RegDeleteKey answers ERROR_ACCESS_DENIED). Direct access below is not checked.
    void ProtectHive(HKEY hive, bool isProtected);

    // Direct access by path below a hive (HKEY_LOCAL_MACHINE where none is named), with the same path
    // rules as the calls.
    std::shared_ptr<Key> Find(std::string_view path) const { return Find(HKEY_LOCAL_MACHINE, path); }
    std::shared_ptr<Key> Find(HKEY hive, std::string_view path) const;
    std::shared_ptr<Key> Create(std::string_view path) { return Create(HKEY_LOCAL_MACHINE, path); }
    std::shared_ptr<Key> Create(HKEY hive, std::string_view path);  // null for a bad path or an unknown hive
    bool SetValue(std::string_view path, std::string_view name, DWORD type, const void* data, size_t size) {
        return SetValue(HKEY_LOCAL_MACHINE, path, name, type, data, size);
    }
    bool SetValue(HKEY hive, std::string_view path, std::string_view name, DWORD type, const void* data, size_t size);
    bool RemoveValue(HKEY hive, std::string_view path, std::string_view name);
    static const Value* FindValue(const Key& key, std::string_view name);
    size_t OpenHandles() const;

    static bool EqualNames(std::string_view a, std::string_view b);

private:
    // Resolves a handle: a hive's root for a predefined key, else an open handle's key. Sets error on failure.
    Key* Resolve(HKEY hKey, LONG* error) const;
    std::shared_ptr<Key> Root(HKEY hive) const;
    // Walks path below key. ERROR_SUCCESS, ERROR_FILE_NOT_FOUND or ERROR_BAD_PATHNAME.
    static LONG Walk(Key* from, std::string_view path, std::shared_ptr<Key>* found);

    std::shared_ptr<Key> m_localMachine;
    std::shared_ptr<Key> m_currentUser;
    bool m_localMachineProtected = false;
    bool m_currentUserProtected = false;
    std::vector<std::shared_ptr<Key>> m_handles;  // slot i is handle kHandleBase + 4 * i
};
