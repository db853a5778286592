// The command line as a user meets it, without a display: an option that does
// its work without a window or a sound device, an unknown one or one that
// fails refused with its status, and one line naming what could not be opened
// when a window is wanted.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <tuple>

namespace {

using namespace e2e;

TEST(CommandLine, AnOptionWorksWithoutADisplayAnUnknownOneIsRefusedAndAWindowEndsInOneLine)
{
    TempDir home;
    std::ofstream(home.path() / "config") << "";  // a file where the autostart folder must go
    const Environment noDisplay{{"DISPLAY", ":9999"}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"},
                                {"XDG_CONFIG_HOME", (home.path() / "config").string()}};
    const std::string cannotOpen = "^kelvo: cannot open the display: [^\n]*\n$";
    // What each option says and writes is pinned by the unit tests; here the
    // built program's status reaches the shell before any display is opened.
    // The words, the status, what the output says.
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"/tray", "--version"}, 0, "^kelvo \\d+\\.\\d+\n$"},
        {{"/tray", "--bogus"}, 2, "^kelvo: unknown option --bogus [^\n]*\n$"},
        {{}, 1, cannotOpen},
        {{"-platform", "xyz"}, 1, cannotOpen},
        {{"--autostart"}, 1, "^kelvo: --autostart: [^\n]*config/autostart[^\n]*\n$"},
        {{"--no-autostart"}, 1, "^kelvo: --no-autostart: [^\n]*config/autostart/kelvo.desktop[^\n]*\n$"},
    };
    for (const auto& [arguments, status, says] : cases) {
        std::vector<std::string> argv{KelvoBinary().string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const CommandResult result = e2e::Run(argv, noDisplay);
        EXPECT_EQ(result.code, status) << argv.back() << "\n" << result.output;
        EXPECT_TRUE(std::regex_search(result.output, std::regex(says))) << argv.back() << "\n" << result.output;
    }
}

}  // namespace
