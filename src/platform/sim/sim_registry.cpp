// The simulated registry's tree, handles and Windows NT call semantics.
#include "platform/sim/sim_registry.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uintptr_t kHandleBase = 0x1000;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// NT keeps subkeys sorted by their upper-cased names (RtlCompareUnicodeString with case folding to upper
// case), so "_x" sorts after "Ax" although it sorts before "ax" in a lower-case comparison.
bool LessNames(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = Upper(a[i]);
        const char y = Upper(b[i]);
        if (x != y) {
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        }
    }
    return a.size() < b.size();
}

// Splits the path into its components. As on Windows: a path that starts with a backslash is a bad path
// name, and trailing separators are skipped (Wine's advapi32 tests, which pass on Windows too, open
// "Software\\Wine\\Test\\\\"); a run of separators inside a path counts as one, as NT's key-name
// parser skips every separator before a name (ReactOS's CmpGetNextName, written to match it).
bool SplitPath(std::string_view path, std::vector<std::string_view>* components) {
    if (!path.empty() && path.front() == '\\') {
        return false;
    }
    while (!path.empty()) {
        const size_t slash = path.find('\\');
        const std::string_view component = path.substr(0, slash);
        if (!component.empty()) {
            components->push_back(component);
        }
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return true;
}

std::shared_ptr<CSimRegistry::Key> FindChild(const CSimRegistry::Key& key, std::string_view name) {
    for (const auto& child : key.subkeys) {
        if (CSimRegistry::EqualNames(child->name, name)) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace

bool CSimRegistry::EqualNames(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) {
            return false;
        }
    }
    return true;
}

CSimRegistry::CSimRegistry() : m_localMachine(std::make_shared<Key>()), m_currentUser(std::make_shared<Key>()) {
    m_localMachine->name = "HKEY_LOCAL_MACHINE";
    m_localMachine->hive = HKEY_LOCAL_MACHINE;
    m_currentUser->name = "HKEY_CURRENT_USER";
    m_currentUser->hive = HKEY_CURRENT_USER;
}

std::shared_ptr<CSimRegistry::Key> CSimRegistry::Root(HKEY hive) const {
    if (hive == HKEY_LOCAL_MACHINE) {
        return m_localMachine;
    }
    if (hive == HKEY_CURRENT_USER) {
        return m_currentUser;
    }
    return nullptr;
}

void CSimRegistry::ProtectHive(HKEY hive, bool isProtected) {
    if (hive == HKEY_LOCAL_MACHINE) {
        m_localMachineProtected = isProtected;
    } else if (hive == HKEY_CURRENT_USER) {
        m_currentUserProtected = isProtected;
    }
}

CSimRegistry::Key* CSimRegistry::Resolve(HKEY hKey, LONG* error) const {
    if (std::shared_ptr<Key> root = Root(hKey)) {
        return root.get();
    }
    const uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
    if (value < kHandleBase || (value - kHandleBase) % 4 != 0 || (value - kHandleBase) / 4 >= m_handles.size() ||
        !m_handles[(value - kHandleBase) / 4]) {
        *error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    Key* key = m_handles[(value - kHandleBase) / 4].get();
    if (key->deleted) {
        *error = ERROR_KEY_DELETED;
        return nullptr;
    }
    return key;
}

LONG CSimRegistry::Walk(Key* from, std::string_view path, std::shared_ptr<Key>* found) {
    std::vector<std::string_view> components;
    if (!SplitPath(path, &components)) {
        return ERROR_BAD_PATHNAME;
    }
    std::shared_ptr<Key> current;
    Key* at = from;
    for (const std::string_view component : components) {
        if (component.size() > kMaxKeyNameLength) {
            return ERROR_FILE_NOT_FOUND;
        }
        current = FindChild(*at, component);
        if (!current) {
            return ERROR_FILE_NOT_FOUND;
        }
        at = current.get();
    }
    if (!current) {
        return ERROR_BAD_PATHNAME;  // nothing but separators
    }
    *found = current;
    return ERROR_SUCCESS;
}

LONG CSimRegistry::OpenKey(HKEY hKey, LPCSTR subKey, HKEY* result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    LONG error = ERROR_SUCCESS;
    Key* from = Resolve(hKey, &error);
    if (from == nullptr) {
        *result = nullptr;
        return error;
    }
    if (subKey == nullptr || *subKey == '\0') {
        // RegOpenKey hands back the handle it was given for an empty path.
        *result = hKey;
        return ERROR_SUCCESS;
    }
    std::shared_ptr<Key> key;
    error = Walk(from, subKey, &key);
    if (error != ERROR_SUCCESS) {
        *result = nullptr;
        return error;
    }
    size_t slot = 0;
    while (slot < m_handles.size() && m_handles[slot]) {
        ++slot;
    }
    if (slot == m_handles.size()) {
        m_handles.emplace_back();
    }
    m_handles[slot] = key;
    *result = reinterpret_cast<HKEY>(kHandleBase + 4 * slot);
    return ERROR_SUCCESS;
}

const CSimRegistry::Value* CSimRegistry::FindValue(const Key& key, std::string_view name) {
    for (const Value& value : key.values) {
        if (EqualNames(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

LONG CSimRegistry::QueryValue(HKEY hKey, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                              DWORD* cbData) const {
    if (reserved != nullptr || (data != nullptr && cbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    LONG error = ERROR_SUCCESS;
    const Key* key = Resolve(hKey, &error);
    if (key == nullptr) {
        return error;
    }
    const Value* value = FindValue(*key, valueName != nullptr ? valueName : "");
    if (value == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    const DWORD size = static_cast<DWORD>(value->data.size());
    if (data != nullptr) {
        if (*cbData < size) {
            // As on Windows: the size needed comes back and the buffer is not filled.
            *cbData = size;
            return ERROR_MORE_DATA;
        }
        if (size != 0) {
            std::memcpy(data, value->data.data(), size);
        }
    }
    if (cbData != nullptr) {
        *cbData = size;
    }
    return ERROR_SUCCESS;
}

LONG CSimRegistry::EnumKey(HKEY hKey, DWORD index, LPSTR name, DWORD cchName) const {
    LONG error = ERROR_SUCCESS;
    const Key* key = Resolve(hKey, &error);
    if (key == nullptr) {
        return error;
    }
    if (name == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (index >= key->subkeys.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const std::string& subName = key->subkeys[index]->name;
    if (subName.size() + 1 > cchName) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, subName.c_str(), subName.size() + 1);
    return ERROR_SUCCESS;
}

LONG CSimRegistry::DeleteKey(HKEY hKey, LPCSTR subKey, std::shared_ptr<Key>* deletedKey) {
    LONG error = ERROR_SUCCESS;
    Key* from = Resolve(hKey, &error);
    if (from == nullptr) {
        return error;
    }
    if (subKey == nullptr || *subKey == '\0') {
        return ERROR_INVALID_PARAMETER;
    }
    std::shared_ptr<Key> key;
    error = Walk(from, subKey, &key);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    if (!key->subkeys.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    // A standard user's token grants no DELETE on HKLM\\System (Microsoft's documentation of registry
    // key security); RegOpenKey asks for MAXIMUM_ALLOWED, so opening still works and the deletion fails.
    if ((key->hive == HKEY_LOCAL_MACHINE && m_localMachineProtected) ||
        (key->hive == HKEY_CURRENT_USER && m_currentUserProtected)) {
        return ERROR_ACCESS_DENIED;
    }
    auto& siblings = key->parent->subkeys;
    siblings.erase(std::find(siblings.begin(), siblings.end(), key));
    key->deleted = true;
    key->parent = nullptr;
    if (deletedKey != nullptr) {
        *deletedKey = key;
    }
    return ERROR_SUCCESS;
}

LONG CSimRegistry::DeleteValue(HKEY hKey, LPCSTR valueName) {
    LONG error = ERROR_SUCCESS;
    Key* key = Resolve(hKey, &error);
    if (key == nullptr) {
        return error;
    }
    auto& values = key->values;
    const std::string_view name = valueName != nullptr ? valueName : "";
    auto it = std::find_if(values.begin(), values.end(), [&](const Value& v) { return EqualNames(v.name, name); });
    if (it == values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    // As for keys: a standard user's handle to HKLM\System grants no write access.
    if ((key->hive == HKEY_LOCAL_MACHINE && m_localMachineProtected) ||
        (key->hive == HKEY_CURRENT_USER && m_currentUserProtected)) {
        return ERROR_ACCESS_DENIED;
    }
    values.erase(it);
    return ERROR_SUCCESS;
}

LONG CSimRegistry::CloseKey(HKEY hKey) {
    if (Root(hKey)) {
        return ERROR_SUCCESS;
    }
    const uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
    if (value < kHandleBase || (value - kHandleBase) % 4 != 0 || (value - kHandleBase) / 4 >= m_handles.size() ||
        !m_handles[(value - kHandleBase) / 4]) {
        return ERROR_INVALID_HANDLE;
    }
    m_handles[(value - kHandleBase) / 4].reset();
    return ERROR_SUCCESS;
}

std::shared_ptr<CSimRegistry::Key> CSimRegistry::Find(HKEY hive, std::string_view path) const {
    std::shared_ptr<Key> root = Root(hive);
    if (!root || path.empty()) {
        return root;
    }
    std::shared_ptr<Key> key;
    return Walk(root.get(), path, &key) == ERROR_SUCCESS ? key : nullptr;
}

std::shared_ptr<CSimRegistry::Key> CSimRegistry::Create(HKEY hive, std::string_view path) {
    std::shared_ptr<Key> current = Root(hive);
    std::vector<std::string_view> components;
    if (!current || !SplitPath(path, &components)) {
        return nullptr;
    }
    for (const std::string_view component : components) {
        if (component.size() > kMaxKeyNameLength) {
            return nullptr;
        }
        std::shared_ptr<Key> child = FindChild(*current, component);
        if (!child) {
            child = std::make_shared<Key>();
            child->name = std::string(component);
            child->parent = current.get();
            child->hive = hive;
            auto& siblings = current->subkeys;
            siblings.insert(std::upper_bound(siblings.begin(), siblings.end(), child,
                                             [](const auto& a, const auto& b) { return LessNames(a->name, b->name); }),
                            child);
        }
        current = child;
    }
    return current;
}

bool CSimRegistry::SetValue(HKEY hive, std::string_view path, std::string_view name, DWORD type, const void* data,
                            size_t size) {
    if (name.size() > kMaxValueNameLength) {
        return false;
    }
    std::shared_ptr<Key> key = Create(hive, path);
    if (!key) {
        return false;
    }
    const BYTE* bytes = static_cast<const BYTE*>(data);
    for (Value& value : key->values) {
        if (EqualNames(value.name, name)) {
            value.type = type;
            value.data.assign(bytes, bytes + size);
            return true;
        }
    }
    key->values.push_back(Value{std::string(name), type, std::vector<BYTE>(bytes, bytes + size)});
    return true;
}

bool CSimRegistry::RemoveValue(HKEY hive, std::string_view path, std::string_view name) {
    std::shared_ptr<Key> key = Find(hive, path);
    if (!key) {
        return false;
    }
    auto& values = key->values;
    auto it = std::find_if(values.begin(), values.end(), [&](const Value& v) { return EqualNames(v.name, name); });
    if (it == values.end()) {
        return false;
    }
    values.erase(it);
    return true;
}

size_t CSimRegistry::OpenHandles() const {
    return static_cast<size_t>(std::count_if(m_handles.begin(), m_handles.end(), [](const auto& h) { return h != nullptr; }));
}
