#include "settings/clsRegistry.h"

#include "common/RuntimeError.h"
#include "common/Routines.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

constexpr DWORD kNameBufferSize = 256;

// The registry keeps numbers little-endian whatever the processor does.
std::array<BYTE, 4> ToBytes(LONG lValue)
{
    const auto u = static_cast<DWORD>(lValue);
    return {static_cast<BYTE>(u), static_cast<BYTE>(u >> 8), static_cast<BYTE>(u >> 16), static_cast<BYTE>(u >> 24)};
}

LONG FromBytes(const std::array<BYTE, 4>& b)
{
    return static_cast<LONG>(static_cast<DWORD>(b[0]) | static_cast<DWORD>(b[1]) << 8 |
                             static_cast<DWORD>(b[2]) << 16 | static_cast<DWORD>(b[3]) << 24);
}

}  // namespace

clsRegistry::~clsRegistry()
{
    if (hCurrentKey != nullptr && bOwnsCurrentKey) lStatus = RegCloseKey(hCurrentKey);
}

void clsRegistry::SetCurrentKey(HKEY hKey, bool bOwned)
{
    if (hCurrentKey != nullptr && bOwnsCurrentKey && hCurrentKey != hKey) RegCloseKey(hCurrentKey);
    hCurrentKey = hKey;
    bOwnsCurrentKey = bOwned && hKey != nullptr;
}

void clsRegistry::CloseKey()
{
    if (hCurrentKey == nullptr) return;
    if (!bOwnsCurrentKey) {
        // A key the caller handed in is the caller's to close.
        hCurrentKey = nullptr;
        lStatus = ERROR_SUCCESS;
        return;
    }
    lStatus = RegCloseKey(hCurrentKey);
    if (lStatus == ERROR_SUCCESS) {
        hCurrentKey = nullptr;
        bOwnsCurrentKey = false;
    }
}

bool clsRegistry::CountKeys(LONG& lCount)
{
    std::array<char, kNameBufferSize> sClass{};
    DWORD lClassSize = kNameBufferSize;
    DWORD lSubKeys = 0;
    lStatus = RegQueryInfoKeyA(hCurrentKey, sClass.data(), &lClassSize, nullptr, &lSubKeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr);
    if (lStatus == ERROR_SUCCESS) lCount = static_cast<LONG>(lSubKeys);
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::CreateKey(const std::string& sKey, bool bMakeCurrent, std::optional<HKEY> lRoot)
{
    if (lRoot) SetCurrentKey(*lRoot, false);
    char sClass[] = "1";
    HKEY hNew = nullptr;
    DWORD lDisposition = 0;
    lStatus = RegCreateKeyExA(hCurrentKey, sKey.c_str(), 0, sClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &hNew, &lDisposition);
    if (lStatus == ERROR_SUCCESS) {
        if (bMakeCurrent) {
            SetCurrentKey(hNew, true);
        } else {
            RegCloseKey(hNew);  // nobody would ever close it otherwise
        }
    }
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::DeleteKey(const std::string& sKey)
{
    lStatus = RegDeleteKeyA(hCurrentKey, sKey.c_str());
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::DeleteValue(const std::string& sValue)
{
    lStatus = RegDeleteValueA(hCurrentKey, sValue.c_str());
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::GetKeyByValue(std::string& sKey, LONG lIndex)
{
    std::array<char, kNameBufferSize> sName{};
    DWORD lNameSize = kNameBufferSize;
    DWORD lClassSize = 0;
    lStatus = RegEnumKeyExA(hCurrentKey, static_cast<DWORD>(lIndex), sName.data(), &lNameSize, nullptr, nullptr,
                            &lClassSize, nullptr);
    if (lStatus == ERROR_SUCCESS) sKey.assign(sName.data(), lNameSize);
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::GetKeys(std::string& sBuffer)
{
    sBuffer.clear();
    for (DWORD lIndex = 0;; ++lIndex) {
        std::string sName(kNameBufferSize, ' ');
        lStatus = RegEnumKeyA(hCurrentKey, lIndex, sName.data(), kNameBufferSize);
        if (lStatus != ERROR_SUCCESS) break;
        sBuffer += TrimNull(sName, true);
        sBuffer += '\0';
    }
    return lStatus == ERROR_NO_MORE_ITEMS;
}

bool clsRegistry::GetValues(std::string& sBuffer)
{
    sBuffer.clear();
    for (DWORD lIndex = 0;; ++lIndex) {
        std::array<char, kNameBufferSize> sName{};
        DWORD lNameSize = kNameBufferSize;
        // Only names are listed, so a value with long data must not end the list.
        lStatus = RegEnumValueA(hCurrentKey, lIndex, sName.data(), &lNameSize, nullptr, nullptr, nullptr, nullptr);
        if (lStatus != ERROR_SUCCESS) break;
        sBuffer.append(sName.data(), lNameSize);
        sBuffer += '\0';
    }
    return lStatus == ERROR_NO_MORE_ITEMS;
}

bool clsRegistry::OpenKey(HKEY lRoot, const std::string& sKey, LONG lSam, const std::string& RemoteComputer)
{
    HKEY hNew = nullptr;
    if (RemoteComputer.empty()) {
        HKEY hParent = lRoot != nullptr ? lRoot : hCurrentKey;
        lStatus = RegOpenKeyExA(hParent, sKey.c_str(), 0, static_cast<REGSAM>(lSam), &hNew);
        SetCurrentKey(hNew, true);  // a failed open leaves no current key, never a stale one
        return lStatus == ERROR_SUCCESS;
    }
    lStatus = RegConnectRegistryA(RemoteComputer.c_str(), lRoot, &hNew);
    SetCurrentKey(hNew, true);
    if (lStatus != ERROR_SUCCESS) return false;
    hNew = nullptr;
    lStatus = RegOpenKeyExA(hCurrentKey, sKey.c_str(), 0, static_cast<REGSAM>(lSam), &hNew);
    SetCurrentKey(hNew, true);
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::ConnectRemote(const std::string& RemoteComputer, HKEY lRoot)
{
    HKEY hNew = nullptr;
    const LONG lResult = RegConnectRegistryA(RemoteComputer.c_str(), lRoot, &hNew);
    SetCurrentKey(hNew, true);
    return lResult == ERROR_SUCCESS;
}

bool clsRegistry::QueryValue()
{
    return false;
}

bool clsRegistry::ReadBooleanValue(const std::string& sKey, bool& bValue, std::optional<BooleanDefault> bDefault)
{
    std::array<char, 2> buffer{' ', ' '};
    DWORD lLength = static_cast<DWORD>(buffer.size());
    lStatus = RegQueryValueExA(hCurrentKey, sKey.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer.data()),
                               &lLength);
    std::string sBuffer(buffer.data(), buffer.size());
    if (lStatus != ERROR_FILE_NOT_FOUND) {
        if (lLength < sBuffer.size()) sBuffer.resize(lLength);
    } else if (bDefault) {
        if (bDefault->CountsAsTrue()) sBuffer = "y";
        lStatus = ERROR_SUCCESS;
    }
    bValue = !sBuffer.empty() && std::tolower(static_cast<unsigned char>(sBuffer[0])) == 'y';
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::ReadLongValue(const std::string& sKey, LONG& lValue, std::optional<double> lDefault)
{
    auto bytes = ToBytes(lValue);
    DWORD lLength = static_cast<DWORD>(bytes.size());
    lStatus = RegQueryValueExA(hCurrentKey, sKey.c_str(), nullptr, nullptr, bytes.data(), &lLength);
    lValue = FromBytes(bytes);
    if (lStatus == ERROR_FILE_NOT_FOUND && lDefault) {
        lValue = RoundTo<std::int32_t>(*lDefault);
        lStatus = ERROR_SUCCESS;
    }
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::ReadIntegerValue(const std::string& sKey, std::int16_t& iValue, std::optional<double> lDefault)
{
    std::array<BYTE, 4> bytes{};
    DWORD lLength = static_cast<DWORD>(bytes.size());
    lStatus = RegQueryValueExA(hCurrentKey, sKey.c_str(), nullptr, nullptr, bytes.data(), &lLength);
    LONG lWork = FromBytes(bytes);
    if (lStatus == ERROR_FILE_NOT_FOUND && lDefault) {
        lWork = RoundTo<std::int32_t>(*lDefault);
        lStatus = ERROR_SUCCESS;
    }
    iValue = NarrowTo<std::int16_t>(lWork);
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::ReadStringValue(const std::string& sKey, std::string& sValue, const std::string& sDefault,
                                  HKEY lRoot)
{
    HKEY hKey = lRoot != nullptr ? lRoot : hCurrentKey;
    LONG lSize = 256;
    for (;;) {
        sValue.assign(static_cast<std::size_t>(lSize), ' ');
        DWORD lLength = static_cast<DWORD>(lSize);
        lStatus = RegQueryValueExA(hKey, sKey.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(sValue.data()),
                                   &lLength);
        if (lStatus == ERROR_SUCCESS) {
            sValue.resize(lLength);
            // Only a terminating NUL is dropped: a text stored without one keeps its last character.
            if (!sValue.empty() && sValue.back() == '\0') sValue.pop_back();
            break;
        }
        if (lStatus == ERROR_FILE_NOT_FOUND) {
            if (!sDefault.empty()) {
                sValue = sDefault;
                lStatus = ERROR_SUCCESS;
            }
            break;
        }
        if (lStatus != ERROR_MORE_DATA) break;
        // Straight to the reported length, so a large text is not read in 256-byte steps.
        lSize = std::max(CheckedAdd(lSize, 256), NarrowTo<LONG>(lLength));
    }
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::LoadHugeObject(const std::string& sKey, HGLOBAL& hGlobal, LONG lFlags, LONG lBufferSize,
                                 HKEY lRoot, const std::string& RemoteComputer)
{
    if (lBufferSize <= 0) {
        lStatus = ERROR_INVALID_PARAMETER;  // the block would never grow
        return false;
    }
    HKEY hKey = lRoot != nullptr ? lRoot : hCurrentKey;
    if (!RemoteComputer.empty()) {
        HKEY hRemote = nullptr;
        lStatus = RegConnectRegistryA(RemoteComputer.c_str(), lRoot, &hRemote);
        SetCurrentKey(hRemote, true);
        if (lStatus != ERROR_SUCCESS) return false;
        hKey = hCurrentKey;
    }
    LONG lSize = lBufferSize;
    for (;;) {
        // On failure the caller keeps its block (and the duty to free it).
        HGLOBAL hNew = GlobalReAlloc(hGlobal, static_cast<SIZE_T>(lSize), static_cast<UINT>(lFlags));
        if (hNew == nullptr) return false;
        hGlobal = hNew;
        DWORD lLength = static_cast<DWORD>(lSize);
        {
            kelvo::registry::GlobalLockGuard lock(hGlobal);
            if (lock.data() == nullptr) return false;
            lStatus = RegQueryValueExA(hKey, sKey.c_str(), nullptr, nullptr, static_cast<LPBYTE>(lock.data()), &lLength);
        }
        if (lStatus == ERROR_SUCCESS) return true;
        if (lStatus != ERROR_MORE_DATA) return false;
        // Grow in whole steps of lBufferSize, straight to one that holds the reported length.
        const LONG lNeeded = NarrowTo<LONG>(lLength);
        do {
            lSize = CheckedAdd(lSize, lBufferSize);
        } while (lSize < lNeeded);
    }
}

bool clsRegistry::WriteBooleanValue(const std::string& sKey, bool bValue)
{
    // The byte after the letter is not a NUL, so the registry stores the one letter alone.
    const std::array<BYTE, 2> data{static_cast<BYTE>(bValue ? 'y' : 'n'), ' '};
    lStatus = RegSetValueExA(hCurrentKey, sKey.c_str(), 0, REG_SZ, data.data(), 1);
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::WriteLongValue(const std::string& sKey, LONG lValue)
{
    const auto bytes = ToBytes(lValue);
    lStatus = RegSetValueExA(hCurrentKey, sKey.c_str(), 0, REG_DWORD, bytes.data(), static_cast<DWORD>(bytes.size()));
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::WriteIntegerValue(const std::string& sKey, std::int16_t iValue)
{
    return WriteLongValue(sKey, static_cast<LONG>(iValue));
}

bool clsRegistry::WriteStringValue(const std::string& sKey, const std::string& sValue)
{
    lStatus = RegSetValueExA(hCurrentKey, sKey.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(sValue.c_str()),
                             NarrowTo<DWORD>(sValue.size() + 1));
    return lStatus == ERROR_SUCCESS;
}

bool clsRegistry::ValuePresent(const std::string& sKey)
{
    DWORD lLength = 0;
    lStatus = RegQueryValueExA(hCurrentKey, sKey.c_str(), nullptr, nullptr, nullptr, &lLength);
    return lStatus == ERROR_SUCCESS;
}
