// A list box's selection: set by code (Click fires for an entry, not for -1), kept on its entry
// when lines are inserted or removed before it, lost with its entry; the user's click selects
// and fires Click, a double click fires DblClick too; a disabled box takes no click.
#include <gtest/gtest.h>

#include <QListWidget>

#include "gui_fixture.h"
#include "uilang/runtime_error.h"

namespace ui::testing {
namespace {

class ListBoxTest : public GuiTest {
  protected:
    ListBoxTest() : form_(Design()) {
        form_.Show();
        list().onClick = [this] { clicks_.push_back(list().ListIndex()); };
        list().onDblClick = [this] { ++doubleClicks_; };
    }
    static FormDesign Design() {
        FormDesign form;
        form.name = "frmList";
        form.width = 3000;
        form.height = 3000;
        ControlDesign desc;
        desc.kind = Kind::ListBox;
        desc.name = "lstItems";
        desc.width = 2400;
        desc.height = 2400;
        desc.items = {"a", "b", "c"};
        form.controls = {desc};
        return form;
    }
    ListBox& list() { return form_.Get<ListBox>("lstItems"); }
    int shownRow() { return static_cast<QListWidget*>(list().Widget())->currentRow(); }

    Form form_;
    std::vector<int> clicks_;
    int doubleClicks_ = 0;
};

TEST_F(ListBoxTest, TheSelectionFollowsItsEntry) {
    list().SetListIndex(1);
    EXPECT_EQ(clicks_, std::vector<int>{1});
    list().InsertItem(0, "first");
    EXPECT_EQ(list().ListIndex(), 2);
    EXPECT_EQ(list().List(2), "b");
    EXPECT_EQ(shownRow(), 2);
    list().InsertItem(list().ListCount(), "last");
    EXPECT_EQ(list().List(4), "last");
    list().RemoveItem(0);
    EXPECT_EQ(list().ListIndex(), 1);
    list().RemoveItem(1);
    EXPECT_EQ(list().ListIndex(), -1) << "the selected entry went";
    EXPECT_EQ(list().List(1), "c");
    list().SetListIndex(-1);
    EXPECT_EQ(clicks_, std::vector<int>{1}) << "clearing the selection fires nothing";
    EXPECT_THROW(list().SetListIndex(list().ListCount()), uilang::RuntimeError);
    EXPECT_THROW(list().RemoveItem(list().ListCount()), uilang::RuntimeError);
    EXPECT_THROW(list().InsertItem(list().ListCount() + 1, "x"), uilang::RuntimeError);
    list().Clear();
    EXPECT_EQ(list().ListIndex(), -1);
}

TEST_F(ListBoxTest, TheUsersClicksSelectAndFire) {
    EXPECT_TRUE(user_.ClickListBoxItem(list(), 2));
    EXPECT_EQ(list().ListIndex(), 2);
    EXPECT_EQ(shownRow(), 2);
    EXPECT_TRUE(user_.ClickListBoxItem(list(), 0, true));
    EXPECT_EQ(clicks_, (std::vector<int>{2, 0}));
    EXPECT_EQ(doubleClicks_, 1);
    EXPECT_FALSE(user_.ClickListBoxItem(list(), 3));
    list().SetEnabled(false);
    EXPECT_FALSE(user_.ClickListBoxItem(list(), 1));
    EXPECT_EQ(list().ListIndex(), 0);
}

}  // namespace
}  // namespace ui::testing
