// The handle table behind every GDI handle. A handle value encodes a slot
// index, the slot's generation and a type tag; it is never dereferenced, so
// stale, forged or wrong-typed handles are simply not found.
#pragma once

#include "gdi/gdi.h"
#include "gdi/raster.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <variant>
#include <vector>

namespace gdi::detail {

struct Bitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 1;                // 1 or 32
    std::vector<std::uint32_t> pixels;  // 0/1 when 1 bpp, else 0x00RRGGBB
    HDC selectedInto = nullptr;
};

struct Pen {
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
    int selections = 0;
};

struct Brush {
    bool hollow = false;
    COLORREF colour = 0;
    int selections = 0;
};

// How a DC strokes lines and outlines, chosen when its pen is selected.
struct Stroke {
    void (*segment)(raster::Canvas&, POINT, POINT, const Stroke&) = nullptr;
    int outlineWidth = 0;  // 0: shapes get no outline
    int width = 1;
    COLORREF colour = 0;
};

// How a DC fills shapes, chosen when its brush is selected.
struct Fill {
    bool paints = false;
    COLORREF colour = 0;
};

struct Dc {
    bool informationOnly = false;  // an information context: queries only
    HBITMAP bitmap = nullptr;
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    Stroke stroke;
    Fill fill;
};

struct Icon {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> mask;       // 1: transparent or inverted
    std::vector<std::uint32_t> colour;    // 0x00RRGGBB
};

Stroke StrokeFor(const Pen& pen);
Fill FillFor(const Brush& brush);

class Table {
public:
    static Table& instance();

    std::mutex& mutex() { return mutex_; }

    template <class T>
    T* find(const void* handle)
    {
        Slot* slot = lookup(handle);
        return slot ? std::get_if<T>(&slot->object) : nullptr;
    }

    template <class T>
    void* add(T object)
    {
        return addSlot(Object(std::move(object)), false);
    }

    // Frees a non-stock object; false when not found.
    bool remove(const void* handle);
    bool isStock(const void* handle);
    void* stock(int index) const;
    void* defaultBitmap() const { return defaultBitmap_; }
    int liveCount() const { return live_; }

private:
    using Object = std::variant<std::monostate, Dc, Bitmap, Pen, Brush, Icon>;
    struct Slot {
        std::uint64_t generation = 0;
        bool stock = false;
        Object object;
    };

    Table();
    void* addSlot(Object object, bool stock);
    Slot* lookup(const void* handle);

    std::mutex mutex_;
    std::deque<Slot> slots_;  // a deque keeps found pointers valid across additions
    std::vector<std::size_t> free_;
    std::vector<void*> stock_;
    void* defaultBitmap_ = nullptr;
    int live_ = 0;
};

}  // namespace gdi::detail
