// The in-memory form of a hive: keys with case-preserving, case-blind names.
#pragma once

#include "win32/win32.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvo::registry {

// Longest key name component and value name the registry accepts.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
// Largest value data accepted; the whole file is kept below kMaxHiveBytes.
constexpr std::size_t kMaxValueBytes = 16u << 20;

bool NamesEqual(std::string_view a, std::string_view b);

struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

struct RegValue {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
    bool operator==(const RegValue&) const = default;
};

struct KeyNode {
    std::map<std::string, KeyNode, NameLess> subkeys;  // sorted as regedit lists them
    std::vector<RegValue> values;                       // in creation order; appending keeps the index right

    KeyNode* FindSubkey(std::string_view name);
    const KeyNode* FindSubkey(std::string_view name) const;
    RegValue* FindValue(std::string_view name);
    const RegValue* FindValue(std::string_view name) const;
    void SetValue(std::string_view name, DWORD type, std::vector<BYTE> data);
    bool RemoveValue(std::string_view name);
    bool operator==(const KeyNode& other) const;

private:
    // Values by folded name, so that a key with many values is read in
    // linear time; catches up with values appended since.
    std::size_t IndexOf(std::string_view name) const;
    mutable std::unordered_map<std::string, std::size_t> index_;
    mutable std::size_t indexed_ = 0;
};

// Names are stored as bytes; these are the ones the text form cannot carry.
bool IsValidKeyName(std::string_view name);
bool IsValidValueName(std::string_view name);

}  // namespace kelvo::registry
