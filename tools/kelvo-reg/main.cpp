// kelvo-reg: look at and change Kelvo's registry hive, in the manner of the
// Windows reg command.
#include "commands.h"

#include "registry/hive_store.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = R"(Usage:
  kelvo-reg query KEY [/v NAME | /ve | /s]
  kelvo-reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]
  kelvo-reg delete KEY [/v NAME | /ve | /va] [/f]
  kelvo-reg export KEY FILE [/y]
  kelvo-reg import FILE
  kelvo-reg --help | --version

KEY is HKCU or HKEY_CURRENT_USER, followed by \SUBKEY\..., for example
  'HKCU\SOFTWARE\Quennel\Kelvo' (quoted, so that the shell keeps the \)
The hive is $XDG_CONFIG_HOME/kelvo/user.reg (default ~/.config/kelvo/user.reg).

  /v NAME   the value NAME        /ve  the default (unnamed) value
  /s        every subkey as well  /va  every value of the key
  /t TYPE   the value's type (default REG_SZ)
  /d DATA   the data: text for REG_SZ, a number for REG_DWORD (decimal or
            0x hex), hex digits for REG_BINARY (e.g. 0a1bff)
  /f        change or delete without asking
  /y        overwrite FILE without asking

delete KEY removes the key with everything under it. FILE is in the registry
editor's REGEDIT4 format. The exit status is 0 on success and 1 on any error.

Example, to draw the window through DirectDraw from the next start:
  kelvo-reg add 'HKCU\SOFTWARE\Quennel\Kelvo' /v DirectX /t REG_SZ /d y /f
)";

}  // namespace

int main(int argc, char** argv)
{
    kelvo::registry::SetProgramName("kelvo-reg");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const std::string command = args[0];
    if (command == "--help" || command == "-h" || command == "/?" || command == "-?" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::fputs("kelvo-reg " KELVO_VERSION "\n", stdout);
        return 0;
    }
    args.erase(args.begin());
    std::string lower;
    for (char c : command) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "query") return kelvo::reg_tool::Query(args);
    if (lower == "add") return kelvo::reg_tool::Add(args);
    if (lower == "delete") return kelvo::reg_tool::Delete(args);
    if (lower == "export") return kelvo::reg_tool::Export(args);
    if (lower == "import") return kelvo::reg_tool::Import(args);
    return kelvo::reg_tool::Fail("Unknown command \"" + command + "\". Type \"kelvo-reg --help\" for usage.");
}
