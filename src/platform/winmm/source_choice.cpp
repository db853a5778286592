#include "winmm/source_choice.h"

#include <algorithm>

namespace winmm {

ResolvedChoice ResolveChoice(const SourceList& list, const std::string& choice)
{
    if (choice.empty() || choice == kDefaultInput) return {list.defaultSource, false};
    if (choice == kWhatIsPlaying) return {list.defaultMonitor.empty() ? list.defaultSource : list.defaultMonitor, false};
    const bool present = std::any_of(list.sources.begin(), list.sources.end(),
                                     [&](const SourceInfo& source) { return source.name == choice; });
    if (present) return {choice, false};
    return {list.defaultSource, true};
}

std::string FitName(const std::string& text, std::size_t size)
{
    if (size == 0) return {};
    std::size_t end = std::min(text.size(), size - 1);
    if (end < text.size()) {
        // Back to the first byte of the character that would be cut.
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    }
    return text.substr(0, end);
}

}  // namespace winmm
