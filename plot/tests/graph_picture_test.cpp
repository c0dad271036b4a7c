// A whole graph drawn on a picture offscreen: axes, grid, labels, a sine and bars, checked pixel by
// pixel and saved under the build's test pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "gdi/surface_dc.h"
#include "gui_fixture.h"
#include "plot32.h"

namespace plot32::testing {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr COLORREF kAxis = RGB(0, 96, 0);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kTitle = RGB(0, 0, 160);
constexpr COLORREF kTrace = RGB(255, 0, 0);
constexpr COLORREF kBarFill = RGB(255, 200, 0);
constexpr COLORREF kBarOutline = RGB(0, 0, 0);
// The graph of (0, 0)-(572, 480) from x 0 to 10 and y -10 to 10: the axes cross at (32, 438), the
// plot is 500 by 418 (50 a unit of x, 20.9 a unit of y).
constexpr int kOriginX = 32;
constexpr int kOriginY = 438;
constexpr int kPlotWidth = 500;
constexpr int kPlotHeight = 418;
constexpr double kAmplitude = 8;
constexpr double kPeriod = 5;
constexpr int kSamples = 501;

class GraphPicture : public ui::testing::GuiTest {
  protected:
    template <class Match>
    static int CountWhere(const ui::Picture& picture, Match match, int left, int top, int right,
                          int bottom) {
        int count = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x)
                count += match(picture.Pixel(x, y)) ? 1 : 0;
        }
        return count;
    }
    static int Count(const ui::Picture& picture, ui::Colour colour, int left, int top, int right,
                     int bottom) {
        return CountWhere(
            picture, [colour](ui::Colour pixel) { return pixel == colour; }, left, top, right,
            bottom);
    }
    // Text is smoothed: its pixels are shades between its colour and the white page.
    static int Inked(const ui::Picture& picture, int left, int top, int right, int bottom) {
        return CountWhere(
            picture, [](ui::Colour pixel) { return pixel != ui::kWhite; }, left, top, right,
            bottom);
    }
};

TEST_F(GraphPicture, AxesGridLabelsASineAndBars) {
    ui::Picture picture(kWidth, kHeight, ui::kWhite);
    {
        auto painter = picture.Paint();
        const HDC dc = gdi::CreateSurfaceDC(*painter);
        const RECT rect{0, 0, 572, 480};
        const HGRAPH graph = GraphOpen(dc, &rect, 1, "A sine and two bars", "Time (s)", "Volts",
                                       kText, kTitle, kAxis, 0, 10, 1, 0, -10, 10, 5, 0);
        ASSERT_NE(graph, GRAPH_ERROR);
        EXPECT_EQ(GraphBar(graph, 3, 6, 0.8, kBarFill, kBarOutline, "6 V", kText), 0);
        EXPECT_EQ(GraphBar(graph, 7, -4, 0.8, kBarFill, GRAPH_NO_COLOR, nullptr, 0), 0);
        std::vector<float> sine(kSamples);
        const float dx = 10.0f / (kSamples - 1);
        for (int i = 0; i < kSamples; ++i)
            sine[i] =
                static_cast<float>(kAmplitude * std::sin(2 * std::numbers::pi * i * dx / kPeriod));
        EXPECT_EQ(GraphFltSignal(graph, 0, dx, sine.data(), kSamples, kTrace, PS_SOLID), 0);
        EXPECT_EQ(GraphClose(graph), 0);
        EXPECT_TRUE(DeleteDC(dc));
    }
    ASSERT_TRUE(picture.SavePng(PicturePath("plot32_graph")));

    // The y axis up the left of the plot and the x axis along its bottom, in the axis colour
    // (away from where the sine and the bars cross them).
    for (int y : {kOriginY - kPlotHeight, 60, 300, 400, kOriginY})
        EXPECT_EQ(picture.Pixel(kOriginX, y), kAxis) << "y axis at row " << y;
    for (int x : {kOriginX, 100, 300, 450, kOriginX + kPlotWidth})
        EXPECT_EQ(picture.Pixel(x, kOriginY), kAxis) << "x axis at column " << x;
    EXPECT_NE(picture.Pixel(kOriginX - 2, 300), kAxis);  // one pixel wide
    // Grid lines across the plot: x at 1 (column 82), y at 5 (row 438 - 313).
    EXPECT_EQ(picture.Pixel(82, 300), kAxis);
    EXPECT_EQ(picture.Pixel(400, kOriginY - 313), kAxis);
    // The trace is there, through the axis' middle row near x 0, 2.5, 5.
    EXPECT_GT(Count(picture, kTrace, kOriginX, 0, kOriginX + kPlotWidth + 1, kOriginY), 400);
    for (int x : {kOriginX + 1, kOriginX + 125, kOriginX + 250})
        EXPECT_GT(Count(picture, kTrace, x - 1, 226, x + 2, 233), 0) << "sine near column " << x;
    // The bars: filled, the first outlined, neither reaching past the x axis.
    EXPECT_EQ(picture.Pixel(175, 420), kBarFill);
    EXPECT_EQ(picture.Pixel(kOriginX + 150 - 20, 420), kBarOutline);  // left edge of the first
    EXPECT_EQ(picture.Pixel(kOriginX + 350, 420), kBarFill);
    EXPECT_EQ(picture.Pixel(kOriginX + 350, kOriginY + 1), ui::kWhite);
    // Labels drawn: the title at the top, tick labels under the axis and left of it (none at
    // the minimum of either axis), the x label at the bottom.
    EXPECT_GT(Inked(picture, 150, 0, 450, 16), 50);
    EXPECT_GT(Inked(picture, 70, kOriginY + 1, 95, kOriginY + 16), 5);  // "1"
    EXPECT_EQ(Inked(picture, kOriginX - 12, kOriginY + 1, kOriginX + 8, kOriginY + 16), 0);
    EXPECT_GT(Inked(picture, 0, kOriginY - 104 - 8, kOriginX, kOriginY - 104 + 8), 5);  // "-5"
    EXPECT_EQ(Inked(picture, 0, kOriginY - 8, kOriginX - 1, kOriginY + 1), 0);          // no "-10"
    EXPECT_GT(Inked(picture, 200, kHeight - 16, 380, kHeight), 30);  // "Time (s)"
}

}  // namespace
}  // namespace plot32::testing
