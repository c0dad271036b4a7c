// What the four single-value panels share, case by case: the board list, the set-up failure on
// a board without the panel's subsystem (before and after a good set-up), and the release of the
// subsystem when the panel closes.
#include <gtest/gtest.h>

#include "modules/panels.h"
#include "panel_support.h"

namespace larkspur::testing {
namespace {

struct PanelCase {
    const char* key;  // the toolbar's
    const char* form;
    const char* designCaption;
    UINT type;
    const char* lackingFamily;  // a board of the list without the subsystem
    const char* failureText;
    const char* failureTitle;
    const char* captionPrefix;
    const char* working;  // a control that is live only after a set-up
};

const PanelCase kPanels[] = {
    {"SAin", "frmSingleIn", "Single Analog Input", HXSS_AD, "5130",
     "A/D Subsystem not available on ", "Single Value Analog In", "Single Value Analog Input - ",
     "cmdGet"},
    {"SAout", "frmSingleOut", "Single Analog Output", HXSS_DA, "5130",
     "D/A Subsystem not available on ", "Single Value Out", "Single Value Analog Output - ",
     "cmdSend"},
    {"Din", "frmDigitalIn", "Digital Input", HXSS_DIN, "5310",
     "Digital Input Subsystem not available on ", "Single Value Digital In",
     "Single Value Digital In - ", "cmdGet"},
    {"Dout", "frmDigitalOut", "Digital Output", HXSS_DOUT, "5310",
     "Digital Output Subsystem not available on ", "Digital Out", "Single Value Digital Out - ",
     "cmdSend"},
};

class SingleValuePanelsTest : public AppTest {
  protected:
    // An MQ5120, a digital board without analog subsystems and an analog one without digital.
    SingleValuePanelsTest() : AppTest({"MQ5120 4 1", "Mq5130 0x5130 3", "MQ5310 3 5"}) {}

    ui::Form* Loaded(const char* name) {
        for (ui::Form* form : runtime_->LoadedForms())
            if (form->Name() == name)
                return form;
        return nullptr;
    }
    ui::Form& OpenPanel(const PanelCase& panel) {
        EXPECT_TRUE(larkspur::OpenPanel(panel.key));
        ui::Form* form = Loaded(panel.form);
        EXPECT_NE(form, nullptr);
        return *form;
    }
    static std::string BoardOf(const ui::ComboBox& boards, const char* family) {
        for (const std::string& board : Entries(boards))
            if (board.find(family) != std::string::npos)
                return board;
        return {};
    }
};

TEST_F(SingleValuePanelsTest, ABoardWithoutThePanelsSubsystemShowsTheFailureAndLeavesItDisabled) {
    for (const PanelCase& panel : kPanels) {
        SCOPED_TRACE(panel.key);
        ui::Form& form = OpenPanel(panel);
        auto& boards = form.Get<ui::ComboBox>("cboBoard");
        ASSERT_EQ(boards.ListCount(), 3);
        EXPECT_EQ(boards.ListIndex(), -1);
        EXPECT_EQ(form.Caption(), panel.designCaption);
        EXPECT_FALSE(form.Find(panel.working).TakesInput());
        std::string lacking = BoardOf(boards, panel.lackingFamily);
        ASSERT_FALSE(lacking.empty());

        const std::string good = panel.captionPrefix + std::string(kMq5120);
        const struct {
            std::string board;
            bool works;
            std::string caption;  // after the choice
        } choices[] = {
            {lacking, false, panel.designCaption},
            {kMq5120, true, good},
            {lacking, false, good},  // disabled again, the caption as it was
            {kMq5120, true, good},
        };
        for (const auto& choice : choices) {
            std::size_t before = runtime_->MessageBoxes().size();
            ASSERT_TRUE(user_.Choose(boards, choice.board));
            EXPECT_EQ(form.Caption(), choice.caption);
            EXPECT_EQ(form.Find(panel.working).TakesInput(), choice.works) << choice.board;
            if (choice.works) {
                EXPECT_EQ(runtime_->MessageBoxes().size(), before);
                continue;
            }
            ASSERT_EQ(runtime_->MessageBoxes().size(), before + 1);
            const ui::MessageBoxRecord& box = runtime_->MessageBoxes().back();
            EXPECT_EQ(box.text, panel.failureText + lacking);
            EXPECT_EQ(box.title, panel.failureTitle);
            EXPECT_EQ(box.flags, ui::kMbExclamation);
        }
        EXPECT_FALSE(SubsystemFree(kMq5120, panel.type, 0));
        std::size_t boxes = runtime_->MessageBoxes().size();
        user_.Close(form);
        EXPECT_EQ(Loaded(panel.form), nullptr);
        EXPECT_TRUE(SubsystemFree(kMq5120, panel.type, 0));
        EXPECT_EQ(runtime_->MessageBoxes().size(), boxes);
    }
}

TEST_F(SingleValuePanelsTest, APanelClosedWithoutABoardSaysNothingAndOpensAnewEmpty) {
    for (const PanelCase& panel : kPanels) {
        SCOPED_TRACE(panel.key);
        user_.Close(OpenPanel(panel));
        EXPECT_EQ(Loaded(panel.form), nullptr);
        ui::Form& again = OpenPanel(panel);
        EXPECT_EQ(again.Get<ui::ComboBox>("cboBoard").ListIndex(), -1);
        EXPECT_EQ(again.Caption(), panel.designCaption);
        user_.Close(again);
    }
    EXPECT_EQ(Boxes(*runtime_), std::vector<std::string>{});
    user_.Pump();
}

}  // namespace
}  // namespace larkspur::testing
