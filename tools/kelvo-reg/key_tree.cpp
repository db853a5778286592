#include "key_tree.h"

#include <vector>

namespace kelvo::reg_tool {

LONG ReadTree(HKEY hKey, registry::KeyNode& out)
{
    // One call per value, by index: a key with many values stays linear.
    std::string name(registry::kMaxValueNameLength + 1, '\0');
    std::vector<BYTE> data(256);
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
        LONG status = RegEnumValueA(hKey, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_MORE_DATA && dataLength > data.size()) {
            data.resize(dataLength);  // the same value again, with room for it
            continue;
        }
        if (status != ERROR_SUCCESS) return status;
        out.values.push_back({name.substr(0, nameLength), type, {data.begin(), data.begin() + dataLength}});
        ++index;
    }
    for (DWORD index = 0;; ++index) {
        char name[registry::kMaxKeyNameLength + 1];
        LONG status = RegEnumKeyA(hKey, index, name, sizeof name);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return status;
        registry::UniqueKey sub;
        status = RegOpenKeyExA(hKey, name, 0, KEY_READ, sub.put());
        if (status != ERROR_SUCCESS) return status;
        status = ReadTree(sub.get(), out.subkeys[name]);
        if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

LONG DeleteTree(HKEY hParent, const std::string& sName)
{
    registry::UniqueKey key;
    LONG status = RegOpenKeyExA(hParent, sName.c_str(), 0, KEY_ALL_ACCESS, key.put());
    if (status != ERROR_SUCCESS) return status;
    std::vector<std::string> children;
    for (DWORD index = 0;; ++index) {
        char name[registry::kMaxKeyNameLength + 1];
        status = RegEnumKeyA(key.get(), index, name, sizeof name);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return status;
        children.emplace_back(name);
    }
    for (const std::string& child : children) {
        status = DeleteTree(key.get(), child);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
    }
    return RegDeleteKeyA(hParent, sName.c_str());
}

std::string DescribeError(LONG lStatus)
{
    switch (lStatus) {
    case ERROR_FILE_NOT_FOUND: return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_INVALID_HANDLE: return "The handle is invalid.";
    case ERROR_BAD_NETPATH: return "The network path was not found.";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
    case ERROR_BAD_PATHNAME: return "The specified path is invalid.";
    case ERROR_DISK_FULL: return "There is not enough space on the disk.";
    case ERROR_WRITE_FAULT: return "The system cannot write to the registry file.";
    case ERROR_KEY_DELETED: return "The key has been deleted by another program.";
    default: return "Error " + std::to_string(lStatus) + ".";
    }
}

}  // namespace kelvo::reg_tool
