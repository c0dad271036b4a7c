// A command button's picture: shown by a button of the graphical style, kept by both styles.
#include <gtest/gtest.h>

#include <QPushButton>

#include "gui_fixture.h"

namespace ui::testing {
namespace {

constexpr Colour kLamp = 0x0000C0;
constexpr int kLampSize = 12;

ControlSpec ButtonSpec(const char* name, bool graphical, int top) {
    ControlSpec spec;
    spec.kind = Kind::CommandButton;
    spec.name = name;
    spec.caption = "Bit";
    spec.top = top;
    spec.width = 600;
    spec.height = 600;
    spec.graphical = graphical;
    return spec;
}

class ButtonPictureTest : public GuiTest {
  protected:
    ButtonPictureTest() : form_(Spec()) { form_.Show(); }
    static FormSpec Spec() {
        FormSpec form;
        form.name = "frmButtons";
        form.controls = {ButtonSpec("cmdGraphical", true, 0),
                         ButtonSpec("cmdStandard", false, 900)};
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
