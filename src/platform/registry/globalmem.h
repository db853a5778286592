// Movable global memory of kernel32 (GlobalAlloc & co.), with the published
// names and signatures, and RAII owners for a block and for a lock on it.
#pragma once

#include "win32/win32.h"

#include <cstddef>

using SIZE_T = std::size_t;

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_MODIFY = 0x0080;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);
LPVOID GlobalLock(HGLOBAL hMem);
BOOL GlobalUnlock(HGLOBAL hMem);
HGLOBAL GlobalFree(HGLOBAL hMem);
SIZE_T GlobalSize(HGLOBAL hMem);

namespace kelvo::registry {

class GlobalBlock {
public:
    GlobalBlock() = default;
    explicit GlobalBlock(HGLOBAL hMem) : hMem_(hMem) {}
    GlobalBlock(GlobalBlock&& other) noexcept : hMem_(other.release()) {}
    GlobalBlock& operator=(GlobalBlock&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() { reset(); }

    HGLOBAL get() const { return hMem_; }
    // For calls that take the handle in-out and may replace it.
    HGLOBAL& ref() { return hMem_; }
    HGLOBAL release()
    {
        HGLOBAL h = hMem_;
        hMem_ = nullptr;
        return h;
    }
    void reset(HGLOBAL hMem = nullptr)
    {
        if (hMem_ != nullptr) GlobalFree(hMem_);
        hMem_ = hMem;
    }

private:
    HGLOBAL hMem_ = nullptr;
};

class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL hMem) : hMem_(hMem), data_(GlobalLock(hMem)) {}
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    ~GlobalLockGuard()
    {
        if (data_ != nullptr) GlobalUnlock(hMem_);
    }
    LPVOID data() const { return data_; }

private:
    HGLOBAL hMem_;
    LPVOID data_;
};

}  // namespace kelvo::registry
