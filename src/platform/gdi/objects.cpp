#include "gdi/objects.h"

namespace gdi::detail {

namespace {

constexpr int kTagBits = 4;
constexpr int kIndexBits = 20;
constexpr int kGenerationShift = kTagBits + kIndexBits;
constexpr int kGenerationBits = static_cast<int>(sizeof(std::uintptr_t) * 8) - kGenerationShift;
constexpr std::uint64_t kGenerationMask =
    kGenerationBits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << kGenerationBits) - 1;

void* Encode(std::size_t index, std::uint64_t generation, std::size_t tag)
{
    const std::uintptr_t value = (static_cast<std::uintptr_t>(generation & kGenerationMask) << kGenerationShift)
        | (static_cast<std::uintptr_t>(index) << kTagBits) | static_cast<std::uintptr_t>(tag);
    return reinterpret_cast<void*>(value);
}

void NoSegment(raster::Canvas&, POINT, POINT, const Stroke&) {}
void ThinSegment(raster::Canvas& canvas, POINT from, POINT to, const Stroke& stroke)
{
    raster::ThinSegment(canvas, from, to, stroke.colour);
}
void WideSegment(raster::Canvas& canvas, POINT from, POINT to, const Stroke& stroke)
{
    raster::WideSegment(canvas, from, to, stroke.width, stroke.colour);
}

}  // namespace

Stroke StrokeFor(const Pen& pen)
{
    Stroke s;
    s.colour = pen.colour;
    s.width = pen.width;
    if (pen.style == PS_NULL) {
        s.segment = &NoSegment;
        s.outlineWidth = 0;
    } else {
        s.segment = pen.width > 1 ? &WideSegment : &ThinSegment;
        s.outlineWidth = pen.width;
    }
    return s;
}

Fill FillFor(const Brush& brush)
{
    return Fill{!brush.hollow, brush.colour};
}

Table& Table::instance()
{
    static Table table;
    return table;
}

Table::Table()
{
    // Slots follow the GetStockObject indexes.
    const auto brush = [this](COLORREF c) { stock_.push_back(addSlot(Brush{false, c, 0}, true)); };
    const auto pen = [this](int style, COLORREF c) { stock_.push_back(addSlot(Pen{style, 1, c, 0}, true)); };
    brush(RGB(255, 255, 255));
    brush(RGB(192, 192, 192));
    brush(RGB(128, 128, 128));
    brush(RGB(64, 64, 64));
    brush(RGB(0, 0, 0));
    stock_.push_back(addSlot(Brush{true, 0, 0}, true));
    pen(PS_SOLID, RGB(255, 255, 255));
    pen(PS_SOLID, RGB(0, 0, 0));
    pen(PS_NULL, 0);
    // The one-pixel monochrome bitmap every new memory DC starts with.
    defaultBitmap_ = addSlot(Bitmap{1, 1, 1, std::vector<std::uint32_t>(1, 0), nullptr}, true);
}

void* Table::addSlot(Object object, bool stock)
{
    std::size_t index;
    if (!free_.empty()) {
        index = free_.back();
        free_.pop_back();
    } else {
        if (slots_.size() >= (std::size_t{1} << kIndexBits))
            return nullptr;
        index = slots_.size();
        slots_.emplace_back();
    }
    Slot& slot = slots_[index];
    slot.stock = stock;
    slot.object = std::move(object);
    if (!stock)
        ++live_;
    return Encode(index, slot.generation, slot.object.index());
}

Table::Slot* Table::lookup(const void* handle)
{
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    const std::size_t tag = value & ((1u << kTagBits) - 1);
    const std::size_t index = (value >> kTagBits) & ((std::uintptr_t{1} << kIndexBits) - 1);
    const std::uint64_t generation = static_cast<std::uint64_t>(value >> kGenerationShift);
    if (tag == 0 || index >= slots_.size())
        return nullptr;
    Slot& slot = slots_[index];
    if (slot.object.index() != tag || (slot.generation & kGenerationMask) != generation)
        return nullptr;
    return &slot;
}

bool Table::remove(const void* handle)
{
    Slot* slot = lookup(handle);
    if (!slot || slot->stock)
        return false;
    slot->object = std::monostate{};
    ++slot->generation;
    // Deque storage is not contiguous: take the index from the handle.
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    free_.push_back((value >> kTagBits) & ((std::uintptr_t{1} << kIndexBits) - 1));
    --live_;
    return true;
}

bool Table::isStock(const void* handle)
{
    Slot* slot = lookup(handle);
    return slot && slot->stock;
}

void* Table::stock(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= stock_.size())
        return nullptr;
    return stock_[static_cast<std::size_t>(index)];
}

}  // namespace gdi::detail
