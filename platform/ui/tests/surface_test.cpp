// The drawing surface: recorded calls, pictures drawn pixel by pixel, picture boxes.
#include <gtest/gtest.h>

#include "gui_fixture.h"

namespace ui::testing {
namespace {

using SurfaceTest = GuiTest;

TEST_F(SurfaceTest, RecordingKeepsTheCallsInOrderAndForwardsThem) {
    Picture picture(20, 10, kWhite);
    auto painter = picture.Paint();
    {
        RecordingSurface recording(20, 10, painter.get());
        recording.FillRect({0, 0, 20, 10}, kBlack);
        recording.SetPen(kRed, 1);
        recording.Line({0, 5}, {19, 5});
        recording.Polyline({{2, 0}, {2, 9}});
        ASSERT_EQ(recording.Calls().size(), 4u);
        EXPECT_EQ(recording.Calls()[1].kind, DrawCall::Kind::SetPen);
        EXPECT_EQ(recording.Calls()[1].colour, kRed);
        EXPECT_EQ(recording.Calls()[2].points, (std::vector<Point>{{0, 5}, {19, 5}}));
    }
    painter.reset();  // the drawing is complete
    EXPECT_EQ(picture.Pixel(10, 5), kRed);
    EXPECT_EQ(picture.Pixel(2, 1), kRed);
    EXPECT_EQ(picture.Pixel(10, 1), kBlack);
    EXPECT_EQ(picture.Pixel(100, 100), 0u);  // outside
}

TEST_F(SurfaceTest, ColoursAreBgrWords) {
    Picture picture(2, 1, 0x00336699);
    EXPECT_EQ(picture.Pixel(0, 0), 0x00336699u);
    std::string path = PicturePath("surface_colour");
    ASSERT_TRUE(picture.SavePng(path));
    EXPECT_EQ(Picture::Load(path).Pixel(1, 0), 0x00336699u);
}

TEST_F(SurfaceTest, APictureBoxPaintsPicturesAtTheirSizeAndClears) {
    FormDesign desc;
    desc.name = "frmPicture";
    ControlDesign box;
    box.kind = Kind::PictureBox;
    box.name = "picBox";
    box.width = 600;   // 40 pixels
    box.height = 300;  // 20 pixels
    desc.controls = {box};
    Form form(desc);
    form.Show();
    auto& picture = form.Get<PictureBox>("picBox");
    EXPECT_EQ(picture.ScaleHeight(), 300);
    picture.PaintPicture(Picture(5, 5, kBlue), 150, 75);  // at (10, 5) pixels
    Picture shown = picture.Image();
    EXPECT_EQ(shown.Pixel(10, 5), kBlue);
    EXPECT_EQ(shown.Pixel(14, 9), kBlue);
    EXPECT_EQ(shown.Pixel(15, 10), kWhite);
    picture.Cls();
    EXPECT_EQ(picture.Image().Pixel(10, 5), kWhite);
}

}  // namespace
}  // namespace ui::testing
