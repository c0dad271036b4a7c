// The single-value digital input panel: the port grid of a board with twelve input ports, the
// value of the chosen port in the grid, the list and the lamps, and a reading the library
// refuses.
#include <gtest/gtest.h>

#include "modules/acq_members.h"
#include "modules/bit_lamps.h"
#include "panel_support.h"
#include "uilang/conversions.h"

namespace larkspur::testing {
namespace {

// A digital board of twelve input ports: port A holds 0xA5, port B 0x1FF, the others 0.
constexpr const char* kPortsBoard = "Mq5130 0x5130 3 DIN0.0=const:165 DIN1.0=const:511";
constexpr int kLamps = 8;

class DigitalInTest : public AppTest {
  protected:
    DigitalInTest() : AppTest({kPortsBoard}) {}

    DigitalInForm& OpenOnBoard() {
        panel_ = DigitalIn();
        panel_->Show();
        auto& boards = panel_->Get<ui::ComboBox>("cboBoard");
        EXPECT_EQ(boards.ListCount(), 1);
        board_ = boards.List(0);
        EXPECT_TRUE(user_.Choose(boards, 0));
        return *panel_;
    }
    ui::Grid& Ports() { return panel_->Get<ui::Grid>("grdDin"); }
    // The lamps as bits: 1 lit, 0 dark, anything else shown counts as neither.
    std::int32_t LitLamps(bool* allKnown) {
        std::int32_t lit = 0;
        *allKnown = true;
        for (int bit = 0; bit < kLamps; ++bit) {
            const ui::Picture& lamp = panel_->Get<ui::Image>("imgDi", bit).GetPicture();
            ui::Colour centre =
                lamp.Empty() ? ui::kWhite : lamp.Pixel(kLampPixels / 2, kLampPixels / 2);
            if (centre == kLampOnColour)
                lit |= 1 << bit;
            else if (centre != kLampOffColour)
                *allKnown = false;
        }
        return lit;
    }

    std::shared_ptr<DigitalInForm> panel_;
    std::string board_;
};

TEST_F(DigitalInTest, SetUpListsOnePortLetterPerElementWithEveryLampDark) {
    OpenOnBoard();
    EXPECT_EQ(panel_->Caption(), "Single Value Digital In - " + board_);
    ASSERT_EQ(Ports().Rows(), 12);
    std::string letters;
    for (int row = 0; row < Ports().Rows(); ++row) {
        letters += Ports().TextMatrix(row, 0);
        EXPECT_EQ(Ports().TextMatrix(row, 1), "");
    }
    EXPECT_EQ(letters, "ABCDEFGHIJKL");
    bool known = false;
    EXPECT_EQ(LitLamps(&known), 0);
    EXPECT_TRUE(known);
    EXPECT_EQ(panel_->Get<ui::ListBox>("lstDin").ListCount(), 0);
    EXPECT_TRUE(panel_->Find("cmdGet").TakesInput());
}

TEST_F(DigitalInTest, GetShowsThePortsValueInHexAndItsLowEightBitsAsLamps) {
    OpenOnBoard();
    const struct {
        int row;
        const char* hex;
        std::int32_t lamps;
    } reads[] = {
        {0, "A5", 0xA5},   // lamps 0, 2, 5 and 7
        {1, "1FF", 0xFF},  // nine bits: the eight lamps all lit, the text the whole value
        {4, "0", 0},
        {0, "A5", 0xA5},
    };
    for (const auto& read : reads) {
        SCOPED_TRACE(read.hex);
        ASSERT_TRUE(user_.ClickGridRow(Ports(), read.row));
        EXPECT_EQ(uilang::ToShort(panel_->Acq().Get(acq::dispid::SubSysElement)), read.row);
        ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
        EXPECT_EQ(Ports().TextMatrix(read.row, 1), read.hex);
        EXPECT_EQ(Entries(panel_->Get<ui::ListBox>("lstDin")), std::vector<std::string>{read.hex});
        bool known = false;
        EXPECT_EQ(LitLamps(&known), read.lamps);
        EXPECT_TRUE(known);
        if (read.lamps == 0xA5)
            panel_->Image().SavePng(PicturePath("digital_in_a5"));
    }
    // Each port keeps the last value read until the next set-up.
    EXPECT_EQ(Ports().TextMatrix(1, 1), "1FF");
    ASSERT_TRUE(user_.Choose(panel_->Get<ui::ComboBox>("cboBoard"), 0));
    EXPECT_EQ(Ports().TextMatrix(1, 1), "");
    EXPECT_EQ(uilang::ToShort(panel_->Acq().Get(acq::dispid::SubSysElement)), 0);
    EXPECT_EQ(Boxes(*runtime_), std::vector<std::string>{});
}

TEST_F(DigitalInTest, AReadingOfARemovedBoardShowsTheLibrarysTextAndKeepsWhatWasShown) {
    OpenOnBoard();
    ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
    ASSERT_TRUE(sim::testing::InjectFault("Mq5130", 3, HXSS_DIN, 0, sim::testing::Fault::kRemoval));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    const ui::MessageBoxRecord& box = runtime_->MessageBoxes()[0];
    EXPECT_EQ(box.title, "Single Value Digital In");
    EXPECT_EQ(box.flags, ui::kMbExclamation);
    EXPECT_EQ(box.text, uilang::ToText(panel_->Acq().Get(acq::dispid::LastErrDescription)));
    EXPECT_EQ(Ports().TextMatrix(0, 1), "A5");
    EXPECT_EQ(Entries(panel_->Get<ui::ListBox>("lstDin")), std::vector<std::string>{"A5"});
}

TEST_F(DigitalInTest, APortAnotherProgramHoldsIsReportedAndTheOtherPortsStillRead) {
    OpenOnBoard();
    HeldSubsystem held(board_.c_str(), HXSS_DIN, 2);
    ASSERT_TRUE(held.Held());
    ASSERT_TRUE(user_.ClickGridRow(Ports(), 2));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    const ui::MessageBoxRecord& box = runtime_->MessageBoxes()[0];
    EXPECT_EQ(box.title, "Single Value Digital In");
    EXPECT_EQ(box.text, uilang::ToText(panel_->Acq().Get(acq::dispid::LastErrDescription)));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));  // nothing open: reported again
    EXPECT_EQ(runtime_->MessageBoxes().size(), 2u);
    EXPECT_EQ(Ports().TextMatrix(2, 1), "");
    ASSERT_TRUE(user_.ClickGridRow(Ports(), 0));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdGet")));
    EXPECT_EQ(Ports().TextMatrix(0, 1), "A5");
    EXPECT_EQ(runtime_->MessageBoxes().size(), 2u);
}

}  // namespace
}  // namespace larkspur::testing
