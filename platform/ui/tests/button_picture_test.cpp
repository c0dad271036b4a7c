// A command button's picture: shown by a button of the graphical style, kept by both styles.
#include <gtest/gtest.h>

#include <QPushButton>

#include "gui_fixture.h"

namespace ui::testing {
namespace {

constexpr Colour kLamp = 0x0000C0;
constexpr int kLampSize = 12;

ControlDesign ButtonDesign(const char* name, bool graphical, int top) {
    ControlDesign desc;
    desc.kind = Kind::CommandButton;
    desc.name = name;
    desc.caption = "Bit";
    desc.top = top;
    desc.width = 600;
    desc.height = 600;
    desc.graphical = graphical;
    return desc;
}

class ButtonPictureTest : public GuiTest {
  protected:
    ButtonPictureTest() : form_(Design()) { form_.Show(); }
    static FormDesign Design() {
        FormDesign form;
        form.name = "frmButtons";
        form.controls = {ButtonDesign("cmdGraphical", true, 0),
                         ButtonDesign("cmdStandard", false, 900)};
        return form;
    }
    Form form_;
};

TEST_F(ButtonPictureTest, AGraphicalButtonShowsItsPictureAndBothStylesKeepIt) {
    Picture lamp(kLampSize, kLampSize, kLamp);
    for (const char* name : {"cmdGraphical", "cmdStandard"}) {
        auto& button = form_.Get<CommandButton>(name);
        EXPECT_TRUE(button.GetPicture().Empty()) << name;
        button.SetPicture(lamp);
        ASSERT_EQ(button.GetPicture().Width(), kLampSize) << name;
        EXPECT_EQ(button.GetPicture().Pixel(kLampSize / 2, kLampSize / 2), kLamp) << name;
    }
    auto shown = [&](const char* name) {
        return !static_cast<QPushButton*>(form_.Find(name).Widget())->icon().isNull();
    };
    EXPECT_TRUE(shown("cmdGraphical"));
    EXPECT_FALSE(shown("cmdStandard"));
    // A new picture replaces the old; the copy given is the button's own.
    Picture other(kLampSize, kLampSize, kWhite);
    auto& graphical = form_.Get<CommandButton>("cmdGraphical");
    graphical.SetPicture(other);
    other = Picture(1, 1, kLamp);
    EXPECT_EQ(graphical.GetPicture().Pixel(0, 0), kWhite);
}

}  // namespace
}  // namespace ui::testing
