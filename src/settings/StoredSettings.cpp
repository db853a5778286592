#include "settings/StoredSettings.h"

#include "settings/clsRegistry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// The stored value as a user would name it, then the interval used instead:
// otherwise it would be replaced at exit without a word.
void TellUnusableInterval(HKEY hKey, DWORD lType, DWORD lLength)
{
    std::vector<BYTE> data(lLength);
    if (RegQueryValueExA(hKey, "Frequency", nullptr, nullptr, data.data(), &lLength) != ERROR_SUCCESS) return;
    data.resize(lLength);
    std::string stored;
    if (lType == REG_DWORD && lLength == 4) {
        DWORD lValue = 0;
        std::memcpy(&lValue, data.data(), 4);
        stored = std::to_string(lValue);
    } else if (lType == REG_SZ) {
        stored = "\"" + std::string(data.begin(), std::find(data.begin(), data.end(), BYTE{0})) + "\"";
    } else {
        stored = "of type " + std::to_string(lType) + ", " + std::to_string(lLength) + " bytes";
    }
    std::fprintf(stderr, "kelvo: the stored \"Frequency\" %s is not an interval from %d to %d ms; using %d ms\n",
                 stored.c_str(), kMinimumInterval, INT16_MAX, kDefaultInterval);
}

}  // namespace

StoredSettings LoadStoredSettings(bool quiet)
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
    if (bRead && bIsNumber && lFrequency >= kMinimumInterval && lFrequency <= INT16_MAX) {
        settings.interval = static_cast<std::int16_t>(lFrequency);
        settings.intervalStored = lTypeStatus == ERROR_SUCCESS;
    } else if (lTypeStatus == ERROR_SUCCESS && !quiet) {
        TellUnusableInterval(registry.Key(), lType, lLength);
    }

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

bool StoreSettings(UnsavedSettings& unsaved)
{
    if (!unsaved.interval && !unsaved.input) return true;
    clsRegistry registry;
    if (!registry.CreateKey(kSettingsKey, true, HKEY_CURRENT_USER)) return false;
    if (unsaved.interval && registry.WriteLongValue("Frequency", static_cast<LONG>(*unsaved.interval)))
        unsaved.storedInterval = *std::exchange(unsaved.interval, std::nullopt);
    if (unsaved.input && registry.WriteStringValue("Input", *unsaved.input)) unsaved.input.reset();
    return !unsaved.interval && !unsaved.input;
}

bool StoreSettingsAtExit(UnsavedSettings& unsaved, std::int16_t interval)
{
    const StoredSettings now = LoadStoredSettings(true);
    const bool othersChange = now.interval != unsaved.storedInterval;
    if (unsaved.interval || !now.intervalStored || (!othersChange && interval != unsaved.storedInterval))
        unsaved.interval = interval;
    return StoreSettings(unsaved);
}
