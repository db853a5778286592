#include "common/Routines.h"

#include "kernel/version.h"

#include <cstring>

LONG GetPlatform()
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExA(&info) == 0) return 7;

    // Compared as signed 32-bit values.
    const auto platformId = static_cast<LONG>(info.dwPlatformId);
    const auto major = static_cast<LONG>(info.dwMajorVersion);
    const auto minor = static_cast<LONG>(info.dwMinorVersion);
    switch (platformId) {
    case 0: return 5;
    case 1: return (major > 4 || (major == 4 && minor > 0)) ? 1 : 0;
    case 2:
        if (major == 4) return 3;
        if (major == 5) return 2;
        return 4;
    default: return 6;
    }
}
