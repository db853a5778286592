// The command line as a user meets it, without a display: the options that do
// their work without a window or a sound device, and one line naming what could
// not be opened when a window is wanted.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

using namespace e2e;
namespace fs = std::filesystem;

TEST(CommandLine, TheOptionsWorkWithoutADisplayAnUnknownOneIsRefusedAndAWindowEndsInOneLine)
{
    TempDir home;
    const Environment noDisplay{{"DISPLAY", ":9999"}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"},
                                {"XDG_CONFIG_HOME", (home.path() / "config").string()}};
    const fs::path entry = home.path() / "config/autostart/kelvo.desktop";
    const std::string binary = KelvoBinary().string();
    const std::string cannotOpen = "^kelvo: cannot open the display: [^\n]*\n$";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string says;
    } cases[] = {
        {{"/tray", "--help"}, 0, "^Usage: kelvo \\[/tray\\] \\[/debug\\]\n"},
        {{"/tray", "--version"}, 0, "^kelvo \\d+\\.\\d+\n$"},
        {{"/tray", "--bogus"}, 2, "^kelvo: unknown option --bogus [^\n]*\n$"},
        {{"/tray", "--autostart"}, 0, "^Kelvo starts in the tray at every login: " + entry.string() + "\n$"},
        {{"/tray", "--no-autostart"}, 0, "^Kelvo no longer starts at login"},
        {{}, 1, cannotOpen},
        {{"-display", ":9999"}, 1, cannotOpen},
        {{"-platform", "xyz"}, 1, cannotOpen},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{binary};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const CommandResult result = e2e::Run(argv, noDisplay);
        EXPECT_EQ(result.code, c.status) << argv.back() << "\n" << result.output;
        EXPECT_TRUE(std::regex_search(result.output, std::regex(c.says))) << argv.back() << "\n" << result.output;
        if (argv.back() == "--autostart") {
            EXPECT_NE(ReadFile(entry).find("\nExec=" + fs::canonical(binary).string() + " /tray\n"), std::string::npos)
                << ReadFile(entry);
        }
    }
    EXPECT_FALSE(fs::exists(entry));
}

}  // namespace
