// Saved states: SaveDC's levels, RestoreDC by level and counting back, and all that comes back.
#include <gtest/gtest.h>

#include "gdi_test_support.h"

namespace gdi::testing {
namespace {

using SavedState = RecordedDc;
using Kind = ui::DrawCall::Kind;

POINT ViewportOrigin(HDC dc) {
    POINT origin{};
    EXPECT_TRUE(GetViewportOrgEx(dc, &origin));
    return origin;
}

TEST_F(SavedState, LevelsCountUpAndRestoreDropsTheLaterOnes) {
    ASSERT_EQ(SaveDC(dc_), 1);  // origin 0
    ASSERT_TRUE(SetViewportOrgEx(dc_, 1, 0, nullptr));
    ASSERT_EQ(SaveDC(dc_), 2);  // origin 1
    ASSERT_TRUE(SetViewportOrgEx(dc_, 2, 0, nullptr));
    ASSERT_EQ(SaveDC(dc_), 3);  // origin 2
    ASSERT_TRUE(SetViewportOrgEx(dc_, 3, 0, nullptr));

    EXPECT_FALSE(RestoreDC(dc_, 0));
    EXPECT_FALSE(RestoreDC(dc_, 4));
    EXPECT_FALSE(RestoreDC(dc_, -4));
    EXPECT_EQ(ViewportOrigin(dc_).x, 3);  // refused restores changed nothing

    ASSERT_TRUE(RestoreDC(dc_, -1));  // the latest
    EXPECT_EQ(ViewportOrigin(dc_).x, 2);
    ASSERT_TRUE(RestoreDC(dc_, 1));  // the first, and the second with it
    EXPECT_EQ(ViewportOrigin(dc_).x, 0);
    EXPECT_FALSE(RestoreDC(dc_, 1));  // nothing saved any more
    EXPECT_EQ(SaveDC(dc_), 1);
}

TEST_F(SavedState, EverythingTheContextHoldsComesBack) {
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    const int level = SaveDC(dc_);
    ASSERT_EQ(level, 1);
    HGDIOBJ oldPen = SelectObject(dc_, pen);
    HGDIOBJ oldBrush = SelectObject(dc_, brush);
    MapYUpward({300, 400});
    ASSERT_TRUE(SetWindowOrgEx(dc_, 5, 5, nullptr));
    SetTextColor(dc_, RGB(1, 2, 3));
    SetBkColor(dc_, RGB(4, 5, 6));
    SetBkMode(dc_, TRANSPARENT);
    MoveToEx(dc_, 9, 9, nullptr);

    ASSERT_TRUE(RestoreDC(dc_, level));
    EXPECT_EQ(GetMapMode(dc_), MM_TEXT);
    EXPECT_EQ(ViewportOrigin(dc_).x, 0);
    POINT windowOrigin{};
    ASSERT_TRUE(GetWindowOrgEx(dc_, &windowOrigin));
    EXPECT_EQ(windowOrigin.x, 0);
    EXPECT_EQ(SetTextColor(dc_, 0), 0x000000u);
    EXPECT_EQ(SetBkColor(dc_, 0xFFFFFF), 0xFFFFFFu);
    EXPECT_EQ(SetBkMode(dc_, OPAQUE), OPAQUE);
    POINT position{};
    MoveToEx(dc_, 0, 0, &position);
    EXPECT_EQ(position.x, 0);
    // The pen and brush selected at the save are back, so the created ones can go.
    EXPECT_EQ(SelectObject(dc_, oldPen), oldPen);
    EXPECT_EQ(SelectObject(dc_, oldBrush), oldBrush);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
}

}  // namespace
}  // namespace gdi::testing
