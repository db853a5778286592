// The registry functions of advapi32 (ANSI forms), with the published names,
// signatures, constants and result codes. HKEY_CURRENT_USER is kept in the
// per-user hive file; the other predefined roots are refused.
#pragma once

#include "win32/win32.h"

#include <cstddef>

using REGSAM = DWORD;
using PHKEY = HKEY*;

#ifndef KELVO_FILETIME_DEFINED
#define KELVO_FILETIME_DEFINED
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;
#endif

#ifndef KELVO_SECURITY_ATTRIBUTES_DEFINED
#define KELVO_SECURITY_ATTRIBUTES_DEFINED
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
#endif

namespace kelvo::registry::detail {
// Predefined keys are sign-extended 32-bit values, as in the Windows headers.
inline HKEY PredefinedKey(DWORD value)
{
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}
}  // namespace kelvo::registry::detail

inline const HKEY HKEY_CLASSES_ROOT = kelvo::registry::detail::PredefinedKey(0x80000000);
inline const HKEY HKEY_CURRENT_USER = kelvo::registry::detail::PredefinedKey(0x80000001);
inline const HKEY HKEY_LOCAL_MACHINE = kelvo::registry::detail::PredefinedKey(0x80000002);
inline const HKEY HKEY_USERS = kelvo::registry::detail::PredefinedKey(0x80000003);
inline const HKEY HKEY_PERFORMANCE_DATA = kelvo::registry::detail::PredefinedKey(0x80000004);
inline const HKEY HKEY_CURRENT_CONFIG = kelvo::registry::detail::PredefinedKey(0x80000005);
inline const HKEY HKEY_DYN_DATA = kelvo::registry::detail::PredefinedKey(0x80000006);

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = KEY_READ;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
// Rights that an open maps onto the key rights above.
constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;
constexpr REGSAM GENERIC_ALL = 0x10000000;
constexpr REGSAM GENERIC_EXECUTE = 0x20000000;
constexpr REGSAM GENERIC_WRITE = 0x40000000;
constexpr REGSAM GENERIC_READ = 0x80000000;

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Key options and dispositions.
constexpr DWORD REG_OPTION_RESERVED = 0x0;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0;
constexpr DWORD REG_OPTION_VOLATILE = 0x1;
constexpr DWORD REG_CREATED_NEW_KEY = 0x1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 0x2;

// Result codes the registry reports beyond those of win32.h.
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_DISK_FULL = 112;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_NOACCESS = 998;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_KEY_DELETED = 1018;

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
LONG RegCloseKey(HKEY hKey);
LONG RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult);
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName);
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                   LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      PFILETIME lpftLastWriteTime);

namespace kelvo::registry {

// Owns one open key and closes it when it goes; predefined roots pass through.
class UniqueKey {
public:
    UniqueKey() = default;
    explicit UniqueKey(HKEY hKey) : hKey_(hKey) {}
    UniqueKey(UniqueKey&& other) noexcept : hKey_(other.release()) {}
    UniqueKey& operator=(UniqueKey&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;
    ~UniqueKey() { reset(); }

    HKEY get() const { return hKey_; }
    PHKEY put()
    {
        reset();
        return &hKey_;
    }
    HKEY release()
    {
        HKEY h = hKey_;
        hKey_ = nullptr;
        return h;
    }
    void reset(HKEY hKey = nullptr)
    {
        if (hKey_ != nullptr) RegCloseKey(hKey_);
        hKey_ = hKey;
    }
    explicit operator bool() const { return hKey_ != nullptr; }

private:
    HKEY hKey_ = nullptr;
};

}  // namespace kelvo::registry
