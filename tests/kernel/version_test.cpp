#include "kernel/version.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

OSVERSIONINFOA zeroed(DWORD size)
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = size;
    return info;
}

}  // namespace

TEST(GetVersionExA, FailsOnAWrongSizeOrNoRecord)
{
    for (DWORD size : {156u, 0u}) {
        OSVERSIONINFOA info = zeroed(size);
        EXPECT_EQ(GetVersionExA(&info), FALSE) << size;
    }
    EXPECT_EQ(GetVersionExA(nullptr), FALSE);
}

// The answer comes from a replaceable source; a long service-pack text is
// cut to the field, keeping its NUL, and a failed query fails the call.
TEST(GetVersionExA, CopiesTheAnswerIntoTheRecord)
{
    OSVERSIONINFOA info = zeroed(148);
    ASSERT_EQ(GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_KELVO_POSIX);
    kernel::SetVersionSource([] {
        return std::optional<kernel::VersionAnswer>(
            kernel::VersionAnswer{4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS, std::string(200, 'A')});
    });
    EXPECT_EQ(GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwMinorVersion, 10u);
    EXPECT_EQ(std::strlen(info.szCSDVersion), 127u);
    kernel::SetVersionSource([] { return std::optional<kernel::VersionAnswer>(); });
    EXPECT_EQ(GetVersionExA(&info), FALSE);
    kernel::SetVersionSource({});
}
