#include "kernel/module_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    if (hModule || !lpFilename || nSize == 0) return 0;
    std::error_code error;
    const std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error || path.empty()) return 0;
    const DWORD copied = static_cast<DWORD>(std::min<std::size_t>(path.size(), nSize - 1));
    std::memcpy(lpFilename, path.data(), copied);
    lpFilename[copied] = '\0';
    return path.size() < nSize ? copied : nSize;
}
