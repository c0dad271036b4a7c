// Bars: fill, outline and label, and none where the colour says none.
#include <gtest/gtest.h>

#include "graph_fixture.h"

namespace plot32::testing {
namespace {

using Kind = ui::DrawCall::Kind;
using Points = std::vector<ui::Point>;
using GraphBars = RecordedGraph;

constexpr COLORREF kFill = RGB(255, 0, 0);
constexpr COLORREF kOutline = RGB(0, 0, 255);
constexpr COLORREF kLabel = RGB(0, 160, 0);

// A bar at x 5, 2 units wide, up to y 5: logical 200 to 300 across, 0 to 209 up; on the device
// x 232 to 332, rows 229 to 438.
constexpr ui::Rect kBarCells{232, 229, 100, 209};

TEST_F(GraphBars, FilledOutlinedAndLabelledAboveTheTop) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    const std::size_t mark = Mark();
    EXPECT_EQ(GraphBar(graph_, 5, 5, 2, kFill, kOutline, "5 V", kLabel), 0);
    const auto& calls = surface_.Calls();
    ASSERT_EQ(calls.size(), mark + 5);
    EXPECT_EQ(calls[mark].kind, Kind::FillRect);
    EXPECT_EQ(calls[mark].rect, kBarCells);
    EXPECT_EQ(calls[mark].colour, kFill);
    EXPECT_EQ(calls[mark + 1].kind, Kind::SetPen);
    EXPECT_EQ(calls[mark + 1].colour, kOutline);
    EXPECT_EQ(calls[mark + 1].width, 1);
    EXPECT_EQ(calls[mark + 2].points,
              (Points{{232, 229}, {331, 229}, {331, 437}, {232, 437}, {232, 229}}));
    EXPECT_EQ(calls[mark + 3].kind, Kind::SetPen);
    EXPECT_EQ(calls[mark + 3].colour, kLabel);
    // The label's cell runs from three lines (54 units) above the top to one line above it,
    // the text at its top, centred over the bar.
    EXPECT_EQ(calls[mark + 4].text, "5 V");
    EXPECT_EQ(calls[mark + 4].rect, (ui::Rect{282 - 12, 229 - 54, 24, 16}));
    EXPECT_EQ(calls[mark + 4].align, ui::Align::Centre);
}

TEST_F(GraphBars, NoColourMeansNoFillOrNoOutline) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    struct Case {
        COLORREF fill;
        COLORREF outline;
        std::size_t fills;
        std::size_t outlines;
    };
    const Case cases[] = {{GRAPH_NO_COLOR, kOutline, 0, 1},
                          {kFill, GRAPH_NO_COLOR, 1, 0},
                          {GRAPH_NO_COLOR, GRAPH_NO_COLOR, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fill) + " " + std::to_string(c.outline));
        const std::size_t mark = Mark();
        EXPECT_EQ(GraphBar(graph_, 5, 5, 2, c.fill, c.outline, nullptr, kLabel), 0);
        EXPECT_EQ(CallsOf(Kind::FillRect, mark).size(), c.fills);
        EXPECT_EQ(CallsOf(Kind::Polyline, mark).size(), c.outlines);
        EXPECT_TRUE(CallsOf(Kind::Text, mark).empty());
    }
    // The context's own pen and brush are back afterwards.
    const std::size_t mark = Mark();
    ASSERT_TRUE(Rectangle(dc_, 0, 10, 10, 0));
    EXPECT_EQ(CallsOf(Kind::FillRect, mark).at(0).colour, ui::kWhite);
    EXPECT_EQ(CallsOf(Kind::SetPen, mark).at(0).colour, ui::kBlack);
}

TEST_F(GraphBars, ANegativeBarHangsBelowTheAxis) {
    GraphSettings settings;
    settings.yMin = -5;
    settings.yMax = 5;  // the x axis at y -5: a bar to -2.5 rises 104 units from it
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    const std::size_t mark = Mark();
    EXPECT_EQ(GraphBar(graph_, 5, -2.5, 1, kFill, GRAPH_NO_COLOR, nullptr, 0), 0);
    const auto fills = CallsOf(Kind::FillRect, mark);
    ASSERT_EQ(fills.size(), 1u);
    // yMax 5 leaves three characters for the y labels: the origin at device x 24.
    EXPECT_EQ(fills[0].rect, (ui::Rect{24 + 225, kOriginY - 104, 50, 104}));
}

TEST_F(GraphBars, AClosedGraphIsRefused) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    const HGRAPH closed = graph_;
    ASSERT_EQ(Close(), 0);
    const std::size_t mark = Mark();
    EXPECT_EQ(GraphBar(closed, 5, 5, 2, kFill, kOutline, "x", kLabel), GRAPH_ERROR);
    EXPECT_EQ(Mark(), mark);
}

}  // namespace
}  // namespace plot32::testing
