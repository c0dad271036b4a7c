// GraphOpen's axes, ticks, labels and mapping, and GraphClose, on a recording context.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <string>

#include "graph_fixture.h"

namespace plot32::testing {
namespace {

using Kind = ui::DrawCall::Kind;
using Points = std::vector<ui::Point>;
using GraphOpenTest = RecordedGraph;

constexpr int kTickLength = 3;

std::vector<std::string> Numbers(int from, int to) {
    std::vector<std::string> numbers;
    for (int n = from; n <= to; ++n)
        numbers.push_back(std::to_string(n));
    return numbers;
}

TEST_F(GraphOpenTest, AxesAndTicksEveryUnitWithoutOneAtZero) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    const auto lines = CallsOf(Kind::Line);
    ASSERT_GE(lines.size(), 2u);
    // The y axis up from the crossing, then the x axis along the plot, in the axis colour.
    EXPECT_EQ(lines[0].points, (Points{{kOriginX, kOriginY - kPlotHeight}, {kOriginX, kOriginY}}));
    EXPECT_EQ(lines[1].points, (Points{{kOriginX, kOriginY}, {kOriginX + kPlotWidth, kOriginY}}));
    const auto pens = CallsOf(Kind::SetPen);
    ASSERT_FALSE(pens.empty());
    EXPECT_EQ(pens.back().colour, kAxisColour);
    EXPECT_EQ(pens.back().width, 1);

    // x labels hang from the axis, centred on their ticks 50 units apart.
    EXPECT_EQ(XTickLabels(), Numbers(1, 10));
    for (const auto& call : CallsOf(Kind::Text)) {
        if (call.align != ui::Align::Centre || !std::isdigit(call.text[0]))
            continue;
        EXPECT_EQ(call.rect.top, kOriginY);
        const int value = std::stoi(call.text);
        EXPECT_EQ(call.rect.left + call.rect.width / 2, kOriginX + 50 * value) << call.text;
        EXPECT_EQ(call.align, ui::Align::Centre);
    }
    // Ticks of 3 units without the grid: 10 up from the x axis, 10 right from the y axis.
    std::size_t xTicks = 0;
    std::size_t yTicks = 0;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const auto& from = lines[i].points[0];
        const auto& to = lines[i].points[1];
        if (from.y == kOriginY && to.x == from.x) {
            EXPECT_EQ(to.y, kOriginY - kTickLength);
            EXPECT_EQ((from.x - kOriginX) % 50, 0);
            ++xTicks;
        } else {
            EXPECT_EQ(from.x, kOriginX);
            EXPECT_EQ(to.x, kOriginX + kTickLength);
            EXPECT_EQ(from.y, kOriginY - static_cast<int>(std::trunc((yTicks + 1) * 41.8)));
            ++yTicks;
        }
    }
    EXPECT_EQ(xTicks, 10u);
    EXPECT_EQ(yTicks, 10u);
}

TEST_F(GraphOpenTest, YLabelsEndAtTheAxisCentredOnTheirTicks) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    for (const auto& call : CallsOf(Kind::Text)) {
        if (call.align != ui::Align::Right)
            continue;
        const int value = std::stoi(call.text);
        const int tickRow = kOriginY - static_cast<int>(std::trunc(value * 41.8));
        EXPECT_EQ(call.rect.left + call.rect.width, kOriginX) << call.text;
        EXPECT_EQ(call.rect.top + call.rect.height / 2, tickRow) << call.text;
    }
    EXPECT_EQ(YTickLabels(), Numbers(1, 10));
}

TEST_F(GraphOpenTest, TheGridRunsTheTicksAcrossThePlot) {
    GraphSettings settings;
    settings.grid = 1;
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    const auto lines = CallsOf(Kind::Line);
    ASSERT_EQ(lines.size(), 2u + 10u + 10u);
    EXPECT_EQ(lines[2].points,
              (Points{{kOriginX + 50, kOriginY}, {kOriginX + 50, kOriginY - kPlotHeight}}));
    EXPECT_EQ(lines.back().points, (Points{{kOriginX, kOriginY - kPlotHeight},
                                           {kOriginX + kPlotWidth, kOriginY - kPlotHeight}}));
}

TEST_F(GraphOpenTest, TitleAndAxisLabelsInTheirPlacesAndColours) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    const auto& calls = surface_.Calls();
    ui::Colour pen = 0;
    std::vector<std::string> column;
    bool sawTitle = false;
    bool sawXLabel = false;
    for (const auto& call : calls) {
        if (call.kind == Kind::SetPen)
            pen = call.colour;
        if (call.kind != Kind::Text)
            continue;
        if (call.text == "Title") {
            sawTitle = true;
            EXPECT_EQ(pen, kTitleColour);
            EXPECT_EQ(call.rect, (ui::Rect{286 - 20, 0, 40, 16}));  // centred at the top
        } else if (call.text == "Time") {
            sawXLabel = true;
            EXPECT_EQ(pen, kTextColour);
            EXPECT_EQ(call.rect, (ui::Rect{286 - 16, 480 - 16, 32, 16}));  // at the bottom
        } else if (call.rect.left == 0 && call.rect.width == 8) {
            EXPECT_EQ(pen, kTextColour);
            column.push_back(call.text);
            // Five characters of 18-unit lines centred in 480: the first at (480 - 90) / 2.
            EXPECT_EQ(call.rect.top, 195 + 16 * static_cast<int>(column.size() - 1));
        } else {
            EXPECT_EQ(pen, kTextColour) << call.text;  // the tick labels
        }
    }
    EXPECT_TRUE(sawTitle);
    EXPECT_TRUE(sawXLabel);
    EXPECT_TRUE(CallsOf(Kind::FillRect).empty());  // text on a transparent background
    EXPECT_EQ(column, (std::vector<std::string>{"V", "o", "l", "t", "s"}));
}

TEST_F(GraphOpenTest, AxesWithoutDecimalsHaveNoTicksAndNoLabelsAreOptional) {
    GraphSettings settings;
    settings.xDecimals = -1;
    settings.yDecimals = -1;
    settings.title = settings.xLabel = settings.yLabel = nullptr;
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    EXPECT_TRUE(CallsOf(Kind::Text).empty());
    EXPECT_EQ(CallsOf(Kind::Line).size(), 2u);  // the axes alone
}

TEST_F(GraphOpenTest, APlotOfNoWidthHasOneXTickAtMost) {
    GraphSettings settings;
    settings.rect = {0, 0, 72, 480};  // 9 characters: all goes to the labels' room
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    EXPECT_EQ(XTickLabels(), (std::vector<std::string>{"1"}));
}

TEST_F(GraphOpenTest, LabelsWithDecimalsAndNegativeRanges) {
    GraphSettings settings;
    settings.xMin = -1;
    settings.xMax = 1;
    settings.xStep = 0.5;
    settings.xDecimals = 1;
    settings.yMin = -5;
    settings.yMax = 5;
    settings.yStep = 2.5;
    settings.yDecimals = 2;
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    // Room for "-0.5" and "1.0": 8 x 5 = 40 units, and a step is 125: every step.
    EXPECT_EQ(XTickLabels(), (std::vector<std::string>{"-0.5", "0.0", "0.5", "1.0"}));
    EXPECT_EQ(YTickLabels(), (std::vector<std::string>{"-2.50", "0.00", "2.50", "5.00"}));
}

struct UnusableAxis {
    const char* what;
    double min, max, step;
};

class UnusableTicks : public RecordedGraph, public ::testing::WithParamInterface<UnusableAxis> {};

// Steps and ranges that give no usable stride end with no ticks on that axis (the other keeps
// its own), instead of a tick loop that never ends.
TEST_P(UnusableTicks, GiveNoTicksOnThatAxis) {
    const UnusableAxis& c = GetParam();
    GraphSettings settings;
    settings.xMin = c.min;
    settings.xMax = c.max;
    settings.xStep = c.step;
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    EXPECT_TRUE(XTickLabels().empty());
    EXPECT_EQ(YTickLabels(), Numbers(1, 10));
}

INSTANTIATE_TEST_SUITE_P(Steps, UnusableTicks,
                         ::testing::Values(UnusableAxis{"a step of 0", 0, 10, 0},
                                           UnusableAxis{"a negative step", 0, 10, -1},
                                           UnusableAxis{"a reversed range", 10, 0, 1},
                                           UnusableAxis{"a range of no length", 5, 5, 1},
                                           UnusableAxis{"a reversed range and a negative step", 10,
                                                        0, -1}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(GraphOpenTest, StepsLostInTheValuesPrecisionEndTheTicks) {
    // One unit in the last place of 1e20 is 16384: a stride of a few thousand leaves the value
    // where it is.
    GraphSettings settings;
    settings.xMin = 1e20;
    settings.xMax = std::nextafter(1e20, 2e20);
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    EXPECT_LE(XTickLabels().size(), 2u);
}

TEST_F(GraphOpenTest, TheMappingStaysUntilCloseRestoresTheContext) {
    RECT rect{20, 10, 592, 490};
    GraphSettings settings;
    settings.rect = rect;
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    EXPECT_EQ(GetMapMode(dc_), MM_ANISOTROPIC);
    POINT origin{};
    ASSERT_TRUE(GetViewportOrgEx(dc_, &origin));
    EXPECT_EQ(origin.x, 20 + kOriginX);
    EXPECT_EQ(origin.y, 10 + kOriginY);
    SIZE viewport{};
    ASSERT_TRUE(GetViewportExtEx(dc_, &viewport));
    EXPECT_EQ(viewport.cx, kPlotWidth);
    EXPECT_EQ(viewport.cy, -kPlotHeight);

    const HGRAPH closed = graph_;
    EXPECT_EQ(Close(), 0);
    EXPECT_EQ(GetMapMode(dc_), MM_TEXT);
    ASSERT_TRUE(GetViewportOrgEx(dc_, &origin));
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    EXPECT_FALSE(RestoreDC(dc_, -1));  // the graph's saved state is gone with it
    EXPECT_EQ(GraphClose(closed), GRAPH_ERROR);
}

TEST_F(GraphOpenTest, ANullRectangleIsRefused) {
    EXPECT_EQ(
        GraphOpen(dc_, nullptr, 0, nullptr, nullptr, nullptr, 0, 0, 0, 0, 10, 1, 0, 0, 10, 1, 0),
        GRAPH_ERROR);
    EXPECT_TRUE(surface_.Calls().empty());
}

TEST_F(GraphOpenTest, AYLabelLongerThan39CharactersIsCut) {
    const std::string longLabel(50, 'v');
    GraphSettings settings;
    settings.yLabel = longLabel.c_str();
    settings.title = settings.xLabel = nullptr;
    settings.xDecimals = settings.yDecimals = -1;
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    EXPECT_EQ(CallsOf(Kind::Text).size(), 39u);
}

}  // namespace
}  // namespace plot32::testing
