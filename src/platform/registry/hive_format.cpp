#include "registry/hive_format.h"

#include "registry/winreg.h"

#include <charconv>
#include <optional>

namespace kelvo::registry {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::size_t kWrapColumn = 76;  // regedit wraps hex data near 80 columns

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithFolded(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && NamesEqual(s.substr(0, prefix.size()), prefix);
}

class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}

    // The next physical line without its end (LF or CR LF); false at the end.
    bool Next(std::string_view& line)
    {
        if (pos_ >= text_.size()) return false;
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return true;
    }
    std::size_t number() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

bool HasControlCharacter(std::string_view line)
{
    for (char c : line) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return true;
    }
    return false;
}

// A quoted name or text starting at s[0] == '"'; advances s past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view& s)
{
    std::string out;
    std::size_t i = 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out.push_back(s[i + 1]);
            i += 2;
            continue;
        }
        out.push_back(c);  // a lone backslash, as people type paths, is taken as it stands
        ++i;
    }
    return std::nullopt;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text), lines_(text) {}

    RegFile Run()
    {
        std::string_view line;
        if (!lines_.Next(line)) return std::move(file_);  // an empty file is an empty hive
        if (TrimRight(line) != kHeader) {
            if (TrimLeft(TrimRight(line)).empty() && OnlyBlankLinesFollow()) return std::move(file_);
            Problem("the first line is not REGEDIT4");
            ParseLine(line);
        }
        while (lines_.Next(line)) ParseLine(line);
        // Every line written ends; one that does not may have been cut off
        // in the middle of a value, whatever it reads as.
        const std::string_view last = text_.substr(text_.rfind('\n') + 1);
        if (!TrimLeft(TrimRight(last)).empty()) Problem("the last line has no end (the file may be cut off)");
        return std::move(file_);
    }

private:
    bool OnlyBlankLinesFollow()
    {
        Lines probe = lines_;
        std::string_view line;
        while (probe.Next(line)) {
            if (!TrimLeft(TrimRight(line)).empty()) return false;
        }
        return true;
    }

    void Problem(std::string what) { file_.problems.push_back({lines_.number(), std::move(what)}); }

    void ParseLine(std::string_view raw)
    {
        if (HasControlCharacter(raw)) return Problem("control characters in the line");
        std::string_view line = TrimLeft(TrimRight(raw));
        if (line.empty() || line.front() == ';') return;
        if (line.front() == '[') return ParseSection(line);
        if (line.front() == '"' || line.front() == '@') return ParseValue(line);
        Problem("not a section or a value");
    }

    void ParseSection(std::string_view line)
    {
        current_ = nullptr;
        if (line.back() != ']') return Problem("a section without its closing bracket");
        std::string_view inner = line.substr(1, line.size() - 2);
        RegFileSection section;
        section.line = lines_.number();
        if (!inner.empty() && inner.front() == '-') {
            section.remove = true;
            inner.remove_prefix(1);
        }
        std::size_t slash = inner.find('\\');
        section.root = std::string(inner.substr(0, slash));
        if (section.root.empty()) return Problem("a section without a root key");
        while (slash != std::string_view::npos) {
            inner.remove_prefix(slash + 1);
            slash = inner.find('\\');
            std::string_view name = inner.substr(0, slash);
            if (!IsValidKeyName(name)) return Problem("an empty or over-long key name");
            if (section.path.size() == kMaxKeyDepth) return Problem("a key path deeper than 512 levels");
            section.path.emplace_back(name);
        }
        if (section.remove && section.path.empty()) return Problem("a root key cannot be removed");
        file_.sections.push_back(std::move(section));
        if (!file_.sections.back().remove) current_ = &file_.sections.back();
    }

    void ParseValue(std::string_view line)
    {
        if (current_ == nullptr) return Problem("a value outside a section");
        RegFileValue value;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else {
            auto name = ReadQuoted(line);
            if (!name) return Problem("a value name without its closing quote");
            if (!IsValidValueName(*name)) return Problem("an over-long value name");
            value.name = std::move(*name);
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != '=') return Problem("a value without '='");
        line = TrimLeft(line.substr(1));
        if (line == "-") {
            value.remove = true;
        } else if (!line.empty() && line.front() == '"') {
            auto text = ReadQuoted(line);
            if (!text || !TrimLeft(line).empty()) return Problem("a malformed quoted text");
            value.type = REG_SZ;
            value.data.assign(text->begin(), text->end());
            value.data.push_back(0);
        } else if (StartsWithFolded(line, "dword:")) {
            std::string_view digits = TrimLeft(line.substr(6));
            DWORD number = 0;
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number, 16);
            if (ec != std::errc() || end != digits.data() + digits.size() || digits.size() > 8 || digits.front() == '-' ||
                digits.front() == '+')
                return Problem("a malformed dword");
            value.type = REG_DWORD;
            for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<BYTE>(number >> (8 * i)));
        } else if (StartsWithFolded(line, "hex")) {
            if (!ParseHex(line.substr(3), value)) return Problem("malformed hex data");
        } else {
            return Problem("an unknown kind of value");
        }
        current_->values.push_back(std::move(value));
    }

    bool ParseHex(std::string_view s, RegFileValue& value)
    {
        value.type = REG_BINARY;
        if (!s.empty() && s.front() == '(') {
            std::size_t close = s.find(')');
            if (close == std::string_view::npos || close == 1 || close > 9) return false;
            auto [end, ec] = std::from_chars(s.data() + 1, s.data() + close, value.type, 16);
            if (ec != std::errc() || end != s.data() + close) return false;
            s.remove_prefix(close + 1);
        }
        if (s.empty() || s.front() != ':') return false;
        s.remove_prefix(1);
        for (;;) {
            s = TrimLeft(s);
            if (s.empty()) return true;
            if (s.front() == '\\' && TrimLeft(s.substr(1)).empty()) {
                std::string_view next;
                if (!lines_.Next(next) || HasControlCharacter(next)) return false;
                s = TrimRight(next);
                continue;
            }
            int hi = HexDigit(s.front());
            if (hi < 0) return false;
            s.remove_prefix(1);
            int byte = hi;
            if (!s.empty() && HexDigit(s.front()) >= 0) {
                byte = hi * 16 + HexDigit(s.front());
                s.remove_prefix(1);
            }
            value.data.push_back(static_cast<BYTE>(byte));
            s = TrimLeft(s);
            if (s.empty()) return true;
            if (s.front() == ',') {
                s.remove_prefix(1);
            } else if (s.front() != '\\') {
                return false;
            }
        }
    }

    std::string_view text_;
    Lines lines_;
    RegFile file_;
    RegFileSection* current_ = nullptr;
};

void AppendQuoted(std::string& out, std::string_view text)
{
    out.push_back('"');
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

bool HasTextForm(const RegValue& value)
{
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) return false;
    for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
        if (value.data[i] < 0x20) return false;
    }
    return true;
}

void AppendValue(std::string& out, const RegValue& value)
{
    std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, value.name);
    }
    out += '=';
    static constexpr char kDigits[] = "0123456789abcdef";
    if (HasTextForm(value)) {
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | value.data[static_cast<std::size_t>(i)];
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(number >> shift) & 0xF];
    } else {
        char type[16];
        auto [end, ec] = std::to_chars(type, type + sizeof type, value.type, 16);
        (void)ec;
        out += "hex(";
        out.append(type, end);
        out += "):";
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            out += kDigits[value.data[i] >> 4];
            out += kDigits[value.data[i] & 0xF];
            if (i + 1 < value.data.size()) {
                out += ',';
                if (out.size() - lineStart >= kWrapColumn) {
                    out += "\\\n  ";
                    lineStart = out.size() - 2;
                }
            }
        }
    }
    out += '\n';
}

void AppendKey(std::string& out, const KeyNode& key, const std::string& path, bool writeEmpty)
{
    if (writeEmpty || !key.values.empty()) {
        out += '[';
        out += path;
        out += "]\n";
        for (const RegValue& value : key.values) AppendValue(out, value);
        out += '\n';
    }
    for (const auto& [name, subkey] : key.subkeys) AppendKey(out, subkey, path + '\\' + name, true);
}

}  // namespace

RegFile ParseRegFile(std::string_view text)
{
    return Parser(text).Run();
}

bool IsCurrentUserRoot(std::string_view root)
{
    return NamesEqual(root, "HKEY_CURRENT_USER") || NamesEqual(root, "HKCU");
}

void ApplyRegFile(const RegFile& file, KeyNode& root, std::vector<RegFileProblem>& problems)
{
    for (const RegFileSection& section : file.sections) {
        if (!IsCurrentUserRoot(section.root)) {
            problems.push_back({section.line, "a section outside HKEY_CURRENT_USER"});
            continue;
        }
        if (section.remove) {
            KeyNode* parent = &root;
            for (std::size_t i = 0; parent != nullptr && i + 1 < section.path.size(); ++i)
                parent = parent->FindSubkey(section.path[i]);
            if (parent != nullptr) {
                auto it = parent->subkeys.find(section.path.back());
                if (it != parent->subkeys.end()) parent->subkeys.erase(it);
            }
            continue;
        }
        KeyNode* key = &root;
        for (const std::string& name : section.path) {
            KeyNode* next = key->FindSubkey(name);
            key = next != nullptr ? next : &key->subkeys[name];
        }
        for (const RegFileValue& value : section.values) {
            if (value.remove) {
                key->RemoveValue(value.name);
            } else {
                key->SetValue(value.name, value.type, value.data);
            }
        }
    }
}

std::string SerializeRegFile(const KeyNode& key, const std::string& path)
{
    std::string out(kHeader);
    out += "\n\n";
    bool isRoot = path.find('\\') == std::string::npos;
    AppendKey(out, key, path, !isRoot);
    return out;
}

}  // namespace kelvo::registry
