// Device contexts over a surface, their saved states, and the pens and brushes selected into them.
#include <utility>

#include "gdi/surface_dc.h"
#include "object_table.h"

using namespace gdi::detail;

namespace gdi {

HDC CreateSurfaceDC(ui::Surface& surface) {
    auto lock = Lock();
    Dc dc;
    dc.surface = &surface;
    dc.state.pen = StockPen(BLACK_PEN);
    dc.state.brush = StockBrush(WHITE_BRUSH);
    return static_cast<HDC>(Insert(std::move(dc)));
}

std::size_t LiveObjectCount() {
    auto lock = Lock();
    return LiveCount();
}

}  // namespace gdi

namespace {

constexpr int kLastPenStyle = PS_INSIDEFRAME;

}  // namespace

BOOL WINAPI DeleteDC(HDC hdc) {
    auto lock = Lock();
    return FindDc(hdc) && Remove(hdc) ? TRUE : FALSE;
}

int WINAPI SaveDC(HDC hdc) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return 0;
    dc->saved.push_back(dc->state);
    return static_cast<int>(dc->saved.size());
}

BOOL WINAPI RestoreDC(HDC hdc, int nSavedDC) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return FALSE;
    const int depth = static_cast<int>(dc->saved.size());
    const int level = nSavedDC < 0 ? depth + nSavedDC + 1 : nSavedDC;
    if (nSavedDC == 0 || level < 1 || level > depth)
        return FALSE;
    dc->state = dc->saved[static_cast<std::size_t>(level - 1)];
    dc->saved.resize(static_cast<std::size_t>(level - 1));
    return TRUE;
}

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
    if (iStyle < PS_SOLID || iStyle > kLastPenStyle)
        return nullptr;
    auto lock = Lock();
    return static_cast<HPEN>(Insert(Pen{iStyle, cWidth < 0 ? 0 : cWidth, color}));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    auto lock = Lock();
    return static_cast<HBRUSH>(Insert(Brush{false, color}));
}

HGDIOBJ WINAPI GetStockObject(int i) {
    auto lock = Lock();
    if (HPEN pen = StockPen(i))
        return pen;
    return StockBrush(i);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return nullptr;
    if (FindPen(h)) {
        HGDIOBJ previous = dc->state.pen;
        dc->state.pen = static_cast<HPEN>(h);
        return previous;
    }
    if (FindBrush(h)) {
        HGDIOBJ previous = dc->state.brush;
        dc->state.brush = static_cast<HBRUSH>(h);
        return previous;
    }
    if (FindBitmap(h) && !dc->surface) {
        if (h == dc->bitmap)
            return h;
        if (IsSelectedAnywhere(h) && h != StockBitmap())
            return nullptr;  // held by another memory context
        return std::exchange(dc->bitmap, h);
    }
    return nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    auto lock = Lock();
    if (!FindPen(ho) && !FindBrush(ho) && !FindBitmap(ho))
        return FALSE;
    if (IsStock(ho))
        return TRUE;
    if (IsSelectedAnywhere(ho))
        return FALSE;
    return Remove(ho) ? TRUE : FALSE;
}
