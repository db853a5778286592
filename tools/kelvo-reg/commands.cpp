#include "commands.h"

#include "key_tree.h"
#include "registry/hive_format.h"
#include "registry/hive_store.h"
#include "settings/StoredSettings.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace kelvo::reg_tool {
namespace {

using registry::UniqueKey;

constexpr const char* kDone = "The operation completed successfully.";

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}

// Switches after the positional arguments: flags, and /v /t /d with a value.
struct Options {
    std::map<std::string, std::string> values;
    bool Has(const std::string& name) const { return values.count(name) != 0; }
    std::optional<std::string> Get(const std::string& name) const
    {
        auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
};

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::size_t first,
                                    const std::string& allowedFlags, const std::string& allowedValues)
{
    Options options;
    for (std::size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) {
            Fail("Unexpected argument \"" + arg + "\". Type \"kelvo-reg --help\" for usage.");
            return std::nullopt;
        }
        std::string name = Lower(arg.substr(1));
        if (options.Has(name)) {
            Fail("The switch /" + name + " is given twice.");
            return std::nullopt;
        }
        if (allowedValues.find(" " + name + " ") != std::string::npos) {
            if (i + 1 >= args.size()) {
                Fail("The switch /" + name + " needs a value.");
                return std::nullopt;
            }
            options.values[name] = args[++i];
        } else if (allowedFlags.find(" " + name + " ") != std::string::npos) {
            options.values[name] = "";
        } else {
            Fail("Unknown switch \"" + arg + "\". Type \"kelvo-reg --help\" for usage.");
            return std::nullopt;
        }
    }
    return options;
}

struct KeyName {
    std::string full;  // HKEY_CURRENT_USER\...
    std::string sub;   // below the root, "" for the root itself
};

std::optional<KeyName> ParseKeyName(const std::string& text)
{
    std::string rest = text;
    if (rest.rfind("\\\\", 0) == 0) {
        // A remote computer: ask the registry, which refuses with its own code.
        std::string machine = rest.substr(2, rest.find('\\', 2) - 2);
        HKEY hRemote = nullptr;
        LONG status = RegConnectRegistryA(machine.c_str(), HKEY_CURRENT_USER, &hRemote);
        if (status == ERROR_SUCCESS) RegCloseKey(hRemote);
        Fail("Cannot reach the computer \"" + machine + "\": " + DescribeError(status == ERROR_SUCCESS ? ERROR_BAD_NETPATH : status));
        return std::nullopt;
    }
    std::size_t slash = rest.find('\\');
    std::string root = rest.substr(0, slash);
    if (!registry::IsCurrentUserRoot(root)) {
        Fail("Invalid key name \"" + text + "\": Kelvo keeps only HKEY_CURRENT_USER (HKCU).");
        return std::nullopt;
    }
    KeyName name;
    name.sub = slash == std::string::npos ? "" : rest.substr(slash + 1);
    while (!name.sub.empty() && name.sub.back() == '\\') name.sub.pop_back();
    name.full = "HKEY_CURRENT_USER" + (name.sub.empty() ? "" : "\\" + name.sub);
    return name;
}

bool Confirm(const std::string& question)
{
    if (!::isatty(STDIN_FILENO)) return false;
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    answer = Lower(answer);
    return answer == "y" || answer == "yes";
}

std::string TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_TYPE_" + std::to_string(type);
    }
}

std::string Hex(const std::vector<BYTE>& data)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (BYTE b : data) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

std::string ShowData(const registry::RegValue& value)
{
    if ((value.type == REG_SZ || value.type == REG_EXPAND_SZ)) {
        std::string text(value.data.begin(), value.data.end());
        if (!text.empty() && text.back() == '\0') text.pop_back();
        if (text.find('\0') == std::string::npos) return text;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD n = value.data[0] | value.data[1] << 8 | value.data[2] << 16 | static_cast<DWORD>(value.data[3]) << 24;
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%x", n);
        return buf;
    }
    return Hex(value.data);
}

void PrintValue(const registry::RegValue& value)
{
    std::cout << "    " << (value.name.empty() ? "(Default)" : value.name) << "    " << TypeName(value.type) << "    "
              << ShowData(value) << "\n";
}

void PrintKey(const registry::KeyNode& key, const std::string& path, bool recurse)
{
    std::cout << path << "\n";
    for (const auto& value : key.values) PrintValue(value);
    std::cout << "\n";
    for (const auto& [name, subkey] : key.subkeys) {
        if (recurse) {
            PrintKey(subkey, path + "\\" + name, true);
        } else {
            std::cout << path << "\\" << name << "\n";
        }
    }
}

LONG OpenKeyName(const KeyName& name, REGSAM sam, UniqueKey& key)
{
    return RegOpenKeyExA(HKEY_CURRENT_USER, name.sub.c_str(), 0, sam, key.put());
}

// Stores exactly these bytes: the registry would also keep a NUL found right
// after a string that lacks one, so the bytes are followed by one that is not.
std::optional<std::vector<BYTE>> ParseData(DWORD type, const std::string& data)
{
    std::vector<BYTE> bytes;
    if (type == REG_SZ) {
        bytes.assign(data.begin(), data.end());
        bytes.push_back(0);
    } else if (type == REG_DWORD) {
        std::string digits = data.empty() ? "0" : data;
        int base = 10;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
            digits = digits.substr(2);
            base = 16;
        }
        DWORD number = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number, base);
        if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<BYTE>(number >> (8 * i)));
    } else {
        if (data.size() % 2 != 0) return std::nullopt;
        for (std::size_t i = 0; i < data.size(); i += 2) {
            unsigned byte = 0;
            auto [end, ec] = std::from_chars(data.data() + i, data.data() + i + 2, byte, 16);
            if (ec != std::errc() || end != data.data() + i + 2) return std::nullopt;
            bytes.push_back(static_cast<BYTE>(byte));
        }
    }
    return bytes;
}

}  // namespace

int Fail(const std::string& message)
{
    std::cerr << "ERROR: " << message << "\n";
    return 1;
}

int Query(const std::vector<std::string>& args)
{
    if (args.empty()) return Fail("query needs a KEY. Type \"kelvo-reg --help\" for usage.");
    auto name = ParseKeyName(args[0]);
    auto options = ParseOptions(args, 1, " s ve ", " v ");
    if (!name || !options) return 1;
    if ((options->Has("v") || options->Has("ve")) + options->Has("s") > 1 || (options->Has("v") && options->Has("ve")))
        return Fail("Give only one of /v, /ve and /s.");
    UniqueKey key;
    LONG status = OpenKeyName(*name, KEY_READ, key);
    if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
    if (options->Has("v") || options->Has("ve")) {
        registry::RegValue value;
        value.name = options->Get("v").value_or("");
        DWORD length = 0;
        status = RegQueryValueExA(key.get(), value.name.c_str(), nullptr, &value.type, nullptr, &length);
        if (status == ERROR_SUCCESS) {
            value.data.resize(length);
            status = RegQueryValueExA(key.get(), value.name.c_str(), nullptr, &value.type, value.data.data(), &length);
        }
        if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
        std::cout << "\n" << name->full << "\n";
        PrintValue(value);
        std::cout << "\n";
        return 0;
    }
    registry::KeyNode tree;
    status = ReadTree(key.get(), tree);
    if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
    std::cout << "\n";
    PrintKey(tree, name->full, options->Has("s"));
    return 0;
}

// Stored all the same: the user may know better, or mend it later.
void WarnOfUnusableInterval(const KeyName& name, const std::string& valueName, DWORD type,
                            const std::vector<BYTE>& data)
{
    if (Lower(name.sub) != Lower(kSettingsKey) || Lower(valueName) != "frequency") return;
    LONG interval = 0;
    if (type == REG_DWORD && data.size() == 4) std::memcpy(&interval, data.data(), 4);
    if (interval >= kMinimumInterval && interval <= INT16_MAX) return;
    std::cerr << "kelvo-reg: warning: Kelvo uses a \"Frequency\" from " << kMinimumInterval << " to " << INT16_MAX
              << " (REG_DWORD) and will run at " << kDefaultInterval << " ms instead\n";
}

int Add(const std::vector<std::string>& args)
{
    if (args.empty()) return Fail("add needs a KEY. Type \"kelvo-reg --help\" for usage.");
    auto name = ParseKeyName(args[0]);
    auto options = ParseOptions(args, 1, " ve f ", " v t d ");
    if (!name || !options) return 1;
    if (options->Has("v") && options->Has("ve")) return Fail("Give only one of /v and /ve.");
    if (name->sub.empty() && !options->Has("v") && !options->Has("ve")) return Fail("Give a subkey of HKCU to add.");
    const bool hasValue = options->Has("v") || options->Has("ve");
    if (!hasValue && (options->Has("t") || options->Has("d"))) return Fail("/t and /d need /v or /ve.");

    DWORD type = REG_SZ;
    std::string typeName = options->Get("t").value_or("REG_SZ");
    std::string upper = typeName;
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (upper == "REG_SZ") {
        type = REG_SZ;
    } else if (upper == "REG_DWORD") {
        type = REG_DWORD;
    } else if (upper == "REG_BINARY") {
        type = REG_BINARY;
    } else {
        return Fail("Invalid type \"" + typeName + "\": use REG_SZ, REG_DWORD or REG_BINARY.");
    }
    auto data = ParseData(type, options->Get("d").value_or(""));
    if (!data)
        return Fail("Invalid data \"" + options->Get("d").value_or("") + "\" for " + upper +
                    (type == REG_DWORD ? ": give a number from 0 to 4294967295, or 0x and hex digits."
                                       : ": give pairs of hex digits, e.g. 0a1bff."));

    UniqueKey key;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, name->sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
    if (hasValue) {
        const std::string valueName = options->Get("v").value_or("");
        if (!options->Has("f") &&
            RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            !Confirm("Value " + (valueName.empty() ? std::string("(Default)") : valueName) + " exists, overwrite"))
            return Fail("The value exists; give /f to overwrite it.");
        status = RegSetValueExA(key.get(), valueName.c_str(), 0, type, data->data(), static_cast<DWORD>(data->size()));
        if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
        WarnOfUnusableInterval(*name, valueName, type, *data);
    }
    std::cout << kDone << "\n";
    return 0;
}

int Delete(const std::vector<std::string>& args)
{
    if (args.empty()) return Fail("delete needs a KEY. Type \"kelvo-reg --help\" for usage.");
    auto name = ParseKeyName(args[0]);
    auto options = ParseOptions(args, 1, " ve va f ", " v ");
    if (!name || !options) return 1;
    if (options->Has("v") + options->Has("ve") + options->Has("va") > 1) return Fail("Give only one of /v, /ve and /va.");
    const bool force = options->Has("f");

    if (options->Has("v") || options->Has("ve") || options->Has("va")) {
        UniqueKey key;
        LONG status = OpenKeyName(*name, KEY_ALL_ACCESS, key);
        if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
        std::vector<std::string> names;
        if (options->Has("va")) {
            registry::KeyNode tree;
            status = ReadTree(key.get(), tree);
            if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
            for (const auto& value : tree.values) names.push_back(value.name);
        } else {
            names.push_back(options->Get("v").value_or(""));
        }
        std::string what = options->Has("va") ? "all values under " + name->full
                                              : "the registry value " + (names[0].empty() ? "(Default)" : names[0]);
        if (!force && !Confirm("Delete " + what)) return Fail("Not deleted; give /f to delete without asking.");
        for (const std::string& value : names) {
            status = RegDeleteValueA(key.get(), value.c_str());
            if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
        }
        std::cout << kDone << "\n";
        return 0;
    }

    if (name->sub.empty()) return Fail("HKEY_CURRENT_USER itself cannot be deleted.");
    std::string parentPath, last = name->sub;
    if (std::size_t slash = name->sub.rfind('\\'); slash != std::string::npos) {
        parentPath = name->sub.substr(0, slash);
        last = name->sub.substr(slash + 1);
    }
    UniqueKey parent;
    LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, parentPath.c_str(), 0, KEY_ALL_ACCESS, parent.put());
    UniqueKey probe;
    if (status == ERROR_SUCCESS) status = RegOpenKeyExA(parent.get(), last.c_str(), 0, KEY_READ, probe.put());
    if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
    probe.reset();
    if (!force && !Confirm("Permanently delete the registry key " + name->full))
        return Fail("Not deleted; give /f to delete without asking.");
    status = DeleteTree(parent.get(), last);
    if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
    std::cout << kDone << "\n";
    return 0;
}

int Export(const std::vector<std::string>& args)
{
    if (args.size() < 2) return Fail("export needs a KEY and a FILE. Type \"kelvo-reg --help\" for usage.");
    auto name = ParseKeyName(args[0]);
    auto options = ParseOptions(args, 2, " y ", " ");
    if (!name || !options) return 1;
    const std::string& file = args[1];
    UniqueKey key;
    LONG status = OpenKeyName(*name, KEY_READ, key);
    if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
    registry::KeyNode tree;
    status = ReadTree(key.get(), tree);
    if (status != ERROR_SUCCESS) return Fail(DescribeError(status));
    if (::access(file.c_str(), F_OK) == 0 && !options->Has("y") && !Confirm("File " + file + " already exists. Overwrite"))
        return Fail("The file " + file + " exists; give /y to overwrite it.");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << registry::SerializeRegFile(tree, name->full);
    out.close();
    if (!out) return Fail("Cannot write the file " + file + ".");
    std::cout << kDone << "\n";
    return 0;
}

int Import(const std::vector<std::string>& args)
{
    if (args.size() != 1) return Fail("import needs exactly one FILE. Type \"kelvo-reg --help\" for usage.");
    const std::string& file = args[0];
    std::ifstream in(file, std::ios::binary);
    if (!in) return Fail("Cannot open the file " + file + ".");
    std::string text;
    text.resize(registry::kMaxHiveBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > registry::kMaxHiveBytes) return Fail("The file " + file + " is larger than 64 MiB.");

    registry::RegFile parsed = registry::ParseRegFile(text);
    for (const auto& section : parsed.sections) {
        if (!registry::IsCurrentUserRoot(section.root))
            parsed.problems.push_back({section.line, "a key outside HKEY_CURRENT_USER"});
        for (const auto& value : section.values) {
            if (value.data.size() > registry::kMaxValueBytes)
                parsed.problems.push_back({section.line, "a value of this key holds more than 16 MiB"});
        }
    }
    std::sort(parsed.problems.begin(), parsed.problems.end(),
              [](const auto& a, const auto& b) { return a.line < b.line; });
    if (!parsed.problems.empty()) {
        for (const auto& problem : parsed.problems)
            std::cerr << "ERROR: " << file << " line " << problem.line << ": " << problem.what << "\n";
        return Fail("Nothing was imported.");
    }
    // All of it in one change of the hive, written whole or not at all.
    const LONG status = registry::CurrentUserHive().Modify([&](registry::KeyNode& root, bool& changed) -> LONG {
        registry::KeyNode imported = root;
        std::vector<registry::RegFileProblem> problems;
        registry::ApplyRegFile(parsed, imported, problems);
        if (!problems.empty()) return ERROR_INVALID_PARAMETER;
        changed = !(imported == root);
        if (changed) root = std::move(imported);
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return Fail(DescribeError(status) + " Nothing was imported.");
    std::cout << kDone << "\n";
    return 0;
}

}  // namespace kelvo::reg_tool
