#include "app/LinuxOptions.h"

#include "app/Autostart.h"

#include <filesystem>
#include <string>

namespace kelvo {
namespace {

constexpr const char* kUsage = R"(Usage: kelvo [/tray] [/debug]
       kelvo --help | --version | --autostart | --no-autostart

Shows the sound at the recording input as a live waveform, in a small
window or inside its notification-area (tray) icon.

  /tray            start in the notification area
  /debug           write the frame rate to standard error once a second
  -h, --help       print this help and exit
  --version        print the version and exit
  --autostart      start this Kelvo in the tray at every login (writes
                   $XDG_CONFIG_HOME/autostart/kelvo.desktop)
  --no-autostart   no longer start it at login

One Kelvo runs per desktop session: started again, it brings up the window
of the one that runs (with /tray, it leaves it as it is) and exits.
The settings: kelvo-reg --help.
)";

std::filesystem::path OwnBinary()
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", ec);
    // An upgrade replaced the file under a running binary: the new one is
    // where the old one was.
    const std::string deleted = " (deleted)";
    const std::string text = path.string();
    if (text.ends_with(deleted)) path = text.substr(0, text.size() - deleted.size());
    return path;
}

}  // namespace

std::optional<int> RunLinuxOption(int argc, const char* const* argv, std::FILE* out, std::FILE* err)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h") {
            std::fputs(kUsage, out);
            return 0;
        }
        if (word == "--version") {
            std::fputs("kelvo " KELVO_VERSION "\n", out);
            return 0;
        }
        if (word == "--autostart" || word == "--no-autostart") {
            const bool add = word == "--autostart";
            const std::filesystem::path program = OwnBinary();
            const std::string failure =
                add ? (program.empty() ? "cannot find its own binary" : WriteAutostart(program)) : RemoveAutostart();
            if (!failure.empty()) {
                std::fprintf(err, "kelvo: %s: %s\n", word.c_str(), failure.c_str());
                return 1;
            }
            std::fprintf(out, add ? "Kelvo starts in the tray at every login: %s\n" : "Kelvo no longer starts at login: %s is gone\n",
                         AutostartFile().c_str());
            return 0;
        }
        if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
            std::fprintf(err, "kelvo: unknown option %s (kelvo --help lists the options)\n", word.c_str());
            return 2;
        }
    }
    return std::nullopt;
}

}  // namespace kelvo
