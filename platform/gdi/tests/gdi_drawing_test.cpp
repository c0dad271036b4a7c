// Lines, polylines and rectangles as the surface receives them, in device pixels.
#include <gtest/gtest.h>

#include "gdi_test_support.h"

namespace gdi::testing {
namespace {

using Drawing = RecordedDc;
using Kind = ui::DrawCall::Kind;
using Points = std::vector<ui::Point>;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

TEST_F(Drawing, LinesRunFromTheCurrentPositionInDevicePixels) {
    MapYUpward({100, 200});
    POINT previous{-1, -1};
    ASSERT_TRUE(MoveToEx(dc_, 0, 50, &previous));
    EXPECT_EQ(previous.x, 0);
    EXPECT_EQ(previous.y, 0);
    ASSERT_TRUE(LineTo(dc_, 0, 0));
    ASSERT_TRUE(LineTo(dc_, 30, 0));
    const auto lines = CallsOf(Kind::Line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].points, (Points{{100, 150}, {100, 200}}));
    EXPECT_EQ(lines[1].points, (Points{{100, 200}, {130, 200}}));
    ASSERT_TRUE(MoveToEx(dc_, 5, 5, &previous));
    EXPECT_EQ(previous.x, 30);  // LineTo moved the position to its end
    EXPECT_EQ(previous.y, 0);
}

TEST_F(Drawing, APolylineIsOneCallInTheSelectedPen) {
    MapYUpward({10, 100});
    HPEN pen = CreatePen(PS_SOLID, 2, kRed);
    HGDIOBJ old = SelectObject(dc_, pen);
    const POINT points[] = {{0, 0}, {1, 10}, {2, -10}};
    ASSERT_TRUE(Polyline(dc_, points, 3));
    ASSERT_TRUE(Polyline(dc_, points, 2));
    EXPECT_FALSE(Polyline(dc_, points, 1));
    EXPECT_FALSE(Polyline(dc_, points, 0));
    EXPECT_FALSE(Polyline(dc_, nullptr, 3));
    const auto& calls = surface_.Calls();
    ASSERT_EQ(calls.size(), 3u);  // the pen is set once for both
    EXPECT_EQ(calls[0].kind, Kind::SetPen);
    EXPECT_EQ(calls[0].colour, kRed);
    EXPECT_EQ(calls[0].width, 2);
    EXPECT_EQ(calls[1].points, (Points{{10, 100}, {11, 90}, {12, 110}}));
    EXPECT_EQ(calls[2].points, (Points{{10, 100}, {11, 90}}));
    SelectObject(dc_, old);
    EXPECT_TRUE(DeleteObject(pen));
}

TEST_F(Drawing, PenWidthsFollowTheMappingAndANullPenDrawsNothing) {
    ASSERT_TRUE(SetMapMode(dc_, MM_ANISOTROPIC));
    ASSERT_TRUE(SetViewportExtEx(dc_, 3, 3, nullptr));  // three pixels a unit
    const POINT points[] = {{0, 0}, {4, 0}};
    struct PenCase {
        int style;
        int width;
        int pixels;  // 0: nothing drawn
    };
    const PenCase cases[] = {{PS_SOLID, 0, 1}, {PS_SOLID, 1, 3}, {PS_SOLID, 2, 6},
                             {PS_DASH, 1, 3},  {PS_NULL, 4, 0},  {PS_INSIDEFRAME, 1, 3}};
    for (const PenCase& c : cases) {
        SCOPED_TRACE(c.style * 100 + c.width);
        HPEN pen = CreatePen(c.style, c.width, kGreen);
        HGDIOBJ old = SelectObject(dc_, pen);
        const std::size_t before = CallsOf(Kind::Polyline).size();
        ASSERT_TRUE(Polyline(dc_, points, 2));
        if (c.pixels == 0) {
            EXPECT_EQ(CallsOf(Kind::Polyline).size(), before);
        } else {
            ASSERT_EQ(CallsOf(Kind::Polyline).size(), before + 1);
            EXPECT_EQ(CallsOf(Kind::Polyline).back().points, (Points{{0, 0}, {12, 0}}));
            EXPECT_EQ(CallsOf(Kind::SetPen).back().width, c.pixels);
        }
        SelectObject(dc_, old);
        EXPECT_TRUE(DeleteObject(pen));
    }
}

TEST_F(Drawing, DashedPensDrawTheirPatternAcrossCorners) {
    using Lines = std::vector<Points>;
    auto dashes = [this](int style, int width, std::vector<POINT> path) {
        HPEN pen = CreatePen(style, width, kRed);
        HGDIOBJ old = SelectObject(dc_, pen);
        const std::size_t before = surface_.Calls().size();
        EXPECT_TRUE(Polyline(dc_, path.data(), static_cast<int>(path.size())));
        Lines lines;
        for (std::size_t i = before; i < surface_.Calls().size(); ++i) {
            const auto& call = surface_.Calls()[i];
            if (call.kind == Kind::Line || call.kind == Kind::Polyline)
                lines.push_back(call.points);
        }
        SelectObject(dc_, old);
        EXPECT_TRUE(DeleteObject(pen));
        return lines;
    };
    // 18 on and 6 off along 50 pixels.
    EXPECT_EQ(dashes(PS_DASH, 0, {{0, 0}, {50, 0}}),
              (Lines{{{0, 0}, {17, 0}}, {{24, 0}, {41, 0}}, {{48, 0}, {49, 0}}}));
    // Dots of 3: the gap begun before the corner goes on after it.
    EXPECT_EQ(dashes(PS_DOT, 1, {{0, 0}, {4, 0}, {4, 4}}),
              (Lines{{{0, 0}, {2, 0}}, {{4, 2}, {4, 3}}}));
    // 9 on, 6 off, 3 on, 6 off, on a diagonal: steps along the longer axis.
    EXPECT_EQ(dashes(PS_DASHDOT, 1, {{0, 0}, {30, 15}}),
              (Lines{{{0, 0}, {8, 4}}, {{15, 8}, {17, 9}}, {{24, 12}, {29, 15}}}));
    // A wider pen draws solid.
    EXPECT_EQ(dashes(PS_DASHDOTDOT, 2, {{0, 0}, {50, 0}}), (Lines{{{0, 0}, {50, 0}}}));
}

TEST_F(Drawing, ARectangleIsFilledByTheBrushAndOutlinedByThePen) {
    MapYUpward({50, 100});
    HBRUSH brush = CreateSolidBrush(kGreen);
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HGDIOBJ oldBrush = SelectObject(dc_, brush);
    HGDIOBJ oldPen = SelectObject(dc_, pen);
    // Corners in logical units, y upward: from (10, 40) down to (20, 0).
    ASSERT_TRUE(Rectangle(dc_, 10, 40, 20, 0));
    const auto fills = CallsOf(Kind::FillRect);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].rect, (ui::Rect{60, 60, 10, 40}));
    EXPECT_EQ(fills[0].colour, kGreen);
    const auto outlines = CallsOf(Kind::Polyline);
    ASSERT_EQ(outlines.size(), 1u);
    EXPECT_EQ(outlines[0].points, (Points{{60, 60}, {69, 60}, {69, 99}, {60, 99}, {60, 60}}));

    // Hollow brush: the outline alone; null pen: the fill alone; no area: nothing at all.
    SelectObject(dc_, GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(Rectangle(dc_, 0, 0, 5, 5));
    SelectObject(dc_, brush);
    SelectObject(dc_, GetStockObject(NULL_PEN));
    ASSERT_TRUE(Rectangle(dc_, 0, 0, 5, 5));
    ASSERT_TRUE(Rectangle(dc_, 3, 0, 3, 5));
    EXPECT_EQ(CallsOf(Kind::FillRect).size(), 2u);
    EXPECT_EQ(CallsOf(Kind::Polyline).size(), 2u);

    SelectObject(dc_, oldBrush);
    SelectObject(dc_, oldPen);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(pen));
}

TEST_F(Drawing, ADefaultContextDrawsWithTheBlackPenAndTheWhiteBrush) {
    ASSERT_TRUE(Rectangle(dc_, 1, 2, 4, 6));
    const auto& calls = surface_.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, Kind::FillRect);
    EXPECT_EQ(calls[0].colour, ui::kWhite);
    EXPECT_EQ(calls[0].rect, (ui::Rect{1, 2, 3, 4}));
    EXPECT_EQ(calls[1].kind, Kind::SetPen);
    EXPECT_EQ(calls[1].colour, ui::kBlack);
    EXPECT_EQ(calls[1].width, 1);
}

}  // namespace
}  // namespace gdi::testing
