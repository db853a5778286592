// The command line as a user meets it: the options that do their work
// without a window or a sound device, and a second start in the same
// desktop session that hands over to the running Kelvo.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

using namespace e2e;
namespace fs = std::filesystem;

// Without a display: anything that tried to open a window would fail.
TEST(CommandLine, TheOptionsWorkWithoutADisplayAndAnUnknownOneIsRefusedInOneLine)
{
    TempDir home;
    const Environment noDisplay{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"},
                                {"XDG_CONFIG_HOME", (home.path() / "config").string()}};
    const fs::path entry = home.path() / "config/autostart/kelvo.desktop";
    const std::string binary = KelvoBinary().string();
    const struct {
        std::string option;
        int status;
        std::string says;
    } cases[] = {
        {"--help", 0, "^Usage: kelvo \\[/tray\\] \\[/debug\\]\n"},
        {"--version", 0, "^kelvo \\d+\\.\\d+\n$"},
        {"--bogus", 2, "^kelvo: unknown option --bogus [^\n]*\n$"},
        {"--autostart", 0, "^Kelvo starts in the tray at every login: " + entry.string() + "\n$"},
        {"--no-autostart", 0, "^Kelvo no longer starts at login"},
    };
    for (const auto& c : cases) {
        const CommandResult result = e2e::Run({binary, "/tray", c.option}, noDisplay);
        EXPECT_EQ(result.code, c.status) << c.option << "\n" << result.output;
        EXPECT_TRUE(std::regex_search(result.output, std::regex(c.says))) << c.option << "\n" << result.output;
        if (c.option == "--autostart") {
            EXPECT_NE(ReadFile(entry).find("\nExec=" + fs::canonical(binary).string() + " /tray\n"), std::string::npos)
                << ReadFile(entry);
        }
    }
    EXPECT_FALSE(fs::exists(entry));
}

TEST(SecondStart, HandsOverToTheRunningKelvoWhichShowsItsWindowUnlessTrayWasAskedOneCaptureStreamStays)
{
    XServer x;
    SoundServer sound;
    const auto trayer = Trayer(x);
    Kelvo first(x.ForClients(), sound.ClientEnvironment(), {"/tray"});
    const auto streams = [&] {
        return e2e::Run({"pactl", "list", "source-outputs"}, sound.ClientEnvironment()).output;
    };
    ASSERT_TRUE(e2e::WaitFor([&] { return streams().find("Source Output #") != std::string::npos; }, 20s));
    // Later starts, as the first's desktop would start them.
    const Desktop session{first.environment(), nullptr, &x};

    Kelvo tray(session, {}, {"/tray"}, &first.ConfigHome());
    EXPECT_EQ(tray.process().WaitExit(20s), std::optional<int>(0)) << tray.Log();
    EXPECT_FALSE(first.MainWindow(0ms)) << "with /tray the running one stays in the tray";
    Kelvo plain(session, {}, {}, &first.ConfigHome());
    EXPECT_EQ(plain.process().WaitExit(20s), std::optional<int>(0)) << plain.Log();
    EXPECT_TRUE(first.MainWindow()) << "without it, its window comes up";
    EXPECT_TRUE(first.process().Running());

    const std::string outputs = streams();
    const std::regex output("Source Output #");
    EXPECT_EQ(std::distance(std::sregex_iterator(outputs.begin(), outputs.end(), output), std::sregex_iterator()), 1)
        << outputs;
    EXPECT_NE(outputs.find("application.icon_name = \"kelvo\""), std::string::npos) << outputs;

    // A Kelvo killed outright leaves its lock and socket behind; they never
    // stop the next start.
    first.process().Stop(9);
    Kelvo next(session, {}, {}, &first.ConfigHome());
    EXPECT_TRUE(next.MainWindow()) << next.Log();
    EXPECT_TRUE(next.process().Running());
}

}  // namespace
