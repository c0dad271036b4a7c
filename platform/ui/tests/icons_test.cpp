// Icon handles: a handle gives back its picture until it is destroyed, and never again after.
#include <gtest/gtest.h>

#include "gui_fixture.h"
#include "ui/icons.h"

namespace ui::testing {
namespace {

constexpr int kIconSize = 32;

TEST_F(GuiTest, IconHandlesGiveTheirPictureUntilDestroyed) {
    const std::uint32_t red = CreateIconHandle(Picture(kIconSize, kIconSize, kRed));
    const std::uint32_t blue = CreateIconHandle(Picture(kIconSize, kIconSize, kBlue));
    EXPECT_NE(red, 0u);
    EXPECT_NE(red, blue);
    EXPECT_EQ(IconPicture(red).Pixel(0, 0), kRed);
    EXPECT_EQ(IconPicture(blue).Width(), kIconSize);
    EXPECT_TRUE(DestroyIconHandle(red));
    EXPECT_TRUE(IconPicture(red).Empty());
    EXPECT_FALSE(DestroyIconHandle(red));
    EXPECT_TRUE(IconPicture(0).Empty());
    const std::uint32_t again = CreateIconHandle(Picture());
    EXPECT_GT(again, blue);  // a new handle, not the freed one
    EXPECT_TRUE(DestroyIconHandle(again));
    EXPECT_TRUE(DestroyIconHandle(blue));
}

}  // namespace
}  // namespace ui::testing
