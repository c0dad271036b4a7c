// GraphOpen and GraphClose: the record, the labels, the axes and their ticks.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "data_mapping.h"
#include "graph_record.h"
#include "tick_labels.h"

namespace plot32 {

namespace {

// Room below the x axis: two lines (the tick labels and the x label) and a margin.
constexpr int kLinesBelowAxis = 2;
constexpr int kMarginBelowAxis = 6;
// Room above the plot for the title, and beside it for the y labels and the right margin.
constexpr int kMarginBelowTitle = 2;
constexpr int kCharsBesideX = 9;
// Characters left of the y axis beyond the integer digits of yMax.
constexpr double kCharsBeyondYDigits = 3;
// Length of a tick without the grid.
constexpr int kTickLength = 3;

constexpr UINT kXLabelFormat = DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP;
constexpr UINT kYLabelFormat = DT_LEFT | DT_NOCLIP;
constexpr UINT kTitleFormat = DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOCLIP;
constexpr UINT kXTickFormat = DT_CENTER | DT_SINGLELINE | DT_NOCLIP;
constexpr UINT kYTickFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP;

struct PlotArea {
    int width;
    int height;
    int axisY;  // device row of the x axis, in the caller's units
};

struct Axis {
    double min;
    double max;
    double step;
    double scale;
    int decimals;
};

void DrawLabels(HDC dc, const RECT& rect, LPCSTR title, LPCSTR xLabel, LPCSTR yLabel,
                COLORREF textColor, COLORREF titleColor, int lineHeight) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColor);
    if (xLabel) {
        RECT area = rect;
        DrawTextA(dc, xLabel, -1, &area, kXLabelFormat);
    }
    if (yLabel) {
        char column[kLabelChars];
        const int characters = MakeVerticalLabel(yLabel, column, sizeof column);
        const int inset = (rect.bottom - rect.top - characters * lineHeight) / 2;
        RECT area{rect.left, rect.top + inset, rect.right, rect.bottom - inset};
        DrawTextA(dc, column, -1, &area, kYLabelFormat);
    }
    if (title) {
        SetTextColor(dc, titleColor);
        RECT area = rect;
        DrawTextA(dc, title, -1, &area, kTitleFormat);
        SetTextColor(dc, textColor);
    }
}

PlotArea AreaOf(const RECT& rect, int charWidth, int lineHeight) {
    const int axisY = rect.bottom - kLinesBelowAxis * lineHeight - kMarginBelowAxis;
    const double width = std::fabs(static_cast<double>(rect.right) - kCharsBesideX * charWidth -
                                   static_cast<double>(rect.left));
    const double height =
        std::fabs(static_cast<double>(axisY) - (rect.top + lineHeight + kMarginBelowTitle));
    return {static_cast<int>(TruncateToLogical(width)), static_cast<int>(TruncateToLogical(height)),
            axisY};
}

// Characters of room left of the y axis for its labels: the integer digits of yMax and more.
int YLabelRoom(double yMax) {
    if (!(yMax > 0) || !std::isfinite(yMax))
        return 0;
    return std::max(0, static_cast<int>(TruncateToLogical(std::log10(yMax) + kCharsBeyondYDigits)));
}

void SetGraphMapping(HDC dc, const PlotArea& area, int originX) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetViewportOrgEx(dc, originX, area.axisY, nullptr);
    SetViewportExtEx(dc, area.width, -area.height, nullptr);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, area.width, area.height, nullptr);
}

// One tick: its label and its line, across the plot with the grid.
void DrawXTick(HDC dc, double value, const Axis& axis, bool grid, const PlotArea& area) {
    char label[kLabelChars];
    FormatTickLabel(value, axis.decimals, label, sizeof label);
    const LONG x = TruncateToLogical((value - axis.min) * axis.scale);
    RECT cell{x - 1, 0, x + 1, -1};
    DrawTextA(dc, label, -1, &cell, kXTickFormat);
    MoveToEx(dc, x, 0, nullptr);
    LineTo(dc, x, grid ? area.height : kTickLength);
}

void DrawYTick(HDC dc, double value, const Axis& axis, bool grid, const PlotArea& area) {
    char label[kLabelChars];
    FormatTickLabel(value, axis.decimals, label, sizeof label);
    const LONG y = TruncateToLogical((value - axis.min) * axis.scale);
    RECT cell{-1, y + 1, 0, y - 1};
    DrawTextA(dc, label, -1, &cell, kYTickFormat);
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, grid ? area.width : kTickLength, y);
}

template <class DrawTick>
void DrawTicks(const Axis& axis, int charSize, TickDirection direction, DrawTick drawTick) {
    const auto stride = ChooseTickStride(axis.min, axis.max, axis.step, axis.scale, charSize,
                                         axis.decimals, direction);
    if (!stride)
        return;
    const double distance = stride->multiplier * axis.step;
    for (double value = stride->first; value <= stride->last;) {
        drawTick(value);
        const double next = value + distance;
        if (!(next > value))
            break;  // the stride is lost in the value's precision
        value = next;
    }
}

}  // namespace

}  // namespace plot32

using namespace plot32;

HGRAPH WINAPI GraphOpen(HDC hdc, const RECT* rect, int grid, LPCSTR title, LPCSTR xLabel,
                        LPCSTR yLabel, COLORREF textColor, COLORREF titleColor, COLORREF axisColor,
                        double xMin, double xMax, double xStep, int xDecimals, double yMin,
                        double yMax, double yStep, int yDecimals) {
    if (!rect)
        return GRAPH_ERROR;
    const HLOCAL block = LocalAlloc(LHND, sizeof(GraphRecord));
    if (!block)
        return GRAPH_ERROR;
    auto* record = static_cast<GraphRecord*>(LocalLock(block));
    record->dc = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(hdc));
    record->savedDc = SaveDC(hdc);

    TEXTMETRICA metrics{};
    GetTextMetricsA(hdc, &metrics);
    record->lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    record->charWidth = metrics.tmAveCharWidth;
    DrawLabels(hdc, *rect, title, xLabel, yLabel, textColor, titleColor, record->lineHeight);

    const PlotArea area = AreaOf(*rect, record->charWidth, record->lineHeight);
    record->xScale = area.width / (xMax - xMin);
    record->yScale = area.height / (yMax - yMin);
    record->xMin = xMin;
    record->yMin = yMin;
    SetGraphMapping(hdc, area, rect->left + YLabelRoom(yMax) * record->charWidth);

    const HPEN axisPen = CreatePen(PS_SOLID, 0, axisColor);
    const HGDIOBJ previousPen = SelectObject(hdc, axisPen);
    MoveToEx(hdc, 0, area.height, nullptr);
    LineTo(hdc, 0, 0);
    LineTo(hdc, area.width, 0);
    const bool withGrid = grid != 0;
    if (xDecimals >= 0) {
        const Axis x{xMin, xMax, xStep, record->xScale, xDecimals};
        DrawTicks(x, record->charWidth, TickDirection::Horizontal,
                  [&](double value) { DrawXTick(hdc, value, x, withGrid, area); });
    }
    if (yDecimals >= 0) {
        const Axis y{yMin, yMax, yStep, record->yScale, yDecimals};
        DrawTicks(y, record->lineHeight, TickDirection::Vertical,
                  [&](double value) { DrawYTick(hdc, value, y, withGrid, area); });
    }
    SelectObject(hdc, previousPen);
    DeleteObject(axisPen);
    LocalUnlock(block);
    return static_cast<HGRAPH>(reinterpret_cast<std::uintptr_t>(block));
}

LONG WINAPI GraphClose(HGRAPH graph) {
    const auto closed = WithRecord(graph, [](GraphRecord& record) {
        RestoreDC(ContextOf(record), record.savedDc);
        return true;
    });
    if (!closed)
        return GRAPH_ERROR;
    LocalFree(BlockOf(graph));
    return 0;
}
