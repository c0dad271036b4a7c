// The single-value analog input panel on a simulated MQ5120 whose inputs hold constant levels:
// set-up and the shared settings it seeds, the channel type, readings in volts and as a bar,
// and a board pulled out under a reading.
#include <gtest/gtest.h>

#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "panel_support.h"
#include "uilang/conversions.h"

namespace larkspur::testing {
namespace {

constexpr const char* kLevelsBoard =
    "MQ5120 4 1 AD0.0=const:-10 AD0.1=const:5 AD0.2=const:10 AD0.5=const:-2.5";

class SingleInTest : public AppTest {
  protected:
    SingleInTest() : AppTest({kLevelsBoard}) {}
    explicit SingleInTest(std::vector<std::string> boards) : AppTest(std::move(boards)) {}

    SingleInForm& Open() {
        panel_ = SingleIn();
        panel_->Show();
        return *panel_;
    }
    SingleInForm& OpenOnBoard() {
        Open();
        EXPECT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
        return *panel_;
    }
    ui::ComboBox& Combo(const char* name) { return panel_->Get<ui::ComboBox>(name); }
    ui::ListBox& Results() { return panel_->Get<ui::ListBox>("lstAin"); }
    std::string Label(const char* name) { return panel_->Get<ui::Label>(name).Caption(); }

    // Rows of the bar box, from the bottom up, in the bar's colour (its middle column).
    int BarRows() {
        ui::Picture shown = panel_->Get<ui::PictureBox>("picBar").Image();
        int rows = 0;
        for (int y = 0; y < shown.Height(); ++y)
            rows += shown.Pixel(shown.Width() / 2, y) == kVoltageBarColour;
        return rows;
    }

    std::shared_ptr<SingleInForm> panel_;
};

TEST_F(SingleInTest, SetUpOpensTheAnalogInputSeedsTheSharedSettingsAndFillsItsLists) {
    Open();
    EXPECT_EQ(panel_->Caption(), "Single Analog Input");
    EXPECT_EQ(Entries(Combo("cboBoard")), std::vector<std::string>{kMq5120});
    EXPECT_EQ(Combo("cboBoard").ListIndex(), -1);
    EXPECT_FALSE(panel_->Find("cmdGet").TakesInput());
    EXPECT_FALSE(Combo("cboChan").TakesInput());

    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    EXPECT_EQ(panel_->Caption(), "Single Value Analog Input - MQ5120(00)");
    EXPECT_TRUE(panel_->Find("cmdGet").TakesInput());
    EXPECT_TRUE(Combo("cboChan").TakesInput());
    // The MQ5120's analog input starts with differential channels: its eight are listed.
    EXPECT_TRUE(panel_->Get<ui::OptionButton>("optDiff").Value());
    EXPECT_EQ(Combo("cboChan").ListCount(), 8);
    EXPECT_EQ(Combo("cboChan").Text(), "0");
    EXPECT_EQ(Entries(Combo("cboRange")), std::vector<std::string>{"-10 to 10"});
    EXPECT_EQ(Combo("cboRange").ListIndex(), 0);
    EXPECT_EQ(Label("lblMaxRange"), "10");
    EXPECT_EQ(Label("lblMinRange"), "-10");
    EXPECT_EQ(Results().ListCount(), 0);
    EXPECT_EQ(Shared().gFrequency, 100000);
    EXPECT_EQ(Shared().gTrigger, 0);
    EXPECT_EQ(Shared().gClockSource, 0);
    EXPECT_EQ(Shared().gBipolar, kTrue);
    EXPECT_FLOAT_EQ(Shared().gMaxRange, 10.0f);
    EXPECT_EQ(uilang::ToShort(panel_->Acq().Get(acq::dispid::DataFlow)), 1);

    // Single-ended channels, and back.
    ASSERT_TRUE(user_.Click(panel_->Get<ui::OptionButton>("optSE")));
    EXPECT_EQ(uilang::ToShort(panel_->Acq().Get(acq::dispid::ChannelType)), 0);
    EXPECT_EQ(Combo("cboChan").ListCount(), 16);
    EXPECT_EQ(Combo("cboChan").List(15), "15");
    EXPECT_EQ(Combo("cboChan").Text(), "0");
    ASSERT_TRUE(user_.Choose(Combo("cboChan"), "12"));
    ASSERT_TRUE(user_.Click(panel_->Get<ui::OptionButton>("optDiff")));
    EXPECT_EQ(uilang::ToShort(panel_->Acq().Get(acq::dispid::ChannelType)), 1);
    EXPECT_EQ(Combo("cboChan").ListCount(), 8);
    EXPECT_EQ(Combo("cboChan").Text(), "0");
    EXPECT_EQ(Boxes(*runtime_), std::vector<std::string>{});
}

TEST_F(SingleInTest, EachGetShowsTheChosenInputInVoltsAndAsABarFromTheBottom) {
    OpenOnBoard();
    const int boxRows = panel_->Get<ui::PictureBox>("picBar").Height() / ui::kTwipsPerPixel;
    const struct {
        const char* channel;
        const char* shown;  // empty: checked by value
        float volts;
    } readings[] = {
        {"1", "5", 5.0f},      // three quarters of the range
        {"0", "-10", -10.0f},  // the range's minimum: no bar
        {"2", "", 10.0f},      // the top code, one step below the range's maximum: a full bar
        {"5", "-2.5", -2.5f},
    };
    for (const auto& reading : readings) {
        SCOPED_TRACE(reading.channel);
        ASSERT_TRUE(user_.Choose(Combo("cboChan"), reading.channel));
        ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
        ASSERT_EQ(Results().ListCount(), 1);  // only the last reading
        if (*reading.shown != '\0') {
            EXPECT_EQ(Results().List(0), reading.shown);
        }
        EXPECT_NEAR(uilang::Val(Results().List(0)), reading.volts, 0.001);
        float fraction = (reading.volts + 10.0f) / 20.0f;
        EXPECT_NEAR(BarRows(), fraction * boxRows, 1.0);
        if (reading.volts == 5.0f) {
            panel_->Image().SavePng(PicturePath("single_in_three_quarters"));
        }
    }
    EXPECT_EQ(Boxes(*runtime_), std::vector<std::string>{});
}

TEST_F(SingleInTest, AReadingOfARemovedBoardShowsTheLibrarysTextAndKeepsTheLastReading) {
    OpenOnBoard();
    ASSERT_TRUE(user_.Choose(Combo("cboChan"), "1"));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, HXSS_AD, 0, sim::testing::Fault::kRemoval));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    const ui::MessageBoxRecord& box = runtime_->MessageBoxes()[0];
    EXPECT_EQ(box.title, "Single Value Analog In");
    EXPECT_EQ(box.flags, ui::kMbExclamation);
    EXPECT_EQ(box.text, uilang::ToText(panel_->Acq().Get(acq::dispid::LastErrDescription)));
    EXPECT_FALSE(box.text.empty());
    EXPECT_EQ(Entries(Results()), std::vector<std::string>{"5"});
    EXPECT_TRUE(panel_->Visible());
}

// Two stand-in boards: one whose analog input has a bipolar and a unipolar range, one with
// single-ended inputs only and two's complement codes.
class SingleInOtherBoardsTest : public SingleInTest {
  protected:
    SingleInOtherBoardsTest()
        : SingleInTest({"Mq5200 0x5202 0x21 AD0.0=const:7.5", "MQ5310 0 7 AD0.0=const:-2.5"}) {}

    void ChooseBoard(const char* family) {
        for (const std::string& board : Entries(Combo("cboBoard"))) {
            if (board.find(family) != std::string::npos) {
                ASSERT_TRUE(user_.Choose(Combo("cboBoard"), board));
            }
        }
        ASSERT_EQ(Boxes(*runtime_), std::vector<std::string>{});
    }
};

TEST_F(SingleInOtherBoardsTest, TheChosenRangeScalesTheReadingAndTheBar) {
    Open();
    ChooseBoard("5200");
    EXPECT_EQ(Entries(Combo("cboRange")), (std::vector<std::string>{"-10 to 10", "0 to 10"}));
    const int boxRows = panel_->Get<ui::PictureBox>("picBar").Height() / ui::kTwipsPerPixel;
    const struct {
        int range;
        const char* minimum;
        float fraction;  // of 7.5 V in the range
    } ranges[] = {{1, "0", 0.75f}, {0, "-10", 0.875f}};
    for (const auto& range : ranges) {
        SCOPED_TRACE(range.range);
        ASSERT_TRUE(user_.Choose(Combo("cboRange"), range.range));
        EXPECT_EQ(uilang::ToShort(panel_->Acq().Get(acq::dispid::Range)), range.range);
        EXPECT_EQ(Label("lblMaxRange"), "10");
        EXPECT_EQ(Label("lblMinRange"), range.minimum);
        ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
        EXPECT_EQ(Entries(Results()), std::vector<std::string>{"7.5"});
        EXPECT_NEAR(BarRows(), range.fraction * boxRows, 1.0);
    }
}

TEST_F(SingleInOtherBoardsTest, TwosComplementCodesAndAChannelTypeTheBoardLacksIsReported) {
    Open();
    ChooseBoard("5310");
    EXPECT_TRUE(panel_->Get<ui::OptionButton>("optSE").Value());
    EXPECT_EQ(Combo("cboChan").ListCount(), 8);
    ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
    EXPECT_EQ(Entries(Results()), std::vector<std::string>{"-2.5"});
    const int boxRows = panel_->Get<ui::PictureBox>("picBar").Height() / ui::kTwipsPerPixel;
    EXPECT_NEAR(BarRows(), 0.375 * boxRows, 1.0);

    // The differential option stays as it was at design time; choosing it is reported.
    ASSERT_TRUE(user_.Click(panel_->Get<ui::OptionButton>("optDiff")));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Single Value Analog In");
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbExclamation);
    EXPECT_TRUE(panel_->Visible());
    ASSERT_TRUE(user_.Click(panel_->Get<ui::OptionButton>("optSE")));
    EXPECT_EQ(Combo("cboChan").ListCount(), 8);
    ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
    EXPECT_EQ(Entries(Results()), std::vector<std::string>{"-2.5"});
    EXPECT_EQ(runtime_->MessageBoxes().size(), 1u);
}

}  // namespace
}  // namespace larkspur::testing
