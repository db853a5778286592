// GetVersionExA over a replaceable version source, and GetPlatform's classes.
#include "common/Routines.h"
#include "kernel/version.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void Answer(std::optional<kernel::VersionAnswer> answer)
{
    kernel::SetVersionSource([answer] { return answer; });
}

TEST(GetVersionExA, FillsOnlyARecordOfItsOwnSizeAndCutsTheServicePackTextAndGetPlatformClassesItsAnswer)
{
    OSVERSIONINFOA info{};
    EXPECT_EQ(GetVersionExA(nullptr), FALSE);
    EXPECT_EQ(GetVersionExA(&info), FALSE) << "a record without its size";
    info.dwOSVersionInfoSize = 148;
    Answer(kernel::VersionAnswer{4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS, std::string(200, 'A')});
    EXPECT_EQ(GetVersionExA(&info), TRUE);
    EXPECT_EQ(info.dwMinorVersion, 10u);
    EXPECT_EQ(std::strlen(info.szCSDVersion), 127u) << "cut to the field, keeping its NUL";
    OSVERSIONINFOEXA ex;  // the extended record, filled to its end
    std::memset(&ex, 0xAB, sizeof ex);
    ex.dwOSVersionInfoSize = 156;
    EXPECT_TRUE(GetVersionExA(&ex) && ex.dwMajorVersion == 4 && ex.wServicePackMajor == 0 && ex.wReserved == 0);

    // GetPlatform's class of each answer: platform id, major and minor version, the class
    const std::tuple<DWORD, DWORD, DWORD, LONG, const char*> rows[] = {
        {1, 4, 0, 0, "Windows 95"}, {1, 4, 10, 1, "Windows 98"}, {1, 5, 0, 1, "a later Windows family version"},
        {1, 3, 95, 0, "an older one"}, {2, 4, 0, 3, "NT 4.0"}, {2, 5, 0, 2, "Windows 2000"}, {2, 3, 51, 4, "NT 3.51"},
        {2, 6, 0, 4, "NT 6.0"}, {0, 3, 11, 5, "Win32s"}, {3, 4, 0, 6, "Windows CE"},
        {0xFFFFFFFFu, 4, 0, 6, "id -1 compared as signed"}, {1, 0xFFFFFFFFu, 0, 0, "major -1 compared as signed"}};
    for (const auto& [platformId, major, minor, expected, what] : rows) {
        Answer(kernel::VersionAnswer{major, minor, 0, platformId, ""});
        EXPECT_EQ(GetPlatform(), expected) << what;
    }
    Answer(std::nullopt);
    EXPECT_EQ(GetPlatform(), 7) << "a failed query";
    kernel::SetVersionSource({});
    EXPECT_EQ(GetPlatform(), 6) << "this system";
}

}  // namespace
