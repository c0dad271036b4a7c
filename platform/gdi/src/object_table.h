// The objects of the drawing interface and the one table that names them by token. Private to
// platform/gdi. Every entry point takes the table's lock for its whole call (Lock()), so that a
// context, its objects and its surface are never seen half changed.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

#include "gdi/gdi.h"
#include "ui/surface.h"

namespace gdi::detail {

struct Pen {
    int style = PS_SOLID;
    int width = 0;
    COLORREF colour = 0;
};

struct Brush {
    bool hollow = false;
    COLORREF colour = 0;
};

// Pixels as 0x00BBGGRR, rows top-down.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
};

// Everything SaveDC keeps.
struct DcState {
    int mapMode = MM_TEXT;
    POINT viewportOrg{0, 0};
    POINT windowOrg{0, 0};
    SIZE viewportExt{1, 1};
    SIZE windowExt{1, 1};
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    COLORREF textColour = 0x000000;
    COLORREF bkColour = 0xFFFFFF;
    int bkMode = OPAQUE;
    POINT position{0, 0};
};

struct Dc {
    ui::Surface* surface = nullptr;  // nullptr: a memory context
    HGDIOBJ bitmap = nullptr;        // a memory context's bitmap
    DcState state;
    std::vector<DcState> saved;
    // The pen last handed to the surface, so that it is set again only when it changes.
    std::optional<std::pair<ui::Colour, int>> surfacePen;
};

using Object = std::variant<Dc, Pen, Brush, Bitmap>;

// The table's lock, held by every entry point for its whole call.
std::unique_lock<std::mutex> Lock();

// New entries; NULL when the table is full. Called with the lock held.
void* Insert(Object object);
// The live entry of that kind, or nullptr for a stale, foreign or null handle (or another kind).
// Called with the lock held; the pointer is good until the entry is removed.
Dc* FindDc(HDC hdc);
Pen* FindPen(HGDIOBJ handle);
Brush* FindBrush(HGDIOBJ handle);
Bitmap* FindBitmap(HGDIOBJ handle);
// A context that draws on a surface (not a memory context), or nullptr.
Dc* FindDrawingDc(HDC hdc);
bool IsStock(HGDIOBJ handle);
// Removes a non-stock entry; false for a bad handle or a stock object.
bool Remove(HGDIOBJ handle);
// Whether any context selects the object now or in a saved state.
bool IsSelectedAnywhere(HGDIOBJ handle);
std::size_t LiveCount();

// The stock objects, made on first use.
HPEN StockPen(int index);
HBRUSH StockBrush(int index);
// The 1 by 1 black bitmap every memory context starts with.
HGDIOBJ StockBitmap();

}  // namespace gdi::detail
