// The line calls: one polyline each, its points in device pixels and its pen, and what they refuse.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "graph_fixture.h"

namespace plot32::testing {
namespace {

using Kind = ui::DrawCall::Kind;
using Points = std::vector<ui::Point>;
using GraphLines = RecordedGraph;

constexpr COLORREF kTrace = RGB(255, 0, 255);

// The device point of logical (x, y) in the standard graph.
ui::Point Device(int x, int y) {
    return {kOriginX + x, kOriginY - y};
}

struct LineCase {
    const char* what;
    std::function<LONG(HGRAPH)> draw;
    Points points;
    int penWidth;
};

// x at 0, 5 and 10 (0, 250 and 500 units), y at 0, 5 and -2.5 (0, 209 and -104.5 truncated to
// -104): each source type, the same points.
const double kXd[] = {0, 5, 10};
const double kYd[] = {0, 5, -2.5};
const float kXf[] = {0, 5, 10};
const float kYf[] = {0, 5, -2.5f};
const LONG kXi[] = {0, 5, 10};
const LONG kYi[] = {0, 5, -2};
// Signals from x0 = 1 in steps of 0.5: x at 50, 75 and 100 units; y with the scale in single
// precision (41.799999...), so 5 maps to 208 where the double scale gives 209.
const float kSignalF[] = {1, 5, -2.5f};
const LONG kSignalI[] = {1, 5, -2};

const LineCase kLines[] = {
    {"doubles",
     [](HGRAPH g) { return GraphDblLine(g, kXd, kYd, 3, kTrace, PS_SOLID); },
     {Device(0, 0), Device(250, 209), Device(500, -104)},
     1},
    {"floats, 2 wide",
     [](HGRAPH g) { return GraphFltLine(g, kXf, kYf, 3, kTrace, PS_SOLID); },
     {Device(0, 0), Device(250, 209), Device(500, -104)},
     2},
    {"integers",
     [](HGRAPH g) { return GraphIntLine(g, kXi, kYi, 3, kTrace, PS_SOLID); },
     {Device(0, 0), Device(250, 209), Device(500, -83)},
     1},
    {"integers by the second name",
     [](HGRAPH g) { return GraphLongLine(g, kXi, kYi, 3, kTrace, PS_SOLID); },
     {Device(0, 0), Device(250, 209), Device(500, -83)},
     1},
    {"a float signal",
     [](HGRAPH g) { return GraphFltSignal(g, 1, 0.5f, kSignalF, 3, kTrace, PS_SOLID); },
     {Device(50, 41), Device(75, 208), Device(100, -104)},
     1},
    {"an integer signal",
     [](HGRAPH g) { return GraphIntSignal(g, 1, 0.5f, kSignalI, 3, kTrace, PS_SOLID); },
     {Device(50, 41), Device(75, 208), Device(100, -83)},
     1},
};

class LineFunctions : public RecordedGraph, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineFunctions, DrawOnePolylineInTheirOwnPen) {
    const LineCase& c = GetParam();
    ASSERT_NE(Open(), GRAPH_ERROR);
    const std::size_t mark = Mark();
    EXPECT_EQ(c.draw(graph_), 0);
    const auto& calls = surface_.Calls();
    ASSERT_EQ(calls.size(), mark + 2);
    EXPECT_EQ(calls[mark].kind, Kind::SetPen);
    EXPECT_EQ(calls[mark].colour, kTrace);
    EXPECT_EQ(calls[mark].width, c.penWidth);
    EXPECT_EQ(calls[mark + 1].kind, Kind::Polyline);
    EXPECT_EQ(calls[mark + 1].points, c.points);
    // The context's own pen is back: a line to a data point draws in it.
    EXPECT_EQ(GraphLineTo(graph_, 1, 1), 0);
    EXPECT_EQ(CallsOf(Kind::SetPen, mark).back().colour, ui::kBlack);
}

INSTANTIATE_TEST_SUITE_P(Sources, LineFunctions, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(GraphLines, ASignalRunsItsXInExtendedPrecision) {
    // 1000 steps of 0.001 units from 0: summed in single precision the running x would drift.
    GraphSettings settings;
    settings.xMax = 500;  // one unit of x a unit of the plot
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    constexpr int kCount = 1001;
    std::vector<float> y(kCount, 0.0f);
    const std::size_t mark = Mark();
    ASSERT_EQ(GraphFltSignal(graph_, 0, 0.001f, y.data(), kCount, kTrace, PS_SOLID), 0);
    const auto lines = CallsOf(Kind::Polyline, mark);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].points[500].x, kOriginX + 0);   // 0.5 units
    EXPECT_EQ(lines[0].points[999].x, kOriginX + 0);   // 0.999 units
    EXPECT_EQ(lines[0].points[1000].x, kOriginX + 1);  // 1.000 units, reached without drift
}

TEST_F(GraphLines, PenStylesAreTheCallersAndANullPenDrawsNothing) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    const std::size_t mark = Mark();
    EXPECT_EQ(GraphDblLine(graph_, kXd, kYd, 3, kTrace, PS_NULL), 0);
    EXPECT_TRUE(CallsOf(Kind::Polyline, mark).empty());
    EXPECT_EQ(GraphDblLine(graph_, kXd, kYd, 3, kTrace, PS_DOT), 0);
    EXPECT_TRUE(CallsOf(Kind::Polyline, mark).empty());  // dots: a line each
    const auto dots = CallsOf(Kind::Line, mark);
    ASSERT_FALSE(dots.empty());
    EXPECT_EQ(dots.front().points, (Points{Device(0, 0), Device(2, 2)}));
}

TEST_F(GraphLines, TooFewPointsNoArraysAndBadHandlesAreRefused) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    const std::size_t mark = Mark();
    EXPECT_EQ(GraphDblLine(graph_, kXd, kYd, 0, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_EQ(GraphDblLine(graph_, kXd, kYd, 1, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_EQ(GraphDblLine(graph_, kXd, kYd, -5, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_EQ(GraphFltLine(graph_, nullptr, kYf, 3, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_EQ(GraphIntSignal(graph_, 0, 1, nullptr, 3, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_EQ(GraphDblLine(graph_ + 1, kXd, kYd, 3, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_EQ(GraphDblLine(GRAPH_ERROR, kXd, kYd, 3, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_EQ(GraphDblLine(0, kXd, kYd, 3, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_TRUE(CallsOf(Kind::Polyline, mark).empty());

    const HGRAPH closed = graph_;
    ASSERT_EQ(Close(), 0);
    const std::size_t afterClose = Mark();
    EXPECT_EQ(GraphDblLine(closed, kXd, kYd, 3, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_EQ(GraphFltSignal(closed, 0, 1, kYf, 3, kTrace, PS_SOLID), GRAPH_ERROR);
    EXPECT_EQ(GraphMoveTo(closed, 1, 1), 0);  // answers 0 and draws nothing
    EXPECT_EQ(GraphLineTo(closed, 2, 2), 0);
    EXPECT_EQ(Mark(), afterClose);
}

TEST_F(GraphLines, MoveToAndLineToDrawInTheContextsPen) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(dc_, pen);
    const std::size_t mark = Mark();
    EXPECT_EQ(GraphMoveTo(graph_, 2, 5), 0);
    EXPECT_EQ(GraphLineTo(graph_, 4, 0), 0);
    const auto lines = CallsOf(Kind::Line, mark);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].points, (Points{Device(100, 209), Device(200, 0)}));
    EXPECT_EQ(CallsOf(Kind::SetPen, mark).back().colour, RGB(0, 0, 255));
    SelectObject(dc_, old);
    EXPECT_TRUE(DeleteObject(pen));
}

TEST_F(GraphLines, DataFarOutsideTheRangeIsHeldToTheCoordinateRange) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    const double x[] = {0, 1e300, -1e300};
    const double y[] = {std::nan(""), 1e300, 0};
    const std::size_t mark = Mark();
    ASSERT_EQ(GraphDblLine(graph_, x, y, 3, kTrace, PS_SOLID), 0);
    const auto lines = CallsOf(Kind::Polyline, mark);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].points[0], Device(0, 0));  // not a number: on the axis
    EXPECT_GT(lines[0].points[1].x, 1000000);
    EXPECT_LT(lines[0].points[2].x, -1000000);
}

}  // namespace
}  // namespace plot32::testing
