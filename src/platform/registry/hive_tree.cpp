#include "registry/hive_tree.h"

#include <algorithm>

namespace kelvo::registry {
namespace {

// The registry folds letter case; only ASCII letters fold, as the 8-bit code
// page's other letters are unknown here.
unsigned char Fold(char c)
{
    auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

std::string Folded(std::string_view name)
{
    std::string out(name.size(), '\0');
    std::transform(name.begin(), name.end(), out.begin(), [](char c) { return static_cast<char>(Fold(c)); });
    return out;
}

bool HasControlCharacter(std::string_view name)
{
    return std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

bool NameLess::operator()(std::string_view a, std::string_view b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Fold(x) < Fold(y); });
}

KeyNode* KeyNode::FindSubkey(std::string_view name)
{
    auto it = subkeys.find(name);
    return it == subkeys.end() ? nullptr : &it->second;
}

const KeyNode* KeyNode::FindSubkey(std::string_view name) const
{
    auto it = subkeys.find(name);
    return it == subkeys.end() ? nullptr : &it->second;
}

std::size_t KeyNode::IndexOf(std::string_view name) const
{
    if (indexed_ > values.size()) {
        index_.clear();
        indexed_ = 0;
    }
    for (; indexed_ < values.size(); ++indexed_) index_.emplace(Folded(values[indexed_].name), indexed_);
    const auto it = index_.find(Folded(name));
    return it == index_.end() ? values.size() : it->second;
}

RegValue* KeyNode::FindValue(std::string_view name)
{
    const std::size_t i = IndexOf(name);
    return i < values.size() ? &values[i] : nullptr;
}

const RegValue* KeyNode::FindValue(std::string_view name) const
{
    return const_cast<KeyNode*>(this)->FindValue(name);
}

void KeyNode::SetValue(std::string_view name, DWORD type, std::vector<BYTE> data)
{
    if (RegValue* existing = FindValue(name)) {
        existing->type = type;  // the name keeps the case it was created with
        existing->data = std::move(data);
        return;
    }
    values.push_back(RegValue{std::string(name), type, std::move(data)});
}

bool KeyNode::RemoveValue(std::string_view name)
{
    const std::size_t i = IndexOf(name);
    if (i == values.size()) return false;
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(i));
    index_.clear();
    indexed_ = 0;
    return true;
}

bool KeyNode::operator==(const KeyNode& other) const
{
    if (values != other.values || subkeys.size() != other.subkeys.size()) return false;
    return std::equal(subkeys.begin(), subkeys.end(), other.subkeys.begin(),
                      [](const auto& a, const auto& b) { return a.first == b.first && a.second == b.second; });
}

bool IsValidKeyName(std::string_view name)
{
    return !name.empty() && name.size() <= kMaxKeyNameLength && name.find('\\') == std::string_view::npos &&
           !HasControlCharacter(name);
}

bool IsValidValueName(std::string_view name)
{
    return name.size() <= kMaxValueNameLength && !HasControlCharacter(name);
}

}  // namespace kelvo::registry
