#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>

namespace kelvo {

Switches ParseSwitches(const std::string& argumentText)
{
    std::string lower = argumentText;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return Switches{
        .debug = lower.find("/debug") != std::string::npos,
        .tray = argumentText.find("/tray") != std::string::npos,
    };
}

std::string ArgumentText(int argc, const char* const* argv)
{
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

}  // namespace kelvo
