// Dialog conventions: Enter clicks the default button and Escape the cancel button when the
// focused control leaves the key to the form; a locked text box refuses the user's typing; a
// box's Modified flag follows the user's edits and is cleared by code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui_fixture.h"

namespace ui::testing {
namespace {

constexpr int kEnter = 13;
constexpr int kEscape = 27;

ControlDesign Make(Kind kind, const char* name, int top) {
    ControlDesign desc;
    desc.kind = kind;
    desc.name = name;
    desc.top = top;
    desc.width = 1500;
    desc.height = 375;
    return desc;
}

FormDesign KeysForm() {
    FormDesign form;
    form.name = "frmKeys";
    form.caption = "Keys";
    ControlDesign old = Make(Kind::TextBox, "txtOld", 0);
    old.caption = "first";
    old.locked = true;
    ControlDesign ok = Make(Kind::CommandButton, "cmdOK", 1000);
    ok.isDefault = true;
    ControlDesign cancel = Make(Kind::CommandButton, "cmdCancel", 1500);
    cancel.isCancel = true;
    form.controls = {old, Make(Kind::TextBox, "txtNew", 500), ok, cancel};
    return form;
}

class DialogKeysTest : public GuiTest {
  protected:
    DialogKeysTest() : form_(KeysForm()) {
        form_.Show();
        form_.Get<CommandButton>("cmdOK").onClick = [this] { clicks_.push_back("OK"); };
        form_.Get<CommandButton>("cmdCancel").onClick = [this] { clicks_.push_back("Cancel"); };
    }
    TextBox& Box(const char* name) { return form_.Get<TextBox>(name); }

    Form form_;
    std::vector<std::string> clicks_;
};

TEST_F(DialogKeysTest, EnterAndEscapeFromATextBoxClickTheDefaultAndCancelButtons) {
    ASSERT_TRUE(user_.Focus(Box("txtNew")));
    EXPECT_TRUE(user_.KeyDown(form_, kEnter));
    ASSERT_TRUE(user_.Focus(Box("txtNew")));
    EXPECT_TRUE(user_.KeyDown(form_, kEscape));
    EXPECT_EQ(clicks_, (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_TRUE(Box("txtNew").HasFocus());  // the keys do not move the focus

    // A disabled default button is not clicked.
    form_.Find("cmdOK").SetEnabled(false);
    ASSERT_TRUE(user_.Focus(Box("txtNew")));
    user_.KeyDown(form_, kEnter);
    EXPECT_EQ(clicks_.size(), 2u);
}

TEST_F(DialogKeysTest, ALockedBoxRefusesTypingAndModifiedFollowsTheUsersEdits) {
    EXPECT_FALSE(user_.Type(Box("txtOld"), "second"));
    EXPECT_EQ(Box("txtOld").Text(), "first");
    EXPECT_FALSE(Box("txtOld").Modified());

    TextBox& edited = Box("txtNew");
    edited.SetText("by code");
    EXPECT_FALSE(edited.Modified());
    ASSERT_TRUE(user_.Type(edited, "by hand"));
    EXPECT_TRUE(edited.Modified());
    edited.SetText("by code again");
    EXPECT_FALSE(edited.Modified());
}

}  // namespace
}  // namespace ui::testing
