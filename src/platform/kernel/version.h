// GetVersionExA: the version of the running system, narrow-character record.
#pragma once

#include "win32/win32.h"

#include <functional>
#include <optional>
#include <string>

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
using LPOSVERSIONINFOA = OSVERSIONINFOA*;
static_assert(sizeof(OSVERSIONINFOA) == 148);

struct OSVERSIONINFOEXA : OSVERSIONINFOA {
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
using LPOSVERSIONINFOEXA = OSVERSIONINFOEXA*;
static_assert(sizeof(OSVERSIONINFOEXA) == 156);

constexpr BYTE VER_NT_WORKSTATION = 1;

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
// Kelvo's id for a system that is not Windows. Windows uses 0 to 3 (3 is
// Windows CE), so this value is none of them.
constexpr DWORD VER_PLATFORM_KELVO_POSIX = 0x100;

// Fills the record (dwOSVersionInfoSize 148, or 156 for the extended one,
// whose service pack and suite are 0); FALSE when the size is wrong or no
// version can be obtained. On a system that is not Windows the
// major, minor and build numbers are those of the kernel release (uname),
// dwPlatformId is VER_PLATFORM_KELVO_POSIX and szCSDVersion names the system.
BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);

namespace kernel {

struct VersionAnswer {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    DWORD platformId = 0;
    std::string csdVersion;
};

// Where GetVersionExA takes its answer from; nullopt makes the query fail.
using VersionSource = std::function<std::optional<VersionAnswer>()>;

// Replaces the version source (tests); an empty function restores the
// system's. Returns the previous source (empty for the system's).
VersionSource SetVersionSource(VersionSource source);

// The system's own answer.
std::optional<VersionAnswer> SystemVersion();

}  // namespace kernel
