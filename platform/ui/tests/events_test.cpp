// Events fired by code and by the user, the reversed scroll bar, the effective enabled state and
// Validate before Click.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui_fixture.h"
#include "uilang/runtime_error.h"

namespace ui::testing {
namespace {

ControlDesign Design(Kind kind, std::string name, std::string container = "", int index = -1) {
    ControlDesign desc;
    desc.kind = kind;
    desc.name = std::move(name);
    desc.container = std::move(container);
    desc.index = index;
    desc.width = 1200;
    desc.height = 300;
    return desc;
}

FormDesign EventsForm() {
    FormDesign form;
    form.name = "frmEvents";
    form.caption = "Events";
    form.width = 6000;
    form.height = 6000;
    form.controls = {
        Design(Kind::Frame, "fraA"),
        Design(Kind::OptionButton, "optA1", "fraA"),
        Design(Kind::OptionButton, "optA2", "fraA"),
        Design(Kind::OptionButton, "optB1"),
        Design(Kind::ComboBox, "cboList"),
        Design(Kind::TextBox, "txtValue"),
        Design(Kind::VScrollBar, "vsbValue"),
        Design(Kind::TabStrip, "tbsPages"),
        Design(Kind::CommandButton, "cmdGo", "fraA"),
        Design(Kind::Grid, "grdRows"),
    };
    form.controls[7].items = {"One", "Two", "Three"};
    form.controls[7].keys = {"Group1", "Group2", "Group3"};
    form.controls[4].items = {"a", "b", "c"};
    return form;
}

class EventsTest : public GuiTest {
  protected:
    EventsTest() : form_(EventsForm()) {
        form_.Show();
        Bind("optA1");
        Bind("optA2");
        Bind("optB1");
        Bind("cboList");
        Bind("cmdGo");
        Bind("tbsPages");
        form_.Get<TextBox>("txtValue").onChange = [this] { log_.push_back("txtValue.Change"); };
        form_.Get<TextBox>("txtValue").onValidate = [this](bool&) {
            log_.push_back("txtValue.Validate");
        };
        form_.Get<ScrollBar>("vsbValue").onChange = [this] { log_.push_back("vsbValue.Change"); };
    }

    void Bind(const std::string& name) {
        Control& control = form_.Find(name);
        auto handler = [this, name] { log_.push_back(name + ".Click"); };
        if (auto* option = dynamic_cast<OptionButton*>(&control))
            option->onClick = handler;
        else if (auto* combo = dynamic_cast<ComboBox*>(&control))
            combo->onClick = handler;
        else if (auto* button = dynamic_cast<CommandButton*>(&control))
            button->onClick = handler;
        else if (auto* tabs = dynamic_cast<TabStrip*>(&control))
            tabs->onClick = handler;
    }

    std::vector<std::string> TakeLog() { return std::exchange(log_, {}); }

    Form form_;
    std::vector<std::string> log_;
};

using Log = std::vector<std::string>;

TEST_F(EventsTest, AnOptionSetByCodeFiresClickEveryTimeAndClearsOnlyItsContainer) {
    auto& a1 = form_.Get<OptionButton>("optA1");
    auto& a2 = form_.Get<OptionButton>("optA2");
    auto& b1 = form_.Get<OptionButton>("optB1");
    b1.SetValue(true);
    a1.SetValue(true);
    a1.SetValue(true);
    EXPECT_EQ(TakeLog(), (Log{"optB1.Click", "optA1.Click", "optA1.Click"}));
    a2.SetValue(true);
    EXPECT_FALSE(a1.Value());
    EXPECT_TRUE(a2.Value());
    EXPECT_TRUE(b1.Value());  // another container
    EXPECT_TRUE(user_.Click(a1));
    EXPECT_TRUE(a1.Value());
    EXPECT_FALSE(a2.Value());
    EXPECT_EQ(TakeLog(), (Log{"optA2.Click", "optA1.Click"}));
}

TEST_F(EventsTest, ListIndexAndEveryUserChoiceFireClick) {
    auto& combo = form_.Get<ComboBox>("cboList");
    combo.SetListIndex(1);
    EXPECT_EQ(combo.Text(), "b");
    combo.SetListIndex(-1);  // clears without an event
    EXPECT_EQ(combo.Text(), "");
    EXPECT_TRUE(user_.Choose(combo, 2));
    EXPECT_TRUE(user_.Choose(combo, 2));  // the entry already selected
    EXPECT_EQ(TakeLog(), (Log{"cboList.Click", "cboList.Click", "cboList.Click"}));
    EXPECT_THROW(combo.SetListIndex(3), uilang::RuntimeError);
    combo.Clear();
    EXPECT_EQ(combo.ListCount(), 0);
    EXPECT_EQ(combo.ListIndex(), -1);
}

TEST_F(EventsTest, TextChangeFiresOnlyOnAChangeByCodeOrUser) {
    auto& box = form_.Get<TextBox>("txtValue");
    box.SetText("10");
    box.SetText("10");
    EXPECT_TRUE(user_.Type(box, "12", true));  // key by key: "1" then "12"
    EXPECT_EQ(box.Text(), "12");
    EXPECT_TRUE(user_.Type(box, "12"));  // the same text as a whole: no change
    EXPECT_EQ(TakeLog(), (Log{"txtValue.Change", "txtValue.Change", "txtValue.Change"}));
}

TEST_F(EventsTest, ScrollBarChangeFiresOnlyWhenTheValueChanges) {
    auto& bar = form_.Get<ScrollBar>("vsbValue");
    // A text box and a bar updating each other end after one round.
    auto& box = form_.Get<TextBox>("txtValue");
    box.onChange = [&] { bar.SetValue(static_cast<std::int32_t>(std::stoi(box.Text()))); };
    bar.onChange = [&] { box.SetText(std::to_string(bar.Value())); };
    bar.SetValue(5);
    EXPECT_EQ(box.Text(), "5");
    bar.SetValue(5);
    box.SetText("7");
    EXPECT_EQ(bar.Value(), 7);
}

TEST_F(EventsTest, ReversedScrollBarRangeAndPullBack) {
    auto& bar = form_.Get<ScrollBar>("vsbValue");
    bar.SetMax(0);
    bar.SetMin(100);  // reversed: 100 at the top, 0 at the bottom
    bar.SetValue(100);
    TakeLog();
    bar.SetSmallChange(10);
    EXPECT_TRUE(user_.StepScrollBar(bar, 1));  // one step from Min towards Max
    EXPECT_EQ(bar.Value(), 90);
    try {
        bar.SetValue(101);
        FAIL() << "a value outside the range was taken";
    } catch (const uilang::RuntimeError& error) {
        EXPECT_EQ(error.Number(), uilang::kErrInvalidPropertyValue);
    }
    EXPECT_EQ(bar.Value(), 90);
    bar.SetMin(50);  // pulls the value inside, with its Change
    EXPECT_EQ(bar.Value(), 50);
    bar.SetMax(-2000000000);
    bar.SetValue(-1999999999);  // 32-bit values
    EXPECT_EQ(bar.Value(), -1999999999);
    EXPECT_EQ(TakeLog(), (Log{"vsbValue.Change", "vsbValue.Change", "vsbValue.Change"}));
}

TEST_F(EventsTest, SelectingATabFiresClick) {
    auto& tabs = form_.Get<TabStrip>("tbsPages");
    EXPECT_EQ(tabs.Count(), 3);
    EXPECT_EQ(tabs.Key(2), "Group2");
    tabs.SetSelectedIndex(3);
    EXPECT_EQ(tabs.SelectedIndex(), 3);
    EXPECT_EQ(TakeLog(), (Log{"tbsPages.Click"}));
}

TEST_F(EventsTest, AControlTakesInputOnlyWhenEveryContainerIsEnabled) {
    auto& frame = form_.Get<Frame>("fraA");
    auto& go = form_.Get<CommandButton>("cmdGo");
    frame.SetEnabled(false);
    EXPECT_TRUE(go.Enabled());  // reads back as set
    EXPECT_FALSE(go.TakesInput());
    EXPECT_FALSE(user_.Click(go));
    frame.SetEnabled(true);
    go.SetEnabled(false);
    EXPECT_FALSE(user_.Click(go));
    go.SetEnabled(true);
    form_.SetEnabled(false);
    EXPECT_FALSE(user_.Click(go));
    form_.SetEnabled(true);
    go.SetVisible(false);
    EXPECT_FALSE(user_.Click(go));
    go.SetVisible(true);
    EXPECT_TRUE(user_.Click(go));
    EXPECT_EQ(TakeLog(), (Log{"cmdGo.Click"}));
}

TEST_F(EventsTest, ValidateFiresBeforeTheClickOfTheControlTakingTheFocus) {
    auto& box = form_.Get<TextBox>("txtValue");
    EXPECT_TRUE(user_.Focus(box));
    EXPECT_TRUE(user_.Click(form_.Get<CommandButton>("cmdGo")));
    EXPECT_EQ(TakeLog(), (Log{"txtValue.Validate", "cmdGo.Click"}));
    // A cancel keeps the focus in the box.
    box.onValidate = [](bool& cancel) { cancel = true; };
    EXPECT_TRUE(user_.Focus(box));
    EXPECT_FALSE(user_.Focus(form_.Get<CommandButton>("cmdGo")));
    EXPECT_TRUE(box.HasFocus());
}

TEST_F(EventsTest, GridRowsCellsAndClicks) {
    auto& grid = form_.Get<Grid>("grdRows");
    grid.SetRows(0);
    grid.AddItem("0\t- 10 to 10");
    grid.AddItem("3");
    EXPECT_EQ(grid.Rows(), 2);
    EXPECT_EQ(grid.TextMatrix(0, 1), "- 10 to 10");
    grid.SetRow(1);
    grid.SetCol(0);
    grid.SetCellBackColor(kBlue);
    EXPECT_EQ(grid.CellBackColor(), kBlue);
    grid.SetColWidth(1, 1200);
    grid.SetColAlignment(0, 4);
    EXPECT_EQ(grid.ColWidth(1), 1200);
    EXPECT_EQ(grid.ColAlignment(0), 4);
    int clickedRow = -1;
    int doubleClicks = 0;
    grid.onClick = [&] { clickedRow = grid.Row(); };
    grid.onDblClick = [&] { ++doubleClicks; };
    EXPECT_TRUE(user_.ClickGridRow(grid, 0, true));
    EXPECT_EQ(clickedRow, 0);
    EXPECT_EQ(doubleClicks, 1);
    grid.RemoveItem(0);
    EXPECT_EQ(grid.TextMatrix(0, 0), "3");
    EXPECT_THROW(grid.SetRow(1), uilang::RuntimeError);
    grid.Clear();
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_EQ(grid.TextMatrix(0, 0), "");
}

}  // namespace
}  // namespace ui::testing
