// Lines, polylines and rectangles, drawn on the surface in device pixels.
#include <algorithm>
#include <vector>

#include "mapping.h"
#include "surface_output.h"

namespace gdi::detail {

ui::Colour SurfaceColour(COLORREF colour) {
    constexpr COLORREF kColourBits = 0x00FFFFFF;
    return colour & kColourBits;
}

void UsePen(Dc& dc, ui::Colour colour, int width) {
    const std::pair<ui::Colour, int> pen{colour, width};
    if (dc.surfacePen == pen)
        return;
    dc.surface->SetPen(colour, width);
    dc.surfacePen = pen;
}

std::optional<std::pair<ui::Colour, int>> SelectedPen(const Dc& dc) {
    const Pen* pen = FindPen(dc.state.pen);
    if (!pen || pen->style == PS_NULL)
        return std::nullopt;
    constexpr int kThinnest = 1;
    return std::pair{SurfaceColour(pen->colour),
                     std::max(kThinnest, DeviceWidth(dc.state, pen->width))};
}

}  // namespace gdi::detail

using namespace gdi::detail;

namespace {

ui::Point ToSurface(POINT device) {
    return {device.x, device.y};
}

// A line in the selected pen; a null pen draws nothing.
void DrawLine(Dc& dc, ui::Point from, ui::Point to) {
    const auto pen = SelectedPen(dc);
    if (!pen)
        return;
    UsePen(dc, pen->first, pen->second);
    dc.surface->Line(from, to);
}

}  // namespace

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return FALSE;
    if (lppt)
        *lppt = dc->state.position;
    dc->state.position = {x, y};
    return TRUE;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return FALSE;
    DrawLine(*dc, ToSurface(ToDevice(dc->state, dc->state.position)),
             ToSurface(ToDevice(dc->state, {x, y})));
    dc->state.position = {x, y};
    return TRUE;
}

BOOL WINAPI Polyline(HDC hdc, const POINT* apt, int cpt) {
    constexpr int kFewestPoints = 2;
    if (!apt || cpt < kFewestPoints)
        return FALSE;
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return FALSE;
    std::vector<ui::Point> points;
    points.reserve(static_cast<std::size_t>(cpt));
    for (int i = 0; i < cpt; ++i)
        points.push_back(ToSurface(ToDevice(dc->state, apt[i])));
    const auto pen = SelectedPen(*dc);
    if (pen) {
        UsePen(*dc, pen->first, pen->second);
        dc->surface->Polyline(points);
    }
    return TRUE;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return FALSE;
    const POINT a = ToDevice(dc->state, {left, top});
    const POINT b = ToDevice(dc->state, {right, bottom});
    const int x0 = std::min(a.x, b.x);
    const int x1 = std::max(a.x, b.x);
    const int y0 = std::min(a.y, b.y);
    const int y1 = std::max(a.y, b.y);
    if (x1 == x0 || y1 == y0)
        return TRUE;  // covers no pixel
    const Brush* brush = FindBrush(dc->state.brush);
    if (brush && !brush->hollow)
        dc->surface->FillRect({x0, y0, x1 - x0, y1 - y0}, SurfaceColour(brush->colour));
    const auto pen = SelectedPen(*dc);
    if (pen) {
        UsePen(*dc, pen->first, pen->second);
        dc->surface->Polyline({{x0, y0}, {x1 - 1, y0}, {x1 - 1, y1 - 1}, {x0, y1 - 1}, {x0, y0}});
    }
    return TRUE;
}
