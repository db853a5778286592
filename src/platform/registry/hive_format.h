// The registry editor's export format (REGEDIT4), read and written.
#pragma once

#include "registry/hive_tree.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::registry {

// Deepest key path the registry keeps (as Windows: 512 levels).
constexpr std::size_t kMaxKeyDepth = 512;

struct RegFileValue {
    std::string name;
    bool remove = false;  // "name"=-
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct RegFileSection {
    std::size_t line = 0;
    std::string root;               // as written, e.g. HKEY_CURRENT_USER
    std::vector<std::string> path;  // below the root
    bool remove = false;            // [-...]
    std::vector<RegFileValue> values;
};

struct RegFileProblem {
    std::size_t line = 0;
    std::string what;
};

struct RegFile {
    std::vector<RegFileSection> sections;
    std::vector<RegFileProblem> problems;
};

// Reads what can be read; every line that cannot is listed as a problem.
RegFile ParseRegFile(std::string_view text);

// True for HKEY_CURRENT_USER and HKCU, in any letter case.
bool IsCurrentUserRoot(std::string_view root);

// Applies the sections of the current user's root to `root`; sections of
// other roots are listed as problems.
void ApplyRegFile(const RegFile& file, KeyNode& root, std::vector<RegFileProblem>& problems);

// The whole file for a key and everything below it; `path` is its full name,
// e.g. "HKEY_CURRENT_USER" or "HKEY_CURRENT_USER\SOFTWARE".
std::string SerializeRegFile(const KeyNode& key, const std::string& path);

}  // namespace kelvo::registry
