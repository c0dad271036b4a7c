// plot32: x-y graphs drawn on a caller's device context. GraphOpen draws the axes with their ticks,
// tick labels and optional grid, the title and the axis labels, and leaves the context in the
// graph's mapping (origin at the axes' crossing, y upward, one unit a device pixel) until
// GraphClose; between the two the line, bar and conversion calls work in data coordinates.
//
// A graph handle is a 32-bit token of the local heap's block that holds the graph's record: it
// stays valid until GraphClose, after which every call refuses it (-1 where the call answers a
// status) without touching the freed record.
#pragma once

#include "gdi/gdi.h"

// Marks the library's entry points: the library is built with hidden visibility, so these
// functions are all it exports.
#if defined(__GNUC__)
#define PLOT32_EXPORT __attribute__((visibility("default")))
#else
#define PLOT32_EXPORT
#endif

using HGRAPH = LONG;

// GraphOpen's answer when no record can be had, and the other calls' failure.
#define GRAPH_ERROR (-1)
// A fill or outline colour of GraphBar that draws nothing.
#define GRAPH_NO_COLOR 0xFFFFFFFFu

extern "C" {

// Opens a graph in the rectangle of hdc (in the context's current logical units): the x label
// centred at its bottom, the y label as a vertical column centred at its left edge, the title
// centred at its top in titleColor, the axes in axisColor, and ticks every step from the first
// multiple of the step past the minimum to the last one up to the maximum, as many as fit their
// labels, labelled with that many decimals (none for decimals < 0) and drawn across the plot with
// grid nonzero. A step of 0 or less, or a reversed range, gives no ticks on that axis. Labels are
// cut at 79 characters, the y label at 39. Saves the context's state first. Answers the handle, or
// GRAPH_ERROR when no record can be allocated or rect is NULL. xMax must differ from xMin and yMax
// from yMin.
PLOT32_EXPORT HGRAPH WINAPI GraphOpen(HDC hdc, const RECT* rect, int grid, LPCSTR title,
                                      LPCSTR xLabel, LPCSTR yLabel, COLORREF textColor,
                                      COLORREF titleColor, COLORREF axisColor, double xMin,
                                      double xMax, double xStep, int xDecimals, double yMin,
                                      double yMax, double yStep, int yDecimals);
// Brings the context back to the state it had before GraphOpen and frees the graph: 0, or
// GRAPH_ERROR for a bad handle.
PLOT32_EXPORT LONG WINAPI GraphClose(HGRAPH graph);

// One polyline through the count points, in a pen of that colour and style: 0 when it was drawn,
// GRAPH_ERROR for a bad handle, fewer than two points (a count of 0 or less), a NULL array or
// a failed allocation. GraphFltLine's pen is 2 units wide, the others' one pixel.
PLOT32_EXPORT LONG WINAPI GraphDblLine(HGRAPH graph, const double* x, const double* y, int count,
                                       COLORREF color, int penStyle);
PLOT32_EXPORT LONG WINAPI GraphFltLine(HGRAPH graph, const float* x, const float* y, int count,
                                       COLORREF color, int penStyle);
PLOT32_EXPORT LONG WINAPI GraphIntLine(HGRAPH graph, const LONG* x, const LONG* y, int count,
                                       COLORREF color, int penStyle);
// The same entry point as GraphIntLine under its second name.
PLOT32_EXPORT LONG WINAPI GraphLongLine(HGRAPH graph, const LONG* x, const LONG* y, int count,
                                        COLORREF color, int penStyle);
// As the line calls, with point i at x0 + i x dx.
PLOT32_EXPORT LONG WINAPI GraphFltSignal(HGRAPH graph, float x0, float dx, const float* y,
                                         int count, COLORREF color, int penStyle);
PLOT32_EXPORT LONG WINAPI GraphIntSignal(HGRAPH graph, float x0, float dx, const LONG* y, int count,
                                         COLORREF color, int penStyle);

// Moves the context's current position to the data point, or draws a line to it in the context's
// pen. Always 0; a bad handle draws nothing.
PLOT32_EXPORT LONG WINAPI GraphMoveTo(HGRAPH graph, double x, double y);
PLOT32_EXPORT LONG WINAPI GraphLineTo(HGRAPH graph, double x, double y);

// A bar from the x axis up to y, width data units wide and centred on x, filled with fillColor
// and outlined (1 unit wide) in outlineColor, either GRAPH_NO_COLOR for none; label, when not
// NULL, centred above it in labelColor. 0, or GRAPH_ERROR for a bad handle.
PLOT32_EXPORT LONG WINAPI GraphBar(HGRAPH graph, double x, double y, double width,
                                   COLORREF fillColor, COLORREF outlineColor, LPCSTR label,
                                   COLORREF labelColor);

// The device point of a data point: the logical-to-device conversion's answer (FALSE for a bad
// handle or a NULL point, which is then not written).
PLOT32_EXPORT BOOL WINAPI GraphToClient(HGRAPH graph, double x, double y, LPPOINT point);
// The data point of a device point; nothing is written for a bad handle.
PLOT32_EXPORT void WINAPI ClientToGraph(HGRAPH graph, int deviceX, int deviceY, double* x,
                                        double* y);

}  // extern "C"
