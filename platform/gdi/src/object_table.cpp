// The table of drawing objects. A token is kTokenMark | (generation << kSlotBits) | (slot + 1):
// nonzero, below 0x80000000, and apart from the tokens of the other handle tables by its mark. A
// removed slot's generation moves on, so its old token is refused; freed slots are reused only
// once many are free.
#include "object_table.h"

#include <deque>

namespace gdi::detail {

namespace {

constexpr std::uint32_t kSlotBits = 18;
constexpr std::uint32_t kGenerationBits = 12;
constexpr std::uint32_t kSlotMask = (1u << kSlotBits) - 1;
constexpr std::uint32_t kGenerationMask = (1u << kGenerationBits) - 1;
constexpr std::uint32_t kTokenMark = 1u << (kSlotBits + kGenerationBits);
constexpr std::size_t kMaxSlots = kSlotMask;
constexpr std::size_t kMinFreeBeforeReuse = 1024;

struct Slot {
    std::optional<Object> object;
    std::uint32_t generation = 0;
    bool stock = false;
};

struct Table {
    std::mutex mutex;
    std::vector<Slot> slots;
    std::deque<std::uint32_t> free;
    std::size_t live = 0;  // non-stock entries
    HPEN stockPens[3] = {};
    HBRUSH stockBrushes[3] = {};
    HGDIOBJ stockBitmap = nullptr;
};

Table& TheTable() {
    static Table table;
    return table;
}

void* TokenOf(std::uint32_t slot, std::uint32_t generation) {
    const std::uintptr_t token =
        kTokenMark | (static_cast<std::uintptr_t>(generation) << kSlotBits) | (slot + 1);
    return reinterpret_cast<void*>(token);
}

Slot* FindSlot(const void* handle) {
    const std::uintptr_t token = reinterpret_cast<std::uintptr_t>(handle);
    if ((token & ~static_cast<std::uintptr_t>(kTokenMark | (kGenerationMask << kSlotBits) |
                                              kSlotMask)) != 0 ||
        (token & kTokenMark) == 0 || (token & kSlotMask) == 0)
        return nullptr;
    Table& table = TheTable();
    const std::size_t slot = (token & kSlotMask) - 1;
    if (slot >= table.slots.size())
        return nullptr;
    Slot& entry = table.slots[slot];
    if (!entry.object || entry.generation != ((token >> kSlotBits) & kGenerationMask))
        return nullptr;
    return &entry;
}

template <class T>
T* FindAs(const void* handle) {
    Slot* slot = FindSlot(handle);
    return slot ? std::get_if<T>(&*slot->object) : nullptr;
}

void* InsertEntry(Object object, bool stock) {
    Table& table = TheTable();
    std::uint32_t slot;
    if (table.free.size() > kMinFreeBeforeReuse ||
        (!table.free.empty() && table.slots.size() >= kMaxSlots)) {
        slot = table.free.front();
        table.free.pop_front();
    } else if (table.slots.size() < kMaxSlots) {
        slot = static_cast<std::uint32_t>(table.slots.size());
        table.slots.emplace_back();
    } else {
        return nullptr;
    }
    Slot& entry = table.slots[slot];
    entry.object = std::move(object);
    entry.stock = stock;
    if (!stock)
        ++table.live;
    return TokenOf(slot, entry.generation);
}

// Stock objects by their GetStockObject index, in the order of the tables above.
constexpr int kStockPenIndices[] = {WHITE_PEN, BLACK_PEN, NULL_PEN};
constexpr int kStockBrushIndices[] = {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH};

void MakeStockObjects(Table& table) {
    if (table.stockPens[0])
        return;
    table.stockPens[0] = static_cast<HPEN>(InsertEntry(Pen{PS_SOLID, 0, 0xFFFFFF}, true));
    table.stockPens[1] = static_cast<HPEN>(InsertEntry(Pen{PS_SOLID, 0, 0x000000}, true));
    table.stockPens[2] = static_cast<HPEN>(InsertEntry(Pen{PS_NULL, 0, 0}, true));
    table.stockBrushes[0] = static_cast<HBRUSH>(InsertEntry(Brush{false, 0xFFFFFF}, true));
    table.stockBrushes[1] = static_cast<HBRUSH>(InsertEntry(Brush{false, 0x000000}, true));
    table.stockBrushes[2] = static_cast<HBRUSH>(InsertEntry(Brush{true, 0}, true));
    table.stockBitmap = InsertEntry(Bitmap{1, 1, {0x000000}}, true);
}

template <std::size_t N, class Handle>
Handle StockOf(const int (&indices)[N], Handle (&objects)[N], int index) {
    MakeStockObjects(TheTable());
    for (std::size_t i = 0; i < N; ++i) {
        if (indices[i] == index)
            return objects[i];
    }
    return nullptr;
}

}  // namespace

std::unique_lock<std::mutex> Lock() {
    return std::unique_lock(TheTable().mutex);
}

void* Insert(Object object) {
    return InsertEntry(std::move(object), false);
}

Dc* FindDc(HDC hdc) {
    return FindAs<Dc>(hdc);
}

Pen* FindPen(HGDIOBJ handle) {
    return FindAs<Pen>(handle);
}

Brush* FindBrush(HGDIOBJ handle) {
    return FindAs<Brush>(handle);
}

Bitmap* FindBitmap(HGDIOBJ handle) {
    return FindAs<Bitmap>(handle);
}

Dc* FindDrawingDc(HDC hdc) {
    Dc* dc = FindDc(hdc);
    return dc && dc->surface ? dc : nullptr;
}

bool IsStock(HGDIOBJ handle) {
    const Slot* slot = FindSlot(handle);
    return slot && slot->stock;
}

bool Remove(HGDIOBJ handle) {
    Slot* slot = FindSlot(handle);
    if (!slot || slot->stock)
        return false;
    Table& table = TheTable();
    slot->object.reset();
    slot->generation = (slot->generation + 1) & kGenerationMask;
    table.free.push_back(static_cast<std::uint32_t>(slot - table.slots.data()));
    --table.live;
    return true;
}

bool IsSelectedAnywhere(HGDIOBJ handle) {
    auto selects = [handle](const DcState& state) {
        return state.pen == handle || state.brush == handle;
    };
    for (const Slot& slot : TheTable().slots) {
        const Dc* dc = slot.object ? std::get_if<Dc>(&*slot.object) : nullptr;
        if (!dc)
            continue;
        if (dc->bitmap == handle || selects(dc->state))
            return true;
        for (const DcState& state : dc->saved) {
            if (selects(state))
                return true;
        }
    }
    return false;
}

std::size_t LiveCount() {
    return TheTable().live;
}

HPEN StockPen(int index) {
    Table& table = TheTable();
    return StockOf(kStockPenIndices, table.stockPens, index);
}

HBRUSH StockBrush(int index) {
    Table& table = TheTable();
    return StockOf(kStockBrushIndices, table.stockBrushes, index);
}

HGDIOBJ StockBitmap() {
    Table& table = TheTable();
    MakeStockObjects(table);
    return table.stockBitmap;
}

}  // namespace gdi::detail
