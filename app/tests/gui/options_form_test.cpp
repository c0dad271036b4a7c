// The options dialog: its load step, Apply, OK and Cancel, the pages behind the tabs and
// Ctrl+Tab, and bad frequency texts.
#include <gtest/gtest.h>

#include "forms/options_form.h"
#include "gui_fixture.h"
#include "modules/shared_settings.h"

namespace larkspur {
namespace {

using ui::OptionButton;

class OptionsFormTest : public ui::testing::GuiTest {
  protected:
    OptionsFormTest() {
        ResetShared();
        ResetOptions();
    }
    ~OptionsFormTest() override { ResetOptions(); }

    // The user clicks a tab to bring its page into sight.
    void Page(OptionsForm& dialog, int tab) {
        EXPECT_TRUE(user_.ClickTab(dialog.Get<ui::TabStrip>("tbsOptions"), tab));
    }

    // Opens the dialog modally and runs `answer` inside its loop.
    void Open(std::function<void(OptionsForm&)> answer) {
        auto dialog = Options();
        user_.AnswerModal([answer](ui::Form& form) { answer(static_cast<OptionsForm&>(form)); });
        dialog->ShowModal();
    }
};

TEST_F(OptionsFormTest, TheLoadStepSelectsFromTheSharedSettingsAndCentresTheDialog) {
    Shared().gDifferential = 1;
    Shared().gClockSource = 1;
    auto dialog = Options();
    EXPECT_TRUE(dialog->Get<OptionButton>("optDiff").Value());
    EXPECT_FALSE(dialog->Get<OptionButton>("optSE").Value());
    EXPECT_TRUE(dialog->Get<OptionButton>("optExtClk").Value());
    EXPECT_FALSE(dialog->Get<ui::TextBox>("txtFreq").Enabled());
    EXPECT_EQ(dialog->Left(), (runtime_->ScreenWidth() - dialog->Width()) / 2);
    EXPECT_EQ(dialog->Top(), (runtime_->ScreenHeight() - dialog->Height()) / 2);
    EXPECT_EQ(dialog->Caption(), " Configuration Options");
    dialog->Unload();

    Shared().gDifferential = 0;
    Shared().gClockSource = 0;
    dialog = Options();
    EXPECT_TRUE(dialog->Get<OptionButton>("optSE").Value());
    EXPECT_TRUE(dialog->Get<ui::TextBox>("txtFreq").Enabled());
    // The tabs open on the first page; the others are out of sight.
    EXPECT_EQ(dialog->Get<ui::TabStrip>("tbsOptions").SelectedIndex(), 1);
    EXPECT_EQ(dialog->Get<ui::PictureBox>("picOptions", 0).Left(), 600);
    EXPECT_EQ(dialog->Get<ui::PictureBox>("picOptions", 2).Left(), -20000);
}

TEST_F(OptionsFormTest, ApplyRoundsTheFrequencyHalfToEvenAndStaysOpen) {
    const struct {
        const char* text;
        std::int32_t frequency;
    } cases[] = {{"1000.7", 1001}, {"2500.5", 2500}, {"abc", 0}, {" 12k", 12}, {"", 0}};
    Open([&](OptionsForm& dialog) {
        Page(dialog, 4);
        user_.Click(dialog.Get<OptionButton>("optBipolar"));
        Page(dialog, 2);
        for (const auto& c : cases) {
            user_.Type(dialog.Get<ui::TextBox>("txtFreq"), c.text);
            user_.Click(dialog.Get<ui::CommandButton>("cmdApply"));
            EXPECT_EQ(Shared().gFrequency, c.frequency) << c.text;
        }
        EXPECT_TRUE(dialog.Loaded());
        user_.Click(dialog.Get<ui::CommandButton>("cmdCancel"));
    });
    EXPECT_EQ(Shared().gClockSource, 0);
    EXPECT_EQ(Shared().gDifferential, 0);
    EXPECT_EQ(Shared().gBipolar, kTrue);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(OptionsFormTest, OkAppliesAndClosesCancelKeepsWhatAnEarlierApplyWrote) {
    Open([&](OptionsForm& dialog) {
        Page(dialog, 2);
        user_.Type(dialog.Get<ui::TextBox>("txtFreq"), "5000");
        user_.Click(dialog.Get<ui::CommandButton>("cmdApply"));
        user_.Click(dialog.Get<OptionButton>("optExtClk"));
        Page(dialog, 3);
        user_.Click(dialog.Get<OptionButton>("optDiff"));
        user_.Type(dialog.Get<ui::TextBox>("txtFreq"), "7");  // disabled now: not typed
        user_.Click(dialog.Get<ui::CommandButton>("cmdCancel"));
    });
    EXPECT_EQ(Shared().gFrequency, 5000);
    EXPECT_EQ(Shared().gClockSource, 0);
    EXPECT_EQ(Shared().gDifferential, 0);
    EXPECT_EQ(Shared().gBipolar, kFalse);

    Open([&](OptionsForm& dialog) {
        EXPECT_FALSE(user_.Click(dialog.Get<OptionButton>("optDiff")));  // its page is not shown
        Page(dialog, 3);
        EXPECT_TRUE(user_.Click(dialog.Get<OptionButton>("optDiff")));
        Page(dialog, 2);
        user_.Click(dialog.Get<OptionButton>("optExtClk"));
        user_.Click(dialog.Get<ui::CommandButton>("cmdOK"));
    });
    EXPECT_EQ(Shared().gDifferential, 1);
    EXPECT_EQ(Shared().gClockSource, 1);
    EXPECT_EQ(Options()->Get<OptionButton>("optDiff").Value(), true);  // a new instance loads
}

TEST_F(OptionsFormTest, AFrequencyBeyondThirtyTwoBitsWritesNothingAndKeepsTheDialogOpen) {
    Shared().gFrequency = 100000;
    Open([&](OptionsForm& dialog) {
        Page(dialog, 3);
        user_.Click(dialog.Get<OptionButton>("optDiff"));
        Page(dialog, 2);
        user_.Type(dialog.Get<ui::TextBox>("txtFreq"), "1e12");
        user_.Click(dialog.Get<ui::CommandButton>("cmdOK"));
        EXPECT_TRUE(dialog.Loaded());
        EXPECT_EQ(dialog.Get<ui::TextBox>("txtFreq").Text(), "1e12");
        user_.Click(dialog.Get<ui::CommandButton>("cmdApply"));
        user_.Click(dialog.Get<ui::CommandButton>("cmdCancel"));
    });
    EXPECT_EQ(Shared().gFrequency, 100000);
    EXPECT_EQ(Shared().gDifferential, 0);
    ASSERT_EQ(runtime_->MessageBoxes().size(), 2u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, "Overflow");
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbExclamation);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Larkspur");
}

TEST_F(OptionsFormTest, TabsMoveTheirPageIntoSightAndCtrlTabWraps) {
    Open([&](OptionsForm& dialog) {
        auto& tabs = dialog.Get<ui::TabStrip>("tbsOptions");
        auto page = [&](int i) -> ui::PictureBox& {
            return dialog.Get<ui::PictureBox>("picOptions", i);
        };
        EXPECT_TRUE(user_.ClickTab(tabs, 3));
        EXPECT_EQ(page(2).Left(), 600);
        EXPECT_TRUE(page(2).Enabled());
        EXPECT_EQ(page(0).Left(), -20000);
        EXPECT_FALSE(page(0).Enabled());
        EXPECT_TRUE(page(0).Visible());
        EXPECT_TRUE(user_.Focus(dialog.Get<OptionButton>("optSE")));
        user_.KeyDown(dialog, 9, 2);  // Ctrl+Tab on the third tab
        EXPECT_EQ(tabs.SelectedIndex(), 4);
        user_.KeyDown(dialog, 9, 2);  // on the fourth: back to the first
        EXPECT_EQ(tabs.SelectedIndex(), 1);
        EXPECT_EQ(page(0).Left(), 600);
        user_.KeyDown(dialog, 9, 0);  // Tab alone changes no page
        EXPECT_EQ(tabs.SelectedIndex(), 1);
        user_.Click(dialog.Get<ui::CommandButton>("cmdCancel"));
    });
}

TEST_F(OptionsFormTest, WhatAPanelDisabledIsGoneAtTheNextOpening) {
    auto dialog = Options();
    dialog->Get<ui::Frame>("fraRange").SetEnabled(false);
    dialog->Get<OptionButton>("optSE").SetEnabled(false);
    user_.AnswerModal([&](ui::Form& form) {
        EXPECT_FALSE(form.Get<OptionButton>("optBipolar").TakesInput());
        user_.Click(form.Get<ui::CommandButton>("cmdOK"));
    });
    dialog->ShowModal();
    // Re-enabling after the close touches a closed form: nothing happens, nothing is loaded.
    dialog->Get<ui::Frame>("fraRange").SetEnabled(true);
    EXPECT_FALSE(dialog->Loaded());
    auto next = Options();
    EXPECT_NE(next, dialog);
    EXPECT_TRUE(next->Get<ui::Frame>("fraRange").Enabled());
    EXPECT_TRUE(next->Get<OptionButton>("optSE").Enabled());
}

}  // namespace
}  // namespace larkspur
