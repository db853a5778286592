// The Reg* functions over the current user's hive. A handle names a key by
// its path, so that it stays meaningful when another process rewrites the file.
#include "registry/winreg.h"

#include "registry/hive_format.h"
#include "registry/hive_store.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <unordered_map>
#include <variant>

namespace kelvo::registry {
namespace {

using Path = std::vector<std::string>;

// Only the low 32 bits of a predefined root count, so a root kept in a 32-bit
// integer still works.
std::uint32_t Low32(HKEY hKey)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hKey));
}

struct KeyHandle {
    Path path;
    REGSAM sam = KEY_ALL_ACCESS;
};

class HandleTable {
public:
    HKEY Add(KeyHandle key)
    {
        std::lock_guard lock(mutex_);
        next_ += 4;  // never reused, so a closed handle stays invalid
        handles_.emplace(next_, std::move(key));
        return reinterpret_cast<HKEY>(next_);
    }

    // The key a handle names, or the code to answer with.
    std::variant<KeyHandle, LONG> Find(HKEY hKey)
    {
        if (Low32(hKey) == Low32(HKEY_CURRENT_USER)) return KeyHandle{};
        if (IsPredefined(hKey)) return ERROR_ACCESS_DENIED;  // no machine-wide hives here
        std::lock_guard lock(mutex_);
        auto it = handles_.find(reinterpret_cast<std::uintptr_t>(hKey));
        if (it == handles_.end()) return ERROR_INVALID_HANDLE;
        return it->second;
    }

    LONG Remove(HKEY hKey)
    {
        if (IsPredefined(hKey)) return ERROR_SUCCESS;
        std::lock_guard lock(mutex_);
        return handles_.erase(reinterpret_cast<std::uintptr_t>(hKey)) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    }

    static bool IsPredefined(HKEY hKey) { return Low32(hKey) >= 0x80000000u && Low32(hKey) <= 0x80000006u; }

private:
    std::mutex mutex_;
    std::uintptr_t next_ = 0x1000;
    std::unordered_map<std::uintptr_t, KeyHandle> handles_;
};

HandleTable& Handles()
{
    static HandleTable table;
    return table;
}

// Splits a subkey path; NULL and "" name the key itself.
LONG SplitSubKey(LPCSTR lpSubKey, Path& out)
{
    if (lpSubKey == nullptr || *lpSubKey == '\0') return ERROR_SUCCESS;
    std::string_view rest(lpSubKey);
    if (rest.front() == '\\') return ERROR_BAD_PATHNAME;
    while (rest.back() == '\\') rest.remove_suffix(1);  // trailing backslashes name the key itself
    while (true) {
        std::size_t slash = rest.find('\\');
        std::string_view name = rest.substr(0, slash);
        if (name.empty()) return ERROR_BAD_PATHNAME;
        if (!IsValidKeyName(name)) return ERROR_INVALID_PARAMETER;
        out.emplace_back(name);
        if (out.size() > kMaxKeyDepth) return ERROR_BAD_PATHNAME;
        if (slash == std::string_view::npos) return ERROR_SUCCESS;
        rest.remove_prefix(slash + 1);
    }
}

template <typename Node>
Node* Resolve(Node& root, const Path& path)
{
    Node* key = &root;
    for (const std::string& name : path) {
        key = key->FindSubkey(name);
        if (key == nullptr) return nullptr;
    }
    return key;
}

// Runs `fn` on the key a handle names, read-only.
template <typename Fn>
LONG ReadKey(const KeyHandle& handle, REGSAM needed, Fn&& fn)
{
    if ((handle.sam & needed) != needed) return ERROR_ACCESS_DENIED;
    return CurrentUserHive().Read([&](const KeyNode& root) -> LONG {
        const KeyNode* key = Resolve(root, handle.path);
        if (key == nullptr) return ERROR_KEY_DELETED;
        return fn(*key);
    });
}

template <typename Fn>
LONG ReadKey(HKEY hKey, REGSAM needed, Fn&& fn)
{
    auto found = Handles().Find(hKey);
    if (auto* code = std::get_if<LONG>(&found)) return *code;
    return ReadKey(std::get<KeyHandle>(found), needed, std::forward<Fn>(fn));
}

// Runs `fn` on the key a handle names, under the file lock; fn sets `changed`.
template <typename Fn>
LONG ModifyKey(const KeyHandle& handle, REGSAM needed, Fn&& fn)
{
    if ((handle.sam & needed) != needed) return ERROR_ACCESS_DENIED;
    return CurrentUserHive().Modify([&](KeyNode& root, bool& changed) -> LONG {
        KeyNode* key = Resolve(root, handle.path);
        if (key == nullptr) return ERROR_KEY_DELETED;
        return fn(*key, changed);
    });
}

template <typename Fn>
LONG ModifyKey(HKEY hKey, REGSAM needed, Fn&& fn)
{
    auto found = Handles().Find(hKey);
    if (auto* code = std::get_if<LONG>(&found)) return *code;
    return ModifyKey(std::get<KeyHandle>(found), needed, std::forward<Fn>(fn));
}

void CopyName(const std::string& name, LPSTR out)
{
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '\0';
}

std::string_view ValueName(LPCSTR lpValueName)
{
    return lpValueName == nullptr ? std::string_view() : std::string_view(lpValueName);
}

bool IsString(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The value's data into a buffer that holds it; a string stored without its
// terminator gets one where there is room, not counted in the size.
void CopyData(const RegValue& value, LPBYTE out, DWORD capacity)
{
    const std::size_t size = value.data.size();
    if (size > 0) std::memcpy(out, value.data.data(), size);
    if (IsString(value.type) && size > 0 && value.data.back() != 0 && capacity > size) out[size] = 0;
}

// The name of a key's subkey by index. Callers count 0, 1, 2, ...: each key
// keeps where the last call left off, so that listing n subkeys takes n
// steps, not n * n / 2. Runs under the hive's lock; forgotten when the tree
// is read anew or changed.
const std::string* SubkeyAt(const KeyNode& key, DWORD index)
{
    struct Cursor {
        DWORD index;
        std::map<std::string, KeyNode, NameLess>::const_iterator at;
    };
    static std::uint64_t generation = 0;
    static std::unordered_map<const KeyNode*, Cursor> cursors;
    if (index >= key.subkeys.size()) return nullptr;
    if (generation != CurrentUserHive().Generation()) {
        cursors.clear();
        generation = CurrentUserHive().Generation();
    }
    auto [it, added] = cursors.try_emplace(&key, Cursor{0, key.subkeys.begin()});
    Cursor& cursor = it->second;
    if (cursor.index > index) cursor = {0, key.subkeys.begin()};
    cursor.at = std::next(cursor.at, index - cursor.index);
    cursor.index = index;
    return &cursor.at->first;
}

// Generic rights and MAXIMUM_ALLOWED as key rights; the user has full control of their own hive.
REGSAM KeyRights(REGSAM sam)
{
    if (sam & (MAXIMUM_ALLOWED | GENERIC_ALL)) sam |= KEY_ALL_ACCESS;
    if (sam & (GENERIC_READ | GENERIC_EXECUTE)) sam |= KEY_READ;
    if (sam & GENERIC_WRITE) sam |= KEY_WRITE;
    return sam;
}

}  // namespace
}  // namespace kelvo::registry

using namespace kelvo::registry;

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired, PHKEY phkResult)
{
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;  // whatever fails below
    auto found = Handles().Find(hKey);
    if (auto* code = std::get_if<LONG>(&found)) return *code;
    Path sub;
    if (LONG status = SplitSubKey(lpSubKey, sub); status != ERROR_SUCCESS) return status;
    KeyHandle parent = std::get<KeyHandle>(found);
    Path full;
    LONG status = ReadKey(parent, 0, [&](const KeyNode& start) -> LONG {
        const KeyNode* key = &start;
        for (const std::string& name : sub) {
            auto it = key->subkeys.find(name);
            if (it == key->subkeys.end()) return ERROR_FILE_NOT_FOUND;
            full.push_back(it->first);  // the case it was created with
            key = &it->second;
        }
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    parent.path.insert(parent.path.end(), full.begin(), full.end());
    parent.sam = KeyRights(samDesired);
    *phkResult = Handles().Add(std::move(parent));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*Reserved*/, LPSTR /*lpClass*/, DWORD dwOptions,
                     REGSAM samDesired, const LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                     LPDWORD lpdwDisposition)
{
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;  // whatever fails below
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    auto found = Handles().Find(hKey);
    if (auto* code = std::get_if<LONG>(&found)) return *code;
    // A file-backed hive cannot hold keys that vanish at restart.
    if (dwOptions & REG_OPTION_VOLATILE) return ERROR_INVALID_PARAMETER;
    Path sub;
    if (LONG status = SplitSubKey(lpSubKey, sub); status != ERROR_SUCCESS) return status;

    KeyHandle parent = std::get<KeyHandle>(found);
    Path full;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    auto walk = [&](KeyNode& parent, bool create, bool& changed) -> LONG {
        full.clear();
        KeyNode* key = &parent;
        for (const std::string& name : sub) {
            auto it = key->subkeys.find(name);
            if (it == key->subkeys.end()) {
                if (!create) return ERROR_FILE_NOT_FOUND;
                it = key->subkeys.emplace(name, KeyNode{}).first;
                changed = true;
                disposition = REG_CREATED_NEW_KEY;
            }
            full.push_back(it->first);
            key = &it->second;
        }
        return ERROR_SUCCESS;
    };
    // Opening an existing key needs neither the lock nor a write.
    bool unused = false;
    LONG status = ReadKey(parent, 0, [&](const KeyNode& key) {
        return walk(const_cast<KeyNode&>(key), false, unused);
    });
    if (status == ERROR_FILE_NOT_FOUND) {
        // As in Windows, the parent handle's rights are not asked for.
        status = ModifyKey(parent, 0, [&](KeyNode& key, bool& changed) {
            return walk(key, true, changed);
        });
    }
    if (status != ERROR_SUCCESS) return status;
    parent.path.insert(parent.path.end(), full.begin(), full.end());
    parent.sam = KeyRights(samDesired);
    *phkResult = Handles().Add(std::move(parent));
    if (lpdwDisposition != nullptr) *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey)
{
    return Handles().Remove(hKey);
}

LONG RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult)
{
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (lpMachineName != nullptr && *lpMachineName != '\0') return ERROR_BAD_NETPATH;  // no remote registry
    if (!HandleTable::IsPredefined(hKey)) return ERROR_INVALID_HANDLE;
    auto found = Handles().Find(hKey);
    if (auto* code = std::get_if<LONG>(&found)) return *code;
    *phkResult = Handles().Add(std::get<KeyHandle>(found));
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData)
{
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) return ERROR_INVALID_PARAMETER;
    return ReadKey(hKey, KEY_QUERY_VALUE, [&](const KeyNode& key) -> LONG {
        const RegValue* value = key.FindValue(ValueName(lpValueName));
        if (value == nullptr) return ERROR_FILE_NOT_FOUND;
        const DWORD capacity = lpcbData != nullptr ? *lpcbData : 0;  // read first: lpType may point at it too
        if (lpType != nullptr) *lpType = value->type;
        const auto size = static_cast<DWORD>(value->data.size());
        if (lpData != nullptr) {
            if (capacity < size) {
                *lpcbData = size;
                return ERROR_MORE_DATA;
            }
            CopyData(*value, lpData, capacity);
        }
        if (lpcbData != nullptr) *lpcbData = size;
        return ERROR_SUCCESS;
    });
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD /*Reserved*/, DWORD dwType, const BYTE* lpData,
                    DWORD cbData)
{
    if (lpData == nullptr && cbData > 0) return ERROR_NOACCESS;
    std::string_view name = ValueName(lpValueName);
    if (!IsValidValueName(name) || cbData > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
    // A terminator the length leaves out is stored too when it follows the text, as Windows does.
    if (IsString(dwType) && cbData > 0 && lpData[cbData - 1] != 0 && lpData[cbData] == 0) ++cbData;
    std::vector<BYTE> data(lpData, lpData + cbData);
    // A value stored already is not written again: no lock, no new file, and
    // no failure where nothing needed to change (a read-only folder).
    const auto stored = [&](const KeyNode& key) {
        const RegValue* existing = key.FindValue(name);
        return existing != nullptr && existing->type == dwType && existing->data == data;
    };
    bool same = false;
    if (ReadKey(hKey, KEY_SET_VALUE, [&](const KeyNode& key) -> LONG {
            same = stored(key);
            return ERROR_SUCCESS;
        }) == ERROR_SUCCESS &&
        same)
        return ERROR_SUCCESS;
    return ModifyKey(hKey, KEY_SET_VALUE, [&](KeyNode& key, bool& changed) -> LONG {
        if (stored(key)) return ERROR_SUCCESS;
        key.SetValue(name, dwType, std::move(data));
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    auto found = Handles().Find(hKey);
    if (auto* code = std::get_if<LONG>(&found)) return *code;
    const Path own = std::get<KeyHandle>(found).path;
    Path sub;
    if (LONG status = SplitSubKey(lpSubKey, sub); status != ERROR_SUCCESS) return status;
    // "" names the handle's own key; the root itself is never deleted.
    Path path = own;
    path.insert(path.end(), sub.begin(), sub.end());
    if (path.empty()) return ERROR_ACCESS_DENIED;
    const std::string last = path.back();
    path.pop_back();
    return CurrentUserHive().Modify([&](KeyNode& root, bool& changed) -> LONG {
        if (Resolve(root, own) == nullptr) return ERROR_KEY_DELETED;
        KeyNode* parent = Resolve(root, path);
        if (parent == nullptr) return ERROR_FILE_NOT_FOUND;
        auto it = parent->subkeys.find(last);
        if (it == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
        if (!it->second.subkeys.empty()) return ERROR_ACCESS_DENIED;  // as Windows NT answers
        parent->subkeys.erase(it);
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    return ModifyKey(hKey, KEY_SET_VALUE, [&](KeyNode& key, bool& changed) -> LONG {
        if (!key.RemoveValue(ValueName(lpValueName))) return ERROR_FILE_NOT_FOUND;
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName)
{
    if (lpName == nullptr) return ERROR_INVALID_PARAMETER;
    return ReadKey(hKey, KEY_ENUMERATE_SUB_KEYS, [&](const KeyNode& key) -> LONG {
        const std::string* at = SubkeyAt(key, dwIndex);
        if (at == nullptr) return ERROR_NO_MORE_ITEMS;
        const std::string& name = *at;
        if (name.size() + 1 > cchName) return ERROR_MORE_DATA;
        CopyName(name, lpName);
        return ERROR_SUCCESS;
    });
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                   LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr ||
        (lpClass != nullptr && lpcchClass == nullptr))
        return ERROR_INVALID_PARAMETER;
    return ReadKey(hKey, KEY_ENUMERATE_SUB_KEYS, [&](const KeyNode& key) -> LONG {
        const std::string* at = SubkeyAt(key, dwIndex);
        if (at == nullptr) return ERROR_NO_MORE_ITEMS;
        const std::string& name = *at;
        if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
        CopyName(name, lpName);
        *lpcchName = static_cast<DWORD>(name.size());
        // Key classes are not kept: every class is empty.
        if (lpClass != nullptr && *lpcchClass > 0) lpClass[0] = '\0';
        if (lpcchClass != nullptr) *lpcchClass = 0;
        if (lpftLastWriteTime != nullptr) *lpftLastWriteTime = FILETIME{};
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
        (lpData != nullptr && lpcbData == nullptr))
        return ERROR_INVALID_PARAMETER;
    return ReadKey(hKey, KEY_QUERY_VALUE, [&](const KeyNode& key) -> LONG {
        if (dwIndex >= key.values.size()) return ERROR_NO_MORE_ITEMS;
        const RegValue& value = key.values[dwIndex];
        const DWORD capacity = lpcbData != nullptr ? *lpcbData : 0;
        const auto size = static_cast<DWORD>(value.data.size());
        const bool nameFits = value.name.size() < *lpcchValueName;
        const bool dataFits = lpData == nullptr || capacity >= size;
        // Type and size are answered even when something does not fit.
        if (lpType != nullptr) *lpType = value.type;
        if (lpcbData != nullptr) *lpcbData = size;
        if (lpData != nullptr && dataFits) CopyData(value, lpData, capacity);
        if (!nameFits || !dataFits) return ERROR_MORE_DATA;
        CopyName(value.name, lpValueName);
        *lpcchValueName = static_cast<DWORD>(value.name.size());
        return ERROR_SUCCESS;
    });
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      PFILETIME lpftLastWriteTime)
{
    if (lpReserved != nullptr || (lpClass != nullptr && lpcchClass == nullptr)) return ERROR_INVALID_PARAMETER;
    return ReadKey(hKey, KEY_QUERY_VALUE, [&](const KeyNode& key) -> LONG {
        if (lpClass != nullptr && *lpcchClass > 0) lpClass[0] = '\0';
        if (lpcchClass != nullptr) *lpcchClass = 0;
        DWORD maxSubKey = 0, maxName = 0, maxData = 0;
        for (const auto& [name, subkey] : key.subkeys) maxSubKey = std::max(maxSubKey, static_cast<DWORD>(name.size()));
        for (const RegValue& value : key.values) {
            maxName = std::max(maxName, static_cast<DWORD>(value.name.size()));
            // Windows keeps strings as UTF-16: two bytes a character of the 8-bit code page.
            const auto stored = static_cast<DWORD>(value.data.size() * (IsString(value.type) ? 2 : 1));
            maxData = std::max(maxData, stored);
        }
        if (lpcSubKeys != nullptr) *lpcSubKeys = static_cast<DWORD>(key.subkeys.size());
        if (lpcbMaxSubKeyLen != nullptr) *lpcbMaxSubKeyLen = maxSubKey;
        if (lpcbMaxClassLen != nullptr) *lpcbMaxClassLen = 0;
        if (lpcValues != nullptr) *lpcValues = static_cast<DWORD>(key.values.size());
        if (lpcbMaxValueNameLen != nullptr) *lpcbMaxValueNameLen = maxName;
        if (lpcbMaxValueLen != nullptr) *lpcbMaxValueLen = maxData;
        if (lpcbSecurityDescriptor != nullptr) *lpcbSecurityDescriptor = 0;
        if (lpftLastWriteTime != nullptr) *lpftLastWriteTime = FILETIME{};
        return ERROR_SUCCESS;
    });
}
