// Mapping modes: origins and extents, y upward, and the exact rounding of the conversions.
#include <gtest/gtest.h>

#include "gdi_test_support.h"

namespace gdi::testing {
namespace {

struct MappingCase {
    const char* what;
    POINT viewportOrg;
    SIZE viewportExt;
    POINT windowOrg;
    SIZE windowExt;
    POINT logical;
    POINT device;
};

const MappingCase kMappings[] = {
    {"plot origin, y upward", {40, 300}, {500, -200}, {0, 0}, {500, 200}, {10, 20}, {50, 280}},
    {"below and left of the origin",
     {40, 300},
     {500, -200},
     {0, 0},
     {500, 200},
     {-5, -7},
     {35, 307}},
    {"window origin", {10, 10}, {1, 1}, {100, 50}, {1, 1}, {100, 50}, {10, 10}},
    {"a half rounds away from zero", {0, 0}, {3, 3}, {0, 0}, {2, 2}, {1, -1}, {2, -2}},
    {"three halves", {0, 0}, {3, 3}, {0, 0}, {2, 2}, {3, -3}, {5, -5}},
    {"below a half rounds down", {0, 0}, {1, 1}, {0, 0}, {3, 3}, {1, -1}, {0, 0}},
    {"above a half rounds up", {0, 0}, {2, 2}, {0, 0}, {3, 3}, {1, -1}, {1, -1}},
    {"negative window extent", {0, 0}, {3, 3}, {0, 0}, {-2, -2}, {1, 1}, {-2, -2}},
};

class Mapping : public RecordedDc, public ::testing::WithParamInterface<MappingCase> {};

TEST_P(Mapping, LogicalToDeviceAndBack) {
    const MappingCase& c = GetParam();
    ASSERT_EQ(SetMapMode(dc_, MM_ANISOTROPIC), MM_TEXT);
    ASSERT_TRUE(SetViewportOrgEx(dc_, c.viewportOrg.x, c.viewportOrg.y, nullptr));
    ASSERT_TRUE(SetViewportExtEx(dc_, c.viewportExt.cx, c.viewportExt.cy, nullptr));
    ASSERT_TRUE(SetWindowOrgEx(dc_, c.windowOrg.x, c.windowOrg.y, nullptr));
    ASSERT_TRUE(SetWindowExtEx(dc_, c.windowExt.cx, c.windowExt.cy, nullptr));
    POINT point = c.logical;
    ASSERT_TRUE(LPtoDP(dc_, &point, 1));
    EXPECT_EQ(point.x, c.device.x);
    EXPECT_EQ(point.y, c.device.y);
    // Back again: exact where the scale is a whole number either way.
    POINT back = c.device;
    ASSERT_TRUE(DPtoLP(dc_, &back, 1));
    const POINT again = back;
    ASSERT_TRUE(LPtoDP(dc_, &back, 1));
    EXPECT_EQ(back.x, c.device.x) << again.x;
    EXPECT_EQ(back.y, c.device.y) << again.y;
}

INSTANTIATE_TEST_SUITE_P(Anisotropic, Mapping, ::testing::ValuesIn(kMappings),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

using MappingRules = RecordedDc;

TEST_F(MappingRules, DeviceToLogicalRoundsAsLogicalToDevice) {
    ASSERT_TRUE(SetMapMode(dc_, MM_ANISOTROPIC));
    ASSERT_TRUE(SetViewportExtEx(dc_, 2, 2, nullptr));
    ASSERT_TRUE(SetWindowExtEx(dc_, 3, -3, nullptr));
    POINT points[] = {{1, 1}, {-1, 3}, {5, -5}};
    ASSERT_TRUE(DPtoLP(dc_, points, 3));
    EXPECT_EQ(points[0].x, 2);  // 1.5
    EXPECT_EQ(points[0].y, -2);
    EXPECT_EQ(points[1].x, -2);  // -1.5
    EXPECT_EQ(points[1].y, -5);  // -4.5
    EXPECT_EQ(points[2].x, 8);   // 7.5
    EXPECT_EQ(points[2].y, 8);
}

TEST_F(MappingRules, TextModeIgnoresExtentsAndResetsThem) {
    SIZE previous{};
    EXPECT_TRUE(SetViewportExtEx(dc_, 5, 5, &previous));  // ignored in MM_TEXT
    EXPECT_EQ(previous.cx, 1);
    POINT point{7, 9};
    ASSERT_TRUE(LPtoDP(dc_, &point, 1));
    EXPECT_EQ(point.x, 7);
    EXPECT_EQ(point.y, 9);

    ASSERT_EQ(SetMapMode(dc_, MM_ANISOTROPIC), MM_TEXT);
    ASSERT_TRUE(SetViewportExtEx(dc_, 4, -4, nullptr));
    ASSERT_EQ(SetMapMode(dc_, MM_TEXT), MM_ANISOTROPIC);
    SIZE extent{};
    ASSERT_TRUE(GetViewportExtEx(dc_, &extent));
    EXPECT_EQ(extent.cx, 1);
    EXPECT_EQ(extent.cy, 1);
}

TEST_F(MappingRules, SettersReportThePreviousValueAndRefuseWhatCannotBe) {
    ASSERT_TRUE(SetMapMode(dc_, MM_ANISOTROPIC));
    POINT origin{};
    ASSERT_TRUE(SetViewportOrgEx(dc_, 3, 4, nullptr));
    ASSERT_TRUE(SetViewportOrgEx(dc_, 5, 6, &origin));
    EXPECT_EQ(origin.x, 3);
    EXPECT_EQ(origin.y, 4);
    ASSERT_TRUE(SetWindowExtEx(dc_, 7, 8, nullptr));
    EXPECT_FALSE(SetWindowExtEx(dc_, 0, 8, nullptr));
    EXPECT_FALSE(SetViewportExtEx(dc_, 8, 0, nullptr));
    SIZE extent{};
    ASSERT_TRUE(GetWindowExtEx(dc_, &extent));
    EXPECT_EQ(extent.cx, 7);  // the refused extent changed nothing
    constexpr int kMetricMode = 2;
    EXPECT_EQ(SetMapMode(dc_, kMetricMode), 0);
    EXPECT_EQ(GetMapMode(dc_), MM_ANISOTROPIC);
    EXPECT_FALSE(LPtoDP(dc_, nullptr, 1));
    EXPECT_TRUE(LPtoDP(dc_, nullptr, 0));
}

}  // namespace
}  // namespace gdi::testing
