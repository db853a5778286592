#include "kernel/module_file.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

// The link read with the plain call: std::filesystem's code would be paged in
// (and stay resident) for this one start-up question.
std::string ProgramPath()
{
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            return path;
        }
        path.resize(path.size() * 2);  // perhaps cut: try a larger buffer
    }
}

}  // namespace

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    if (hModule || !lpFilename || nSize == 0) return 0;
    const std::string path = ProgramPath();
    if (path.empty()) return 0;
    const DWORD copied = static_cast<DWORD>(std::min<std::size_t>(path.size(), nSize - 1));
    std::memcpy(lpFilename, path.data(), copied);
    lpFilename[copied] = '\0';
    return path.size() < nSize ? copied : nSize;
}
