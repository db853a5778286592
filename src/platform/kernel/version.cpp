#include "kernel/version.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kernel {
namespace {

VersionSource& installedSource()
{
    static VersionSource source;
    return source;
}

// Leading decimal number of `text`, advancing past it and one separator.
DWORD takeNumber(const char*& text)
{
    DWORD value = 0;
    while (*text >= '0' && *text <= '9') {
        const DWORD digit = static_cast<DWORD>(*text - '0');
        value = value > (0xFFFFFFFFu - digit) / 10 ? 0xFFFFFFFFu : value * 10 + digit;
        ++text;
    }
    if (*text == '.' || *text == '-') ++text;
    return value;
}

}  // namespace

VersionSource SetVersionSource(VersionSource source)
{
    VersionSource previous = std::move(installedSource());
    installedSource() = std::move(source);
    return previous;
}

std::optional<VersionAnswer> SystemVersion()
{
    utsname name{};
    if (uname(&name) != 0) return std::nullopt;
    VersionAnswer answer;
    const char* release = name.release;
    answer.major = takeNumber(release);
    answer.minor = takeNumber(release);
    answer.build = takeNumber(release);
    answer.platformId = VER_PLATFORM_KELVO_POSIX;
    answer.csdVersion = std::string(name.sysname) + " " + name.release;
    return answer;
}

}  // namespace kernel

BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    if (!lpVersionInformation) return FALSE;
    const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) return FALSE;
    const kernel::VersionSource& source = kernel::installedSource();
    const std::optional<kernel::VersionAnswer> answer = source ? source() : kernel::SystemVersion();
    if (!answer) return FALSE;

    OSVERSIONINFOA& info = *lpVersionInformation;
    info.dwMajorVersion = answer->major;
    info.dwMinorVersion = answer->minor;
    info.dwBuildNumber = answer->build;
    info.dwPlatformId = answer->platformId;
    std::memset(info.szCSDVersion, 0, sizeof info.szCSDVersion);
    const std::size_t length = std::min(answer->csdVersion.size(), sizeof info.szCSDVersion - 1);
    std::memcpy(info.szCSDVersion, answer->csdVersion.data(), length);
    if (size == sizeof(OSVERSIONINFOEXA)) {
        auto& ex = static_cast<OSVERSIONINFOEXA&>(info);
        ex.wServicePackMajor = ex.wServicePackMinor = ex.wSuiteMask = 0;
        ex.wProductType = answer->platformId == VER_PLATFORM_WIN32_NT ? VER_NT_WORKSTATION : 0;
        ex.wReserved = 0;
    }
    return TRUE;
}
