// The simulated registry's tree, handles and Windows NT call semantics.
#include "platform/sim/sim_registry.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uintptr_t kHandleBase = 0x1000;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool LessNames(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = Lower(a[i]);
        const char y = Lower(b[i]);
        if (x != y) {
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        }
    }
    return a.size() < b.size();
}

// Splits off the first component of path; false when it is empty.
bool NextComponent(std::string_view& path, std::string_view& component) {
    const size_t slash = path.find('\\');
    component = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (slash != std::string_view::npos && path.empty()) {
        return false;  // a trailing backslash leaves an empty last component
    }
    return !component.empty();
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
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

CSimRegistry::CSimRegistry() : m_root(std::make_shared<Key>()) { m_root->name = "HKEY_LOCAL_MACHINE"; }

CSimRegistry::Key* CSimRegistry::Resolve(HKEY hKey, LONG* error) const {
    if (hKey == HKEY_LOCAL_MACHINE) {
        return m_root.get();
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
    std::shared_ptr<Key> current;
    Key* at = from;
    std::string_view component;
    while (!path.empty()) {
        if (!NextComponent(path, component)) {
            return ERROR_BAD_PATHNAME;
        }
        if (component.size() > kMaxKeyNameLength) {
            return ERROR_FILE_NOT_FOUND;
        }
        current = FindChild(*at, component);
        if (!current) {
            return ERROR_FILE_NOT_FOUND;
        }
        at = current.get();
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
    auto& siblings = key->parent->subkeys;
    siblings.erase(std::find(siblings.begin(), siblings.end(), key));
    key->deleted = true;
    key->parent = nullptr;
    if (deletedKey != nullptr) {
        *deletedKey = key;
    }
    return ERROR_SUCCESS;
}

LONG CSimRegistry::CloseKey(HKEY hKey) {
    if (hKey == HKEY_LOCAL_MACHINE) {
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

std::shared_ptr<CSimRegistry::Key> CSimRegistry::Find(std::string_view path) const {
    if (path.empty()) {
        return m_root;
    }
    std::shared_ptr<Key> key;
    return Walk(m_root.get(), path, &key) == ERROR_SUCCESS ? key : nullptr;
}

std::shared_ptr<CSimRegistry::Key> CSimRegistry::Create(std::string_view path) {
    std::shared_ptr<Key> current = m_root;
    std::string_view component;
    while (!path.empty()) {
        if (!NextComponent(path, component) || component.size() > kMaxKeyNameLength) {
            return nullptr;
        }
        std::shared_ptr<Key> child = FindChild(*current, component);
        if (!child) {
            child = std::make_shared<Key>();
            child->name = std::string(component);
            child->parent = current.get();
            auto& siblings = current->subkeys;
            siblings.insert(std::upper_bound(siblings.begin(), siblings.end(), child,
                                             [](const auto& a, const auto& b) { return LessNames(a->name, b->name); }),
                            child);
        }
        current = child;
    }
    return current;
}

bool CSimRegistry::SetValue(std::string_view path, std::string_view name, DWORD type, const void* data, size_t size) {
    if (name.size() > kMaxValueNameLength) {
        return false;
    }
    std::shared_ptr<Key> key = Create(path);
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

bool CSimRegistry::RemoveValue(std::string_view path, std::string_view name) {
    std::shared_ptr<Key> key = Find(path);
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
