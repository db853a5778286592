// The options beside the two slash switches: --help/-h, --version,
// --autostart and --no-autostart, each of which does its work and ends the
// run before any window or sound device is opened.
#pragma once

#include <cstdio>
#include <optional>

namespace kelvo {

// The exit status when the command line asked for one of the options (or
// named an unknown --option: 2), after doing it; nothing when Kelvo is to run.
std::optional<int> RunLinuxOption(int argc, const char* const* argv, std::FILE* out = stdout,
                                  std::FILE* err = stderr);

}  // namespace kelvo
