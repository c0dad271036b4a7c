// Text typed into an editable combo box: it becomes the combo's text; a drop-down list and a
// disabled combo take none.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "gui_fixture.h"

namespace ui::testing {
namespace {

ControlDesign Combo(const char* name, bool editable, bool enabled = true) {
    ControlDesign desc;
    desc.kind = Kind::ComboBox;
    desc.name = name;
    desc.editable = editable;
    desc.enabled = enabled;
    desc.width = 1200;
    desc.height = 300;
    desc.items = {"0", "1"};
    return desc;
}

class ComboEditTest : public GuiTest {
  protected:
    ComboEditTest() : form_(Design()) { form_.Show(); }
    static FormDesign Design() {
        FormDesign form;
        form.name = "frmCombo";
        form.width = 3000;
        form.height = 2000;
        form.controls = {Combo("cboEdit", true), Combo("cboList", false),
                         Combo("cboLocked", true, false)};
        return form;
    }
    Form form_;
};

TEST_F(ComboEditTest, TypedTextBecomesTheTextOfAnEditableComboOnly) {
    auto& edit = form_.Get<ComboBox>("cboEdit");
    ASSERT_TRUE(user_.Choose(edit, 1));
    EXPECT_EQ(edit.Text(), "1");
    EXPECT_TRUE(user_.Type(edit, "abc"));
    EXPECT_EQ(edit.Text(), "abc");
    EXPECT_EQ(edit.ListIndex(), 1);  // typing selects nothing
    // Keys on the combo's edit field reach its text as well.
    QLineEdit* field = qobject_cast<QComboBox*>(edit.Widget())->lineEdit();
    ASSERT_NE(field, nullptr);
    field->end(false);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7");
    QApplication::sendEvent(field, &key);
    EXPECT_EQ(edit.Text(), "abc7");
    // A choice from the list replaces what was typed.
    ASSERT_TRUE(user_.Choose(edit, 0));
    EXPECT_EQ(edit.Text(), "0");

    auto& list = form_.Get<ComboBox>("cboList");
    ASSERT_TRUE(user_.Choose(list, 1));
    EXPECT_FALSE(user_.Type(list, "abc"));
    EXPECT_EQ(list.Text(), "1");
    auto& locked = form_.Get<ComboBox>("cboLocked");
    EXPECT_FALSE(user_.Type(locked, "abc"));
    EXPECT_EQ(locked.Text(), "");
}

}  // namespace
}  // namespace ui::testing
