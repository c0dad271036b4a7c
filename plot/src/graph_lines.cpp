// The line calls: one polyline through a temporary array of logical points, in a pen of its own.
#include <cmath>
#include <memory>
#include <new>

#include "data_mapping.h"
#include "graph_record.h"

namespace plot32 {

namespace {

constexpr int kThinPen = 0;  // one pixel
constexpr int kWidePen = 2;

// Maps count points through pointAt(record, i) and draws them as one polyline.
template <class PointAt>
LONG DrawPolyline(HGRAPH graph, int count, COLORREF color, int penStyle, int penWidth,
                  PointAt pointAt) {
    const auto drawn = WithRecord(graph, [&](GraphRecord& record) {
        if (count <= 0)
            return false;  // no points to draw (and none to allocate)
        std::unique_ptr<POINT[]> points(new (std::nothrow) POINT[static_cast<std::size_t>(count)]);
        if (!points)
            return false;
        const HDC dc = ContextOf(record);
        const HPEN pen = CreatePen(penStyle, penWidth, color);
        const HGDIOBJ previousPen = SelectObject(dc, pen);
        for (int i = 0; i < count; ++i)
            points[static_cast<std::size_t>(i)] = pointAt(record, i);
        const bool ok = Polyline(dc, points.get(), count) != FALSE;
        points.reset();
        SelectObject(dc, previousPen);
        DeleteObject(pen);
        return ok;
    });
    return drawn.value_or(false) ? 0 : GRAPH_ERROR;
}

template <class X, class Y>
LONG DrawArrays(HGRAPH graph, const X* x, const Y* y, int count, COLORREF color, int penStyle,
                int penWidth) {
    if (count > 0 && (!x || !y))
        return GRAPH_ERROR;
    return DrawPolyline(graph, count, color, penStyle, penWidth,
                        [&](const GraphRecord& record, int i) {
                            return POINT{LogicalX(record, x[i]), LogicalY(record, y[i])};
                        });
}

// A signal's mapping: its first x and step, and the y scale and minimum, in single precision as
// the samples are.
struct SignalScale {
    float firstX;
    float stepX;
    float yScale;
    float yMin;
};

SignalScale SignalScaleOf(const GraphRecord& record, float x0, float dx) {
    return {static_cast<float>(record.xScale * (x0 - record.xMin)),
            static_cast<float>(record.xScale * dx), static_cast<float>(record.yScale),
            static_cast<float>(record.yMin)};
}

// A signal: x from x0 in steps of dx, the running x summed in extended precision so that a long
// trace does not drift.
template <class Y>
LONG DrawSignal(HGRAPH graph, float x0, float dx, const Y* y, int count, COLORREF color,
                int penStyle) {
    if (count > 0 && !y)
        return GRAPH_ERROR;
    SignalScale scale{};
    long double runningX = 0;
    return DrawPolyline(
        graph, count, color, penStyle, kThinPen, [&](const GraphRecord& record, int i) {
            if (i == 0) {
                scale = SignalScaleOf(record, x0, dx);
                runningX = scale.firstX;
            }
            const POINT point{TruncateToLogical(runningX),
                              TruncateToLogical(static_cast<long double>(scale.yScale) *
                                                (static_cast<long double>(y[i]) - scale.yMin))};
            runningX += scale.stepX;
            return point;
        });
}

template <class Move>
LONG AtDataPoint(HGRAPH graph, double x, double y, Move move) {
    WithRecord(graph, [&](GraphRecord& record) {
        return move(ContextOf(record), LogicalX(record, x), LogicalY(record, y));
    });
    return 0;
}

}  // namespace

}  // namespace plot32

using namespace plot32;

LONG WINAPI GraphDblLine(HGRAPH graph, const double* x, const double* y, int count, COLORREF color,
                         int penStyle) {
    return DrawArrays(graph, x, y, count, color, penStyle, kThinPen);
}

LONG WINAPI GraphFltLine(HGRAPH graph, const float* x, const float* y, int count, COLORREF color,
                         int penStyle) {
    return DrawArrays(graph, x, y, count, color, penStyle, kWidePen);
}

LONG WINAPI GraphIntLine(HGRAPH graph, const LONG* x, const LONG* y, int count, COLORREF color,
                         int penStyle) {
    return DrawArrays(graph, x, y, count, color, penStyle, kThinPen);
}

extern "C" LONG WINAPI GraphLongLine(HGRAPH graph, const LONG* x, const LONG* y, int count,
                                     COLORREF color, int penStyle)
    __attribute__((alias("GraphIntLine")));

LONG WINAPI GraphFltSignal(HGRAPH graph, float x0, float dx, const float* y, int count,
                           COLORREF color, int penStyle) {
    return DrawSignal(graph, x0, dx, y, count, color, penStyle);
}

LONG WINAPI GraphIntSignal(HGRAPH graph, float x0, float dx, const LONG* y, int count,
                           COLORREF color, int penStyle) {
    return DrawSignal(graph, x0, dx, y, count, color, penStyle);
}

LONG WINAPI GraphMoveTo(HGRAPH graph, double x, double y) {
    return AtDataPoint(graph, x, y,
                       [](HDC dc, LONG lx, LONG ly) { return MoveToEx(dc, lx, ly, nullptr); });
}

LONG WINAPI GraphLineTo(HGRAPH graph, double x, double y) {
    return AtDataPoint(graph, x, y, [](HDC dc, LONG lx, LONG ly) { return LineTo(dc, lx, ly); });
}
