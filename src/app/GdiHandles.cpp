#include "app/GdiHandles.h"

namespace kelvo {

MemoryDC::MemoryDC(int width, int height)
    : dc_(CreateCompatibleDC(nullptr)), bitmap_(CreateBitmap(width, height, 1, 32, nullptr))
{
    if (dc_ && bitmap_) oldBitmap_ = SelectObject(dc_, bitmap_.get());
}

MemoryDC::~MemoryDC()
{
    if (!dc_) return;
    if (oldPen_) SelectObject(dc_, oldPen_);
    if (oldBitmap_) SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
}

void MemoryDC::SelectPen(HPEN pen)
{
    HGDIOBJ previous = SelectObject(dc_, pen);
    if (!oldPen_) oldPen_ = previous;
}

}  // namespace kelvo
