#include "kernel/library.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// Where a program's image is loaded by default; the value GetModuleHandle(NULL)
// gives most programs.
const auto kProgramModule = reinterpret_cast<HMODULE>(std::uintptr_t{0x00400000});
constexpr std::uintptr_t kFirstLibrary = 0x10000000;
constexpr std::uintptr_t kLibrarySpacing = 0x10000;

struct Library {
    std::string name;
    std::optional<kernel::Exports> exports;  // nullopt once withdrawn
    int loads = 0;
};

// Slots are never reused, so a handle never names another library.
std::vector<Library>& Libraries()
{
    static std::vector<Library> libraries;
    return libraries;
}

thread_local DWORD lastError = ERROR_SUCCESS;

std::string Canonical(const std::string& fileName)
{
    std::string name = fileName.substr(fileName.find_last_of("\\/") + 1);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name.find('.') == std::string::npos) name += ".dll";
    return name;
}

HMODULE HandleOf(std::size_t slot)
{
    return reinterpret_cast<HMODULE>(kFirstLibrary + kLibrarySpacing * slot);
}

Library* Loaded(HMODULE module)
{
    const auto value = reinterpret_cast<std::uintptr_t>(module);
    if (value < kFirstLibrary || (value - kFirstLibrary) % kLibrarySpacing != 0) return nullptr;
    const std::size_t slot = (value - kFirstLibrary) / kLibrarySpacing;
    if (slot >= Libraries().size()) return nullptr;
    Library& library = Libraries()[slot];
    return library.exports && library.loads > 0 ? &library : nullptr;
}

std::optional<std::size_t> SlotNamed(const std::string& name)
{
    auto& libraries = Libraries();
    const auto it = std::find_if(libraries.begin(), libraries.end(),
                                 [&](const Library& l) { return l.name == name && l.exports; });
    if (it == libraries.end()) return std::nullopt;
    return static_cast<std::size_t>(it - libraries.begin());
}

}  // namespace

namespace kernel {

std::optional<Exports> ProvideLibrary(const std::string& name, std::optional<Exports> exports)
{
    const std::string canonical = Canonical(name);
    std::optional<Exports> before;
    if (const auto slot = SlotNamed(canonical)) {
        Library& library = Libraries()[*slot];
        before = std::move(library.exports);
        library.exports.reset();
    }
    if (exports) Libraries().push_back({canonical, std::move(exports), 0});
    return before;
}

}  // namespace kernel

HMODULE LoadLibraryA(LPCSTR lpLibFileName)
{
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto slot = SlotNamed(Canonical(lpLibFileName));
    if (!slot) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++Libraries()[*slot].loads;
    return HandleOf(*slot);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    const Library* library = Loaded(hModule);
    if (!library) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // A value below 0x10000 is an ordinal, not a text to read.
    if (reinterpret_cast<std::uintptr_t>(lpProcName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    const auto it = library->exports->find(lpProcName);
    if (it == library->exports->end()) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return it->second;
}

BOOL FreeLibrary(HMODULE hLibModule)
{
    Library* library = Loaded(hLibModule);
    if (!library) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --library->loads;
    return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName)
{
    if (!lpModuleName) return kProgramModule;
    const auto slot = SlotNamed(Canonical(lpModuleName));
    if (!slot || Libraries()[*slot].loads == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return HandleOf(*slot);
}

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD dwErrCode)
{
    lastError = dwErrCode;
}
