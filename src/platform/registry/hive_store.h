// The per-user hive file: read when it changed, changed under a lock, written
// whole to a temporary file that replaces it, damaged files kept aside.
#pragma once

#include "registry/hive_tree.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kelvo::registry {

// $XDG_CONFIG_HOME/kelvo/user.reg, or ~/.config/kelvo/user.reg.
std::string CurrentUserHivePath();

// The program that begins the store's own lines on standard error; "kelvo"
// unless another program (the settings tool) says otherwise.
void SetProgramName(std::string name);

// Biggest hive file read; what lies beyond counts as damage.
constexpr std::size_t kMaxHiveBytes = 64u << 20;

class HiveStore {
public:
    using Reader = std::function<LONG(const KeyNode& root)>;
    // Sets `changed` when the tree was altered and must be written.
    using Writer = std::function<LONG(KeyNode& root, bool& changed)>;

    // Runs `read` on the hive as it is on disk now.
    LONG Read(const Reader& read);
    // Locks the file, re-reads it, runs `write`, and stores the result before
    // it returns; another process's change is never lost.
    LONG Modify(const Writer& write);
    // Goes up whenever the tree is read anew or handed to a writer: what a
    // reader kept of the tree (an iterator, say) holds while it stays the
    // same. Asked from inside Read or Modify only.
    std::uint64_t Generation() const;
};

HiveStore& CurrentUserHive();

}  // namespace kelvo::registry
