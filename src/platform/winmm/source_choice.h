// The sound server's sources as wave-in devices, and how a choice of input
// (a source's name or one of the server's defaults) picks one of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace winmm {

// The choices that follow the server's defaults.
inline constexpr const char* kDefaultInput = "@DEFAULT_SOURCE@";
inline constexpr const char* kWhatIsPlaying = "@DEFAULT_MONITOR@";

struct SourceInfo {
    std::string name;
    std::string description;
    std::uint16_t channels = 0;
};

struct SourceList {
    std::vector<SourceInfo> sources;  // in the server's order: device numbers
    std::string defaultSource;
    std::string defaultMonitor;  // the default output's monitor; empty without one
};

struct ResolvedChoice {
    std::string source;    // empty: there is no source at all
    bool missing = false;  // the chosen source is not there: the default input stands in
};

// An empty choice is the default input; "What is playing" without an output
// is the default input too.
ResolvedChoice ResolveChoice(const SourceList& list, const std::string& choice);

// `text` cut to fit `size` bytes with its NUL, never inside a UTF-8 character.
std::string FitName(const std::string& text, std::size_t size);

}  // namespace winmm
