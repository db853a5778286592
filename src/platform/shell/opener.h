// Who opens the targets of ShellExecuteA: the desktop's handler (Qt's
// desktop services, which call xdg-open), or a test's stand-in.
#pragma once

#include <functional>
#include <string>

namespace shell {

// True when the target was handed to a program that can open it.
using Opener = std::function<bool(const std::string& target)>;

// Installs `opener` (an empty one restores the desktop's) and returns the
// previous one.
Opener SetOpener(Opener opener);

}  // namespace shell
