// The applet's two command-line switches, matched anywhere in the argument
// text: "/debug" in any letter case, "/tray" exactly as written.
#pragma once

#include <string>

namespace kelvo {

struct Switches {
    bool debug = false;
    bool tray = false;
};

Switches ParseSwitches(const std::string& argumentText);

// The argument part of the command line, as one string.
std::string ArgumentText(int argc, const char* const* argv);

}  // namespace kelvo
