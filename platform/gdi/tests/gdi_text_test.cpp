// Text in the fixed font: metrics, DrawText's placement and clipping, colours and background.
#include <gtest/gtest.h>

#include "gdi_test_support.h"

namespace gdi::testing {
namespace {

using Text = RecordedDc;
using Kind = ui::DrawCall::Kind;

TEST_F(Text, MetricsAreTheFixedFontsInLogicalUnits) {
    TEXTMETRICA metrics{};
    ASSERT_TRUE(GetTextMetricsA(dc_, &metrics));
    EXPECT_EQ(metrics.tmHeight, kFontHeight);
    EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, kFontHeight);
    EXPECT_EQ(metrics.tmExternalLeading, kFontExternalLeading);
    EXPECT_EQ(metrics.tmAveCharWidth, kFontCharWidth);
    EXPECT_EQ(metrics.tmMaxCharWidth, kFontCharWidth);

    ASSERT_TRUE(SetMapMode(dc_, MM_ANISOTROPIC));
    ASSERT_TRUE(SetViewportExtEx(dc_, 2, -4, nullptr));  // 2 pixels a unit across, 4 up
    ASSERT_TRUE(GetTextMetricsA(dc_, &metrics));
    EXPECT_EQ(metrics.tmHeight, kFontHeight / 4);
    EXPECT_EQ(metrics.tmAveCharWidth, kFontCharWidth / 2);
    EXPECT_FALSE(GetTextMetricsA(dc_, nullptr));
}

struct Placement {
    const char* what;
    RECT rect;  // logical units, y upward from the origin (100, 200)
    const char* text;
    UINT format;
    std::vector<ui::Rect> cells;  // the device cells drawn, one a line
    std::vector<std::string> lines;
    int height;  // DrawText's answer
};

const Placement kPlacements[] = {
    {"centred under a tick",
     {9, 0, 11, -1},
     "10",
     DT_CENTER | DT_SINGLELINE | DT_NOCLIP,
     {{102, 200, 16, 16}},
     {"10"},
     16},
    {"right of the axis, centred on the tick",
     {-1, 51, 0, 49},
     "2.5",
     DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP,
     {{76, 142, 24, 16}},
     {"2.5"},
     9},
    {"at the bottom",
     {0, 100, 80, 0},
     "ab",
     DT_BOTTOM | DT_SINGLELINE,
     {{100, 184, 16, 16}},
     {"ab"},
     100},
    {"line breaks stack lines",
     {0, 100, 80, 0},
     "a\nbc\r\nd",
     DT_LEFT | DT_NOCLIP,
     {{100, 100, 8, 16}, {100, 116, 16, 16}, {100, 132, 8, 16}},
     {"a", "bc", "d"},
     48},
    {"one line leaves breaks out",
     {0, 100, 80, 0},
     "a\nb",
     DT_SINGLELINE,
     {{100, 100, 16, 16}},
     {"ab"},
     16},
    {"clipped by whole characters",
     {0, 100, 20, 0},
     "abcd",
     DT_LEFT,
     {{100, 100, 16, 16}},
     {"ab"},
     16},
    {"a line below the rectangle is clipped",
     {0, 20, 80, 0},
     "a\nb",
     DT_LEFT,
     {{100, 180, 8, 16}},
     {"a"},
     32},
    {"tabs expanded to eight",
     {0, 100, 200, 0},
     "a\tb",
     DT_EXPANDTABS | DT_SINGLELINE,
     {{100, 100, 72, 16}},
     {"a       b"},
     16},
};

class TextPlacement : public RecordedDc, public ::testing::WithParamInterface<Placement> {};

TEST_P(TextPlacement, CellsAndLines) {
    const Placement& c = GetParam();
    MapYUpward({100, 200});
    RECT rect = c.rect;
    EXPECT_EQ(DrawTextA(dc_, c.text, -1, &rect, c.format), c.height);
    const auto texts = CallsOf(Kind::Text);
    ASSERT_EQ(texts.size(), c.lines.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].rect, c.cells[i]) << i;
        EXPECT_EQ(texts[i].text, c.lines[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(DrawText, TextPlacement, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(Text, ColoursBackgroundAndAlignmentReachTheSurface) {
    SetTextColor(dc_, RGB(0, 0, 255));
    SetBkColor(dc_, RGB(200, 200, 200));
    RECT rect{10, 10, 110, 30};
    ASSERT_EQ(DrawTextA(dc_, "abc", 2, &rect, DT_RIGHT | DT_SINGLELINE), kFontHeight);
    const auto& calls = surface_.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, Kind::FillRect);  // opaque by default
    EXPECT_EQ(calls[0].rect, (ui::Rect{94, 10, 16, 16}));
    EXPECT_EQ(calls[0].colour, RGB(200, 200, 200));
    EXPECT_EQ(calls[1].kind, Kind::SetPen);
    EXPECT_EQ(calls[1].colour, RGB(0, 0, 255));
    EXPECT_EQ(calls[2].text, "ab");
    EXPECT_EQ(calls[2].align, ui::Align::Right);

    // Transparent: no fill; a line after the text sets its own pen again.
    SetBkMode(dc_, TRANSPARENT);
    ASSERT_EQ(DrawTextA(dc_, "x", -1, &rect, DT_CENTER), kFontHeight);
    ASSERT_TRUE(LineTo(dc_, 5, 5));
    EXPECT_EQ(CallsOf(Kind::FillRect).size(), 1u);
    EXPECT_EQ(CallsOf(Kind::Text).back().align, ui::Align::Centre);
    EXPECT_EQ(CallsOf(Kind::SetPen).back().colour, ui::kBlack);
}

TEST_F(Text, CalcRectMeasuresWithoutDrawing) {
    RECT rect{10, 20, 11, 21};
    EXPECT_EQ(DrawTextA(dc_, "abc\nde", -1, &rect, DT_CALCRECT), 2 * kFontHeight);
    EXPECT_EQ(rect.right, 10 + 3 * kFontCharWidth);
    EXPECT_EQ(rect.bottom, 20 + 2 * kFontHeight);
    MapYUpward({0, 0});
    RECT up{0, 50, 1, 49};
    EXPECT_EQ(DrawTextA(dc_, "a", -1, &up, DT_CALCRECT | DT_SINGLELINE), kFontHeight);
    EXPECT_EQ(up.bottom, 50 - kFontHeight);  // down the page is down in y
    EXPECT_TRUE(surface_.Calls().empty());
    EXPECT_EQ(DrawTextA(dc_, nullptr, 1, &rect, 0), 0);
    EXPECT_EQ(DrawTextA(dc_, "a", -1, nullptr, 0), 0);
}

}  // namespace
}  // namespace gdi::testing
