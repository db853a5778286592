#include "common/Routines.h"
#include "kernel/version.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    LONG expected;
    const char* what;
};

class GetPlatformTable : public ::testing::TestWithParam<Row> {
protected:
    void TearDown() override { kernel::SetVersionSource({}); }
};

}  // namespace

TEST_P(GetPlatformTable, ClassOfTheVersionAnswer)
{
    const Row row = GetParam();
    kernel::SetVersionSource([row] {
        return std::optional<kernel::VersionAnswer>(kernel::VersionAnswer{row.major, row.minor, 0, row.platformId, ""});
    });
    EXPECT_EQ(GetPlatform(), row.expected) << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Versions, GetPlatformTable,
    ::testing::Values(Row{1, 4, 0, 0, "Windows 95"}, Row{1, 4, 10, 1, "Windows 98"}, Row{1, 4, 90, 1, "Windows Me"},
                      Row{1, 5, 0, 1, "a later Windows family version"}, Row{1, 3, 95, 0, "an older one"},
                      Row{2, 4, 0, 3, "NT 4.0"}, Row{2, 5, 0, 2, "Windows 2000"}, Row{2, 5, 1, 2, "NT 5.1"},
                      Row{2, 3, 51, 4, "NT 3.51"}, Row{2, 6, 0, 4, "NT 6.0"}, Row{0, 3, 11, 5, "Win32s"},
                      Row{3, 4, 0, 6, "Windows CE"}, Row{VER_PLATFORM_KELVO_POSIX, 6, 1, 6, "Linux"},
                      Row{0xFFFFFFFFu, 4, 0, 6, "id -1 compared as signed"},
                      Row{1, 0xFFFFFFFFu, 0, 0, "major -1 compared as signed"}));

TEST(GetPlatform, FailedQueryGivesSevenAndThisSystemSix)
{
    kernel::SetVersionSource([] { return std::optional<kernel::VersionAnswer>(); });
    EXPECT_EQ(GetPlatform(), 7);
    kernel::SetVersionSource({});
    EXPECT_EQ(GetPlatform(), 6);
}
