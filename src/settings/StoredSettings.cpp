#include "settings/StoredSettings.h"

#include "settings/clsRegistry.h"

StoredSettings LoadStoredSettings()
{
    StoredSettings settings;
    clsRegistry registry;
    if (!registry.OpenKey(HKEY_CURRENT_USER, kSettingsKey, static_cast<LONG>(KEY_ALL_ACCESS), "")) return settings;

    LONG lFrequency = 0;
    const bool bRead = registry.ReadLongValue("Frequency", lFrequency, kDefaultInterval);
    // Only a genuine 32-bit number is an interval; the readers do not check the
    // type, and a short text would otherwise turn into some large number.
    DWORD lType = REG_NONE;
    DWORD lLength = 0;
    const LONG lTypeStatus =
        RegQueryValueExA(registry.Key(), "Frequency", nullptr, &lType, nullptr, &lLength);
    const bool bIsNumber = lTypeStatus == ERROR_FILE_NOT_FOUND || (lType == REG_DWORD && lLength == 4);
    if (bRead && bIsNumber && lFrequency >= kMinimumInterval && lFrequency <= INT16_MAX)
        settings.interval = static_cast<std::int16_t>(lFrequency);

    bool bDirectX = settings.bDirectX;
    registry.ReadBooleanValue("DirectX", bDirectX, bDirectX);
    settings.bDirectX = bDirectX;

    DWORD lInputType = REG_NONE;
    if (RegQueryValueExA(registry.Key(), "Input", nullptr, &lInputType, nullptr, nullptr) == ERROR_SUCCESS &&
        lInputType == REG_SZ) {
        std::string sInput;
        if (registry.ReadStringValue("Input", sInput)) settings.input = sInput;
    }
    return settings;
}

bool SaveStoredSettings(std::int16_t interval, const std::string& input)
{
    clsRegistry registry;
    if (!registry.CreateKey(kSettingsKey, true, HKEY_CURRENT_USER)) return false;
    // A write that fails (disk full, say) is reported too, not passed off as saved.
    if (!registry.WriteLongValue("Frequency", static_cast<LONG>(interval))) return false;
    return input.empty() || registry.WriteStringValue("Input", input);
}
