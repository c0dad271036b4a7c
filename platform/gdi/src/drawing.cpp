// Lines, polylines and rectangles, drawn on the surface in device pixels.
#include <algorithm>
#include <vector>

#include "mapping.h"
#include "pen_dashes.h"
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

enum class PathCall { Line, Polyline };

// The path in the selected pen: nothing for a null pen, the dashes of a styled pen one pixel wide
// (a wider one draws solid), else one call of the surface.
void DrawPath(Dc& dc, const std::vector<ui::Point>& path, PathCall call) {
    const auto pen = SelectedPen(dc);
    if (!pen)
        return;
    UsePen(dc, pen->first, pen->second);
    const int style = FindPen(dc.state.pen)->style;
    if (IsDashed(style) && pen->second == 1) {
        for (const auto& [from, to] : DashesAlong(path, style))
            dc.surface->Line(from, to);
    } else if (call == PathCall::Line) {
        dc.surface->Line(path[0], path[1]);
    } else {
        dc.surface->Polyline(path);
    }
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
    Dc* dc = FindDrawingDc(hdc);
    if (!dc)
        return FALSE;
    DrawPath(*dc,
             {ToSurface(ToDevice(dc->state, dc->state.position)),
              ToSurface(ToDevice(dc->state, {x, y}))},
             PathCall::Line);
    dc->state.position = {x, y};
    return TRUE;
}

BOOL WINAPI Polyline(HDC hdc, const POINT* apt, int cpt) {
    constexpr int kFewestPoints = 2;
    if (!apt || cpt < kFewestPoints)
        return FALSE;
    auto lock = Lock();
    Dc* dc = FindDrawingDc(hdc);
    if (!dc)
        return FALSE;
    std::vector<ui::Point> points;
    points.reserve(static_cast<std::size_t>(cpt));
    for (int i = 0; i < cpt; ++i)
        points.push_back(ToSurface(ToDevice(dc->state, apt[i])));
    DrawPath(*dc, points, PathCall::Polyline);
    return TRUE;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    auto lock = Lock();
    Dc* dc = FindDrawingDc(hdc);
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
    DrawPath(*dc, {{x0, y0}, {x1 - 1, y0}, {x1 - 1, y1 - 1}, {x0, y1 - 1}, {x0, y0}},
             PathCall::Polyline);
    return TRUE;
}
