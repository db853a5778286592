#include "shell/opener.h"
#include "shell/shellapi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

struct Case {
    const char* verb;
    const char* file;
    bool openerSucceeds;
    std::intptr_t expected;  // 0: any success value
    const char* opened;      // what the opener must have been given, or nullptr
};

TEST(ShellExecute, FollowsThePublishedReturnConvention)
{
    const Case cases[] = {
        {nullptr, "https://kelvo.example.org/", true, 0, "https://kelvo.example.org/"},
        {"open", "mailto:support@kelvo.example.org", true, 0, "mailto:support@kelvo.example.org"},
        {nullptr, "https://kelvo.example.org/", false, SE_ERR_NOASSOC, "https://kelvo.example.org/"},
        {nullptr, "", true, SE_ERR_FNF, nullptr},
        {nullptr, nullptr, true, SE_ERR_FNF, nullptr},
        {"print", "https://kelvo.example.org/", true, SE_ERR_NOASSOC, nullptr},
    };
    for (const Case& c : cases) {
        std::optional<std::string> opened;
        const shell::Opener previous = shell::SetOpener([&](const std::string& target) {
            opened = target;
            return c.openerSucceeds;
        });
        const auto result = reinterpret_cast<std::intptr_t>(
            ShellExecuteA(nullptr, c.verb, c.file, nullptr, nullptr, SW_SHOWNORMAL));
        shell::SetOpener(previous);
        SCOPED_TRACE(c.file ? c.file : "(null)");
        if (c.expected == 0) {
            EXPECT_GT(result, 32);
        } else {
            EXPECT_EQ(result, c.expected);
        }
        EXPECT_EQ(opened, c.opened ? std::optional<std::string>(c.opened) : std::nullopt);
    }
}

}  // namespace
