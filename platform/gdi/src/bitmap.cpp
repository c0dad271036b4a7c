// Bitmap resources, memory contexts and StretchBlt.
#include "gdi/bitmap.h"

#include <algorithm>

#include "dib_reader.h"
#include "mapping.h"
#include "object_table.h"
#include "surface_output.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/module.h"

using namespace gdi::detail;

namespace {

// The module's own table (NULL: the program's); nullptr with the last error set when the module
// is bad or has no such bitmap.
const gdi::BitmapResource* FindBitmapResource(HINSTANCE module, LPCSTR name) {
    auto* table = reinterpret_cast<const gdi::BitmapTable*>(
        GetProcAddress(module, MQ_BITMAP_TABLE_SYMBOL_NAME));
    if (table == nullptr && GetLastError() == ERROR_MOD_NOT_FOUND)
        return nullptr;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    if (table == nullptr || table->magic != gdi::kBitmapTableMagic || !IS_INTRESOURCE(name))
        return nullptr;
    const auto id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
    for (DWORD i = 0; i < table->count; ++i) {
        if (table->entries[i].id == id)
            return &table->entries[i];
    }
    return nullptr;
}

struct DeviceRect {
    int left;
    int top;
    int width;
    int height;
};

// The device pixels a logical rectangle of the context covers.
DeviceRect ToDeviceRect(const DcState& state, int x, int y, int width, int height) {
    const POINT a = ToDevice(state, {x, y});
    const POINT b = ToDevice(state, {x + width, y + height});
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)};
}

// The source index under the centre of destination pixel i of n, for a source of m pixels.
int SourceIndex(int i, int n, int m) {
    return static_cast<int>((2LL * i + 1) * m / (2LL * n));
}

// Draws the stretched source as filled runs: one per run of equal colour along a destination
// row, as tall as the destination rows that take the same source row.
void FillStretched(ui::Surface& surface, const Bitmap& bitmap, DeviceRect from, DeviceRect to) {
    int y = 0;
    while (y < to.height) {
        const int sourceRow = SourceIndex(y, to.height, from.height);
        int rows = 1;
        while (y + rows < to.height && SourceIndex(y + rows, to.height, from.height) == sourceRow)
            ++rows;
        const COLORREF* row = &bitmap.pixels[static_cast<std::size_t>(from.top + sourceRow) *
                                             static_cast<std::size_t>(bitmap.width)];
        auto colourAt = [&](int x) {
            return row[from.left + SourceIndex(x, to.width, from.width)];
        };
        int x = 0;
        while (x < to.width) {
            const COLORREF colour = colourAt(x);
            int run = 1;
            while (x + run < to.width && colourAt(x + run) == colour)
                ++run;
            surface.FillRect({to.left + x, to.top + y, run, rows}, SurfaceColour(colour));
            x += run;
        }
        y += rows;
    }
}

}  // namespace

HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
    const gdi::BitmapResource* resource = FindBitmapResource(hInstance, lpBitmapName);
    if (resource == nullptr)
        return nullptr;
    std::optional<Bitmap> bitmap = ReadPackedDib(resource->bytes, resource->size);
    if (!bitmap) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto lock = Lock();
    return static_cast<HBITMAP>(Insert(std::move(*bitmap)));
}

HDC WINAPI CreateCompatibleDC(HDC hdc) {
    auto lock = Lock();
    if (hdc != nullptr && !FindDc(hdc))
        return nullptr;
    Dc dc;
    dc.bitmap = StockBitmap();
    dc.state.pen = StockPen(BLACK_PEN);
    dc.state.brush = StockBrush(WHITE_BRUSH);
    return static_cast<HDC>(Insert(std::move(dc)));
}

BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc,
                       int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop) {
    if (rop != SRCCOPY || wDest <= 0 || hDest <= 0 || wSrc <= 0 || hSrc <= 0)
        return FALSE;
    auto lock = Lock();
    Dc* dest = FindDrawingDc(hdcDest);
    Dc* source = FindDc(hdcSrc);
    if (!dest || !source || source->surface)
        return FALSE;
    const Bitmap* bitmap = FindBitmap(source->bitmap);
    if (!bitmap)
        return FALSE;
    const DeviceRect from = ToDeviceRect(source->state, xSrc, ySrc, wSrc, hSrc);
    if (from.left < 0 || from.top < 0 || from.width == 0 || from.height == 0 ||
        from.left + from.width > bitmap->width || from.top + from.height > bitmap->height)
        return FALSE;
    const DeviceRect to = ToDeviceRect(dest->state, xDest, yDest, wDest, hDest);
    if (to.width > 0 && to.height > 0)
        FillStretched(*dest->surface, *bitmap, from, to);
    return TRUE;
}

int WINAPI GetObjectA(HGDIOBJ h, int c, void* pv) {
    constexpr LONG kBitsPerPixel = 24;
    constexpr LONG kRowWordBytes = 2;  // a bitmap's rows are padded to whole words
    constexpr int kBitsPerByte = 8;
    auto lock = Lock();
    const Bitmap* bitmap = FindBitmap(h);
    if (!bitmap)
        return 0;
    if (pv == nullptr)
        return sizeof(BITMAP);
    if (c < static_cast<int>(sizeof(BITMAP)))
        return 0;
    const LONG rowBits = bitmap->width * kBitsPerPixel;
    const LONG wordBits = kRowWordBytes * kBitsPerByte;
    BITMAP description{0,
                       bitmap->width,
                       bitmap->height,
                       (rowBits + wordBits - 1) / wordBits * kRowWordBytes,
                       1,
                       static_cast<WORD>(kBitsPerPixel),
                       nullptr};
    *static_cast<BITMAP*>(pv) = description;
    return sizeof(BITMAP);
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    const Bitmap* bitmap = dc ? FindBitmap(dc->bitmap) : nullptr;
    if (!bitmap || x < 0 || y < 0 || x >= bitmap->width || y >= bitmap->height)
        return CLR_INVALID;
    return bitmap->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap->width) +
                          static_cast<std::size_t>(x)];
}
