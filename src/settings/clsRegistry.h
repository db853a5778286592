// The registry store: one current key, the last result code, and typed reads
// and writes of the current key's values.
#pragma once

#include "registry/globalmem.h"
#include "registry/winreg.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// A default for ReadBooleanValue: a yes/no value, or a text where "y" (in any
// letter case) means true.
class BooleanDefault {
public:
    BooleanDefault(bool bValue) : bTrue_(bValue) {}
    BooleanDefault(const std::string& sValue) : bTrue_(sValue == "y" || sValue == "Y") {}
    BooleanDefault(const char* sValue) : BooleanDefault(std::string(sValue != nullptr ? sValue : "")) {}
    bool CountsAsTrue() const { return bTrue_; }

private:
    bool bTrue_;
};

class clsRegistry {
public:
    clsRegistry() = default;
    clsRegistry(const clsRegistry&) = delete;
    clsRegistry& operator=(const clsRegistry&) = delete;
    ~clsRegistry();

    void CloseKey();
    bool CountKeys(LONG& lCount);
    bool CreateKey(const std::string& sKey, bool bMakeCurrent, std::optional<HKEY> lRoot = std::nullopt);
    bool DeleteKey(const std::string& sKey);
    bool DeleteValue(const std::string& sValue);
    bool GetKeyByValue(std::string& sKey, LONG lIndex);
    bool GetKeys(std::string& sBuffer);
    bool GetValues(std::string& sBuffer);
    HKEY Key() const { return hCurrentKey; }
    bool OpenKey(HKEY lRoot, const std::string& sKey, LONG lSam = static_cast<LONG>(KEY_ALL_ACCESS),
                 const std::string& RemoteComputer = "");
    bool ConnectRemote(const std::string& RemoteComputer, HKEY lRoot);
    bool QueryValue();
    bool ReadBooleanValue(const std::string& sKey, bool& bValue, std::optional<BooleanDefault> bDefault = std::nullopt);
    // Defaults are converted to 32 bits with the applet's rounding; one that
    // does not fit raises the overflow error.
    bool ReadLongValue(const std::string& sKey, LONG& lValue, std::optional<double> lDefault = std::nullopt);
    bool ReadIntegerValue(const std::string& sKey, std::int16_t& iValue, std::optional<double> lDefault = std::nullopt);
    bool ReadStringValue(const std::string& sKey, std::string& sValue, const std::string& sDefault = "",
                         HKEY lRoot = nullptr);
    bool LoadHugeObject(const std::string& sKey, HGLOBAL& hGlobal, LONG lFlags, LONG lBufferSize,
                        HKEY lRoot = nullptr, const std::string& RemoteComputer = "");
    LONG Status() const { return lStatus; }
    bool WriteBooleanValue(const std::string& sKey, bool bValue);
    bool WriteLongValue(const std::string& sKey, LONG lValue);
    bool WriteIntegerValue(const std::string& sKey, std::int16_t iValue);
    bool WriteStringValue(const std::string& sKey, const std::string& sValue);
    bool ValuePresent(const std::string& sKey);

private:
    // Makes hKey current; bOwned says whether this instance opened it and so
    // must close it. A key it opened and no longer refers to is closed.
    void SetCurrentKey(HKEY hKey, bool bOwned);

    HKEY hCurrentKey = nullptr;
    LONG lStatus = ERROR_SUCCESS;
    bool bOwnsCurrentKey = false;
};
