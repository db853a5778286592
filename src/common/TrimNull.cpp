#include "common/Routines.h"

std::string TrimNull(const std::string& sText, std::optional<bool> bTrim)
{
    std::string working = sText;
    if (bTrim.value_or(true)) {
        // Only code 32 counts as a blank here, not tabs.
        const auto first = working.find_first_not_of(' ');
        if (first == std::string::npos) {
            working.clear();
        } else {
            working = working.substr(first, working.find_last_not_of(' ') - first + 1);
        }
    }
    if (const auto nul = working.find('\0'); nul != std::string::npos) working.resize(nul);
    return working;
}
