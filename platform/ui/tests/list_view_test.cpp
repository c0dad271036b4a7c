// The list view in report view: columns measured in the list's font, rows inserted before others
// with their texts and images, the selection through the user's click and through code, the
// case-blind search that wraps, and clearing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui_fixture.h"
#include "ui/list_view.h"
#include "uilang/runtime_error.h"

namespace ui::testing {
namespace {

constexpr int kPadding = 15 * kTwipsPerPixel;

FormDesign ListForm() {
    ControlDesign list;
    list.kind = Kind::ListView;
    list.name = "lvwRows";
    list.width = 6000;
    list.height = 3000;
    FormDesign form;
    form.name = "frmList";
    form.caption = "List";
    form.width = 6600;
    form.height = 3600;
    form.controls = {list};
    return form;
}

class ListViewTest : public GuiTest {
  protected:
    ListViewTest() : form_(ListForm()) {
        form_.Show();
        list().onItemChanged = [this] { changes_.push_back(list().SelectedRow()); };
    }
    ListView& list() { return form_.Get<ListView>("lvwRows"); }

    // Rows "beta", "Alpha", "gamma" in that order, each inserted at the top.
    void FillInReverse() {
        for (const char* name : {"gamma", "Alpha", "beta"}) {
            int row = list().InsertItem(0, name, name[0] == 'g' ? 1 : 0);
            list().SetItemText(row, 1, std::string(name) + "-model");
        }
    }

    Form form_;
    std::vector<int> changes_;
};

TEST_F(ListViewTest, ColumnsRowsAndImagesAreKeptInInsertionOrder) {
    const std::string title = "Model#      ";
    const int width = list().StringWidth(title) + kPadding;
    EXPECT_GT(list().StringWidth(title), list().StringWidth("Model#"));  // the blanks count
    EXPECT_EQ(list().InsertColumn(0, "Name", list().StringWidth("Name") + kPadding), 0);
    EXPECT_EQ(list().InsertColumn(1, title, width), 1);
    EXPECT_EQ(list().ColumnTitle(1), title);
    EXPECT_EQ(list().ColumnWidth(1), width);
    list().SetSmallImages({Picture(24, 24, kRed), Picture(24, 24, kBlue)});
    FillInReverse();

    ASSERT_EQ(list().ItemCount(), 3);
    EXPECT_EQ(list().ItemText(0, 0), "beta");
    EXPECT_EQ(list().ItemText(2, 0), "gamma");
    EXPECT_EQ(list().ItemText(2, 1), "gamma-model");
    EXPECT_EQ(list().ItemImage(2), 1);
    EXPECT_EQ(list().ItemText(5, 0), "");
    EXPECT_FALSE(list().SetItemText(5, 1, "x"));
    EXPECT_FALSE(list().SetItemText(0, 2, "x"));  // no third column
    form_.Image().SavePng(PicturePath("ui_list_view"));
}

TEST_F(ListViewTest, SelectionFollowsClicksAndCodeAndFiresOnlyOnChange) {
    list().InsertColumn(0, "Name", 1500);
    FillInReverse();
    EXPECT_EQ(list().SelectedRow(), -1);
    EXPECT_TRUE(user_.ClickListRow(list(), 1));
    EXPECT_TRUE(user_.ClickListRow(list(), 1));  // the same row again: no change
    list().SetSelectedRow(2);
    list().SetSelectedRow(-1);
    EXPECT_EQ(changes_, (std::vector<int>{1, 2, -1}));
    EXPECT_THROW(list().SetSelectedRow(3), uilang::RuntimeError);

    // A row inserted above the selection moves the selection with its row.
    list().SetSelectedRow(0);
    list().InsertItem(0, "delta");
    EXPECT_EQ(list().SelectedRow(), 1);
    EXPECT_EQ(list().ItemText(list().SelectedRow(), 0), "beta");

    changes_.clear();
    list().DeleteAllItems();
    EXPECT_EQ(list().ItemCount(), 0);
    EXPECT_EQ(list().SelectedRow(), -1);
    EXPECT_TRUE(changes_.empty());

    list().InsertItem(0, "one");
    form_.Find("lvwRows").SetEnabled(false);
    EXPECT_FALSE(user_.ClickListRow(list(), 0));
}

TEST_F(ListViewTest, FindIgnoresCaseMatchesWholeTextsAndWraps) {
    list().InsertColumn(0, "Name", 1500);
    FillInReverse();  // beta, Alpha, gamma
    struct Case {
        const char* text;
        int start;
        int found;
    };
    const Case cases[] = {
        {"ALPHA", -1, 1}, {"alpha", 1, 1},  // wraps round to the start row itself
        {"Gamma", 0, 2},  {"BETA", 1, 0},   // wraps past the end
        {"alp", -1, -1},  {"", -1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(list().FindItem(c.text, c.start), c.found) << c.text << " from " << c.start;
}

}  // namespace
}  // namespace ui::testing
