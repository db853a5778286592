// The cores of frmMain's LoadSettings and SaveSettings, free of any window.
#pragma once

#include "win32/win32.h"

#include <cstdint>
#include <optional>
#include <string>

constexpr const char* kSettingsKey = "SOFTWARE\\Quennel\\Kelvo";
constexpr std::int16_t kDefaultInterval = 150;
// The preferences dialog never sets less; a stored value below is not applied.
constexpr std::int16_t kMinimumInterval = 15;

// The message box of a failed save.
constexpr const char* kSaveFailedText = "Cannot save options.  Terminating.";
constexpr const char* kSaveFailedTitle = "Kelvo";
constexpr UINT kSaveFailedStyle = MB_OK | MB_ICONERROR;

struct StoredSettings {
    std::int16_t interval = kDefaultInterval;  // for RefreshInterval, in ms
    bool bDirectX = false;
    // What to record from: a source's name, "@DEFAULT_SOURCE@" or
    // "@DEFAULT_MONITOR@"; empty when none is stored.
    std::string input;
    // Whether the hive holds a usable "Frequency" (not missing or unusable).
    bool intervalStored = false;
};

// What the user changed in this run and is not stored yet, and the
// "Frequency" as this run last read or wrote it (0: none usable).
struct UnsavedSettings {
    std::optional<std::int16_t> interval;
    std::optional<std::string> input;
    std::int16_t storedInterval = 0;
};

// Reads "Frequency", "DirectX" and "Input"; anything missing, unreadable or
// out of range (a Frequency outside 15..32767, an Input that is not text)
// gives the defaults, and an unusable Frequency is named on standard error
// unless `quiet`. Never fails.
StoredSettings LoadStoredSettings(bool quiet = false);

// Writes the interval as "Frequency" and, when not empty, `input` as "Input".
// False when it could not be stored; the caller then shows kSaveFailedText.
bool SaveStoredSettings(std::int16_t interval, const std::string& input = {});

// Stores each value `unsaved` holds and drops it from there once stored;
// false when one could not be stored (it stays in `unsaved`).
bool StoreSettings(UnsavedSettings& unsaved);

// The save at exit of the interval now in use, `interval`: when the user's
// is still unsaved, when the hive has no usable "Frequency" (a first run),
// or when it changed in this run (busy ticks lengthen it). A "Frequency"
// someone else changed in the hive meanwhile stays, unless the user's is
// unsaved. An unsaved input is stored too.
bool StoreSettingsAtExit(UnsavedSettings& unsaved, std::int16_t interval);
