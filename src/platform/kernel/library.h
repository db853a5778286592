// LoadLibraryA, GetProcAddress and FreeLibrary over the libraries the
// stand-ins provide, the program's own module handle, and the thread's last
// error code.
#pragma once

#include "win32/win32.h"

#include <map>
#include <optional>
#include <string>

// Names match without letter case and without a folder; a name without an
// extension gets ".dll". NULL with GetLastError ERROR_MOD_NOT_FOUND for a
// library no stand-in provides.
HMODULE LoadLibraryA(LPCSTR lpLibFileName);
// NULL with ERROR_PROC_NOT_FOUND for a name the library does not export (and
// for ordinals, which no stand-in exports); ERROR_INVALID_HANDLE for a module
// that is not loaded.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Takes back one LoadLibraryA; FALSE with ERROR_INVALID_HANDLE for a module
// that is not loaded.
BOOL FreeLibrary(HMODULE hLibModule);
// NULL names the program itself; otherwise a loaded library, or NULL.
HMODULE GetModuleHandleA(LPCSTR lpModuleName);

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

namespace kernel {

using Exports = std::map<std::string, FARPROC>;

// Makes a library loadable under `name` (nullopt withdraws it). Stand-ins
// provide their own; tests provide replacements. Returns what was provided
// under that name before.
std::optional<Exports> ProvideLibrary(const std::string& name, std::optional<Exports> exports);

}  // namespace kernel
