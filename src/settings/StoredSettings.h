// The cores of frmMain's LoadSettings and SaveSettings, free of any window.
#pragma once

#include "win32/win32.h"

#include <cstdint>
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
};

// Reads "Frequency", "DirectX" and "Input"; anything missing, unreadable or
// out of range (a Frequency outside 15..32767, an Input that is not text)
// gives the defaults. Never fails.
StoredSettings LoadStoredSettings();

// Writes the interval as "Frequency" and, when not empty, `input` as "Input".
// False when it could not be stored; the caller then shows kSaveFailedText.
bool SaveStoredSettings(std::int16_t interval, const std::string& input = {});
