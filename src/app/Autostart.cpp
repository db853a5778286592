#include "app/Autostart.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

namespace kelvo {
namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& word)
{
    constexpr const char* kReserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote = word.empty() || word.find_first_of(kReserved) != std::string::npos;
    std::string out = quote ? "\"" : "";
    for (char c : word) {
        if (quote && std::strchr("\"`$\\", c)) out += '\\';
        if (c == '%') out += '%';  // not a field code
        out += c;
    }
    return quote ? out + '"' : out;
}

// A desktop entry is UTF-8 through and through; a path in another encoding
// cannot be written in one.
bool IsUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and what lies beyond Unicode.
        constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

// The string escapes of a desktop entry value, undone before the quoting.
std::string Escaped(const std::string& value)
{
    std::string out;
    for (char c : value) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace

fs::path AutostartFile()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return fs::path(config) / "autostart" / "kelvo.desktop";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return fs::path(home) / ".config" / "autostart" / "kelvo.desktop";
    return {};
}

std::string ExecValue(const std::string& program, const std::string& arguments)
{
    return Escaped(Quoted(program) + (arguments.empty() ? "" : " " + Quoted(arguments)));
}

std::string WriteAutostart(const fs::path& program)
{
    const fs::path file = AutostartFile();
    if (file.empty()) return "neither XDG_CONFIG_HOME nor HOME names a folder";
    // The format has no way to write an '=' in the program's path.
    if (program.string().find('=') != std::string::npos) return program.string() + " holds an '='";
    if (!IsUtf8(program.string())) return "the path of its binary is not UTF-8, which a desktop entry cannot hold";
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) return file.parent_path().string() + ": " + ec.message();
    // Written beside it and renamed over it: a failure never leaves half a file.
    const fs::path part = file.string() + ".part";
    {
        std::ofstream out(part, std::ios::trunc);
        out << "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Kelvo\n"
               "Comment=Watch the sound arriving at the recording input as a live waveform\n"
               "TryExec="
            << Escaped(program.string())
            << "\n"  // desktops skip the entry once the program is removed
               "Exec="
            << ExecValue(program.string(), "/tray")
            << "\n"
               "Icon=kelvo\n"
               "Terminal=false\n";
        out.close();
        if (!out) {
            fs::remove(part, ec);
            return part.string() + ": cannot be written";
        }
    }
    fs::rename(part, file, ec);
    if (ec) {
        const std::string why = file.string() + ": " + ec.message();
        fs::remove(part, ec);
        return why;
    }
    return "";
}

std::string RemoveAutostart()
{
    const fs::path file = AutostartFile();
    if (file.empty()) return "neither XDG_CONFIG_HOME nor HOME names a folder";
    std::error_code ec;
    fs::remove(file, ec);
    return ec ? file.string() + ": " + ec.message() : "";
}

}  // namespace kelvo
