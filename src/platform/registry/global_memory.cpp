// Movable global memory: a handle names a block whose bytes may move while it
// is unlocked, so handles are table entries rather than addresses.
#include "registry/globalmem.h"

#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace kelvo::registry {
namespace {

struct Block {
    std::vector<BYTE> bytes;
    UINT flags = 0;
    unsigned lockCount = 0;
};

class BlockTable {
public:
    HGLOBAL Add(Block block)
    {
        std::lock_guard lock(mutex_);
        next_ += 8;  // never reused, so a stale handle stays invalid
        blocks_.emplace(next_, std::move(block));
        return reinterpret_cast<HGLOBAL>(next_);
    }

    template <typename Fn>
    auto With(HGLOBAL hMem, Fn&& fn)
    {
        std::lock_guard lock(mutex_);
        auto it = blocks_.find(reinterpret_cast<std::uintptr_t>(hMem));
        return fn(it == blocks_.end() ? nullptr : &it->second);
    }

    bool Remove(HGLOBAL hMem)
    {
        std::lock_guard lock(mutex_);
        return blocks_.erase(reinterpret_cast<std::uintptr_t>(hMem)) == 1;
    }

private:
    std::mutex mutex_;
    std::uintptr_t next_ = 0x10000;
    std::unordered_map<std::uintptr_t, Block> blocks_;
};

BlockTable& Table()
{
    static BlockTable table;
    return table;
}

}  // namespace
}  // namespace kelvo::registry

using kelvo::registry::Block;
using kelvo::registry::Table;

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    try {
        Block block;
        block.bytes.assign(dwBytes, 0);
        block.flags = uFlags;
        return Table().Add(std::move(block));
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags)
{
    return Table().With(hMem, [&](Block* block) -> HGLOBAL {
        if (block == nullptr) return nullptr;
        if (uFlags & GMEM_MODIFY) {
            block->flags = (block->flags & ~GMEM_MOVEABLE) | (uFlags & GMEM_MOVEABLE);
            return hMem;
        }
        // A locked block never moves: its address is in the locker's hands.
        if (block->lockCount > 0 && dwBytes > block->bytes.capacity()) return nullptr;
        try {
            block->bytes.resize(dwBytes, 0);  // new bytes are zero whether or not GMEM_ZEROINIT asks
        } catch (const std::bad_alloc&) {
            return nullptr;
        } catch (const std::length_error&) {
            return nullptr;
        }
        return hMem;
    });
}

LPVOID GlobalLock(HGLOBAL hMem)
{
    return Table().With(hMem, [](Block* block) -> LPVOID {
        if (block == nullptr || block->bytes.empty()) return nullptr;
        ++block->lockCount;
        return block->bytes.data();
    });
}

BOOL GlobalUnlock(HGLOBAL hMem)
{
    return Table().With(hMem, [](Block* block) -> BOOL {
        if (block == nullptr || block->lockCount == 0) return FALSE;
        --block->lockCount;
        return block->lockCount > 0 ? TRUE : FALSE;
    });
}

HGLOBAL GlobalFree(HGLOBAL hMem)
{
    return Table().Remove(hMem) ? nullptr : hMem;
}

SIZE_T GlobalSize(HGLOBAL hMem)
{
    return Table().With(hMem, [](Block* block) -> SIZE_T { return block == nullptr ? 0 : block->bytes.size(); });
}
