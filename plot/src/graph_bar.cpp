// GraphBar: a rectangle from the x axis up to the bar's top, and its label above it.
#include "data_mapping.h"
#include "graph_record.h"

namespace plot32 {

namespace {

constexpr double kHalf = 0.5;
constexpr int kOutlineWidth = 1;
// The label's cell: from one line above the bar's top to three lines above it.
constexpr int kLabelLowerLines = 1;
constexpr int kLabelUpperLines = 3;
constexpr UINT kLabelFormat = DT_CENTER | DT_NOCLIP;

// The bar's brush and pen for the time of the drawing. A colour of GRAPH_NO_COLOR selects the
// stock object that draws nothing, so that the context's own brush or pen is not used instead.
class BarTools {
  public:
    BarTools(HDC dc, COLORREF fill, COLORREF outline) : dc_(dc) {
        brush_ = fill != GRAPH_NO_COLOR ? CreateSolidBrush(fill) : nullptr;
        pen_ = outline != GRAPH_NO_COLOR ? CreatePen(PS_SOLID, kOutlineWidth, outline) : nullptr;
        previousBrush_ = SelectObject(dc_, brush_ ? brush_ : GetStockObject(NULL_BRUSH));
        previousPen_ = SelectObject(dc_, pen_ ? pen_ : GetStockObject(NULL_PEN));
    }
    ~BarTools() {
        SelectObject(dc_, previousBrush_);
        SelectObject(dc_, previousPen_);
        if (brush_)
            DeleteObject(brush_);
        if (pen_)
            DeleteObject(pen_);
    }
    BarTools(const BarTools&) = delete;
    BarTools& operator=(const BarTools&) = delete;

  private:
    HDC dc_;
    HBRUSH brush_;
    HPEN pen_;
    HGDIOBJ previousBrush_;
    HGDIOBJ previousPen_;
};

}  // namespace

}  // namespace plot32

using namespace plot32;

LONG WINAPI GraphBar(HGRAPH graph, double x, double y, double width, COLORREF fillColor,
                     COLORREF outlineColor, LPCSTR label, COLORREF labelColor) {
    const auto drawn = WithRecord(graph, [&](GraphRecord& record) {
        const HDC dc = ContextOf(record);
        const double centre = (x - record.xMin) * record.xScale;
        const double halfWidth = record.xScale * width * kHalf;
        const LONG left = TruncateToLogical(centre - halfWidth);
        const LONG right = TruncateToLogical(halfWidth + centre);
        const LONG top = LogicalY(record, y);
        {
            BarTools tools(dc, fillColor, outlineColor);
            Rectangle(dc, left, top, right, 0);
        }
        if (label) {
            SetTextColor(dc, labelColor);
            RECT cell{left, top + kLabelUpperLines * record.lineHeight, right,
                      top + kLabelLowerLines * record.lineHeight};
            DrawTextA(dc, label, -1, &cell, kLabelFormat);
        }
        return true;
    });
    return drawn ? 0 : GRAPH_ERROR;
}
