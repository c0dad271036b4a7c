// The single-value digital output panel: bit buttons and the typed hexadecimal value following
// each other, Send to the chosen port read back through an MQ5120's input port wired to its
// output port and from a port of a board with eight, and a Send the library refuses.
#include <gtest/gtest.h>

#include "modules/acq_members.h"
#include "modules/bit_lamps.h"
#include "panel_support.h"
#include "uilang/conversions.h"

namespace larkspur::testing {
namespace {

constexpr const char* kWiredBoard = "MQ5120 4 1 DIN0.0=DOUT0.0";
constexpr const char* kPortsBoard = "Mq5130 0x5130 3";
constexpr int kBits = 8;
constexpr int kLoggedPort = 4;  // the output log's channel of the digital output port

class DigitalOutTest : public AppTest {
  protected:
    DigitalOutTest() : AppTest({kWiredBoard, kPortsBoard}) {}

    DigitalOutForm& OpenOnBoard(const std::string& family) {
        panel_ = DigitalOut();
        panel_->Show();
        auto& boards = panel_->Get<ui::ComboBox>("cboBoard");
        for (const std::string& board : Entries(boards))
            if (board.find(family) != std::string::npos)
                board_ = board;
        EXPECT_TRUE(user_.Choose(boards, board_));
        return *panel_;
    }
    ui::Grid& Ports() { return panel_->Get<ui::Grid>("grdDout"); }
    ui::TextBox& Text() { return panel_->Get<ui::TextBox>("txtDout"); }
    ui::CommandButton& Bit(int bit) { return panel_->Get<ui::CommandButton>("cmdDo", bit); }
    // The buttons as bits: 1 showing the lit lamp; -1 when one shows neither picture.
    std::int32_t LitButtons() {
        std::int32_t lit = 0;
        for (int bit = 0; bit < kBits; ++bit) {
            const ui::Picture& picture = Bit(bit).GetPicture();
            if (picture.Empty())
                return -1;
            ui::Colour centre = picture.Pixel(kLampPixels / 2, kLampPixels / 2);
            if (centre == kLampOnColour)
                lit |= 1 << bit;
            else if (centre != kLampOffColour)
                return -1;
        }
        return lit;
    }
    // Types the text and leaves the box, as the user does by going to the grid.
    void TypeAndLeave(const std::string& text) {
        ASSERT_TRUE(user_.Type(Text(), text));
        ASSERT_TRUE(user_.Focus(Ports()));
    }

    std::shared_ptr<DigitalOutForm> panel_;
    std::string board_;
};

TEST_F(DigitalOutTest, SetUpListsEightPortsAndStartsFromZeroWithEveryBitOff) {
    OpenOnBoard("5130");
    EXPECT_EQ(panel_->Caption(), "Single Value Digital Out - " + board_);
    ASSERT_EQ(Ports().Rows(), 8);
    EXPECT_EQ(Ports().TextMatrix(0, 0), "A");
    EXPECT_EQ(Ports().TextMatrix(7, 0), "H");
    EXPECT_EQ(Text().Text(), "0");
    EXPECT_EQ(LitButtons(), 0);
    for (int bit = 0; bit < kBits; ++bit)
        EXPECT_TRUE(Bit(bit).TakesInput()) << bit;
    EXPECT_TRUE(panel_->Find("cmdSend").TakesInput());
}

TEST_F(DigitalOutTest, BitButtonsAndTheTypedTextComposeTheValue) {
    OpenOnBoard("5130");
    ASSERT_TRUE(user_.Click(Bit(0)));
    ASSERT_TRUE(user_.Click(Bit(3)));
    EXPECT_EQ(Text().Text(), "9");
    EXPECT_EQ(LitButtons(), 0x09);
    panel_->Image().SavePng(PicturePath("digital_out_bits_0_3"));
    ASSERT_TRUE(user_.Click(Bit(3)));
    EXPECT_EQ(Text().Text(), "1");
    EXPECT_EQ(panel_->OutputValue(), 1);

    // Typed text: the bits follow, the text stays as typed; only bits 0 to 7 are taken.
    const struct {
        const char* typed;
        std::int32_t value;
    } typed[] = {
        {"A5", 0xA5}, {"1FF", 0xFF}, {"", 0},   {"10000", 0},  // no low bits
        {"ff", 0xFF}, {"5z", 0x05},  {"zz", 0}, {"FFFFFFFFFF", 0xFF},
    };
    for (const auto& t : typed) {
        SCOPED_TRACE(t.typed);
        TypeAndLeave(t.typed);
        EXPECT_EQ(panel_->OutputValue(), t.value);
        EXPECT_EQ(LitButtons(), t.value);
        EXPECT_EQ(Text().Text(), t.typed);
    }
    // A click after typing writes the value's text again.
    ASSERT_TRUE(user_.Click(Bit(7)));
    EXPECT_EQ(Text().Text(), "7F");
    EXPECT_EQ(Boxes(*runtime_), std::vector<std::string>{});
}

TEST_F(DigitalOutTest, SendWritesThePortAndTheWiredInputPortReadsItBack) {
    OpenOnBoard("MQ5120");
    ASSERT_EQ(Ports().Rows(), 1);
    auto input = DigitalIn();
    input->Show();
    ASSERT_TRUE(user_.Choose(input->Get<ui::ComboBox>("cboBoard"), kMq5120));
    for (const char* typed : {"1FF", "3C", "0"}) {
        SCOPED_TRACE(typed);
        std::int64_t before = LastLoggedOutput("MQ5120", 1, kLoggedPort);
        TypeAndLeave(typed);
        EXPECT_EQ(LastLoggedOutput("MQ5120", 1, kLoggedPort), before);  // only Send writes
        ASSERT_TRUE(user_.Click(panel_->Find("cmdSend")));
        std::int32_t value = panel_->OutputValue();
        EXPECT_EQ(Ports().TextMatrix(0, 1), uilang::Hex(value));
        EXPECT_EQ(LastLoggedOutput("MQ5120", 1, kLoggedPort), value);
        ASSERT_TRUE(user_.Click(input->Find("cmdGet")));
        EXPECT_EQ(input->Get<ui::Grid>("grdDin").TextMatrix(0, 1), uilang::Hex(value));
    }
    EXPECT_EQ(Boxes(*runtime_), std::vector<std::string>{});
}

TEST_F(DigitalOutTest, TheValueSurvivesAPortChoiceAndSendWritesItToThatPort) {
    OpenOnBoard("5130");
    TypeAndLeave("A5");
    ASSERT_TRUE(user_.Click(panel_->Find("cmdSend")));
    ASSERT_TRUE(user_.ClickGridRow(Ports(), 3));
    EXPECT_EQ(uilang::ToShort(panel_->Acq().Get(acq::dispid::SubSysElement)), 3);
    EXPECT_EQ(panel_->OutputValue(), 0xA5);
    ASSERT_TRUE(user_.Click(Bit(0)));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdSend")));
    EXPECT_EQ(Ports().TextMatrix(0, 1), "A5");
    EXPECT_EQ(Ports().TextMatrix(3, 1), "A4");
    EXPECT_EQ(Ports().TextMatrix(1, 1), "");
    user_.Close(*panel_);
    const struct {
        UINT element;
        UINT value;
    } ports[] = {{0, 0xA5}, {3, 0xA4}, {1, 0}};
    for (const auto& port : ports) {
        UINT code = ~0u;
        ASSERT_TRUE(ReadOutput(board_.c_str(), HXSS_DOUT, port.element, 0, &code)) << port.element;
        EXPECT_EQ(code, port.value) << port.element;
    }
}

TEST_F(DigitalOutTest, ASendTheLibraryRefusesShowsItsTextAndLeavesTheGridAsItWas) {
    OpenOnBoard("MQ5120");
    TypeAndLeave("81");
    ASSERT_TRUE(
        sim::testing::InjectFault("MQ5120", 1, HXSS_DOUT, 0, sim::testing::Fault::kRemoval));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdSend")));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    const ui::MessageBoxRecord& box = runtime_->MessageBoxes()[0];
    EXPECT_EQ(box.title, "Digital Out Error");
    EXPECT_EQ(box.flags, ui::kMbExclamation);
    EXPECT_EQ(box.text, uilang::ToText(panel_->Acq().Get(acq::dispid::LastErrDescription)));
    EXPECT_EQ(Ports().TextMatrix(0, 1), "");
    EXPECT_EQ(panel_->OutputValue(), 0x81);
}

TEST_F(DigitalOutTest, APortAnotherProgramHoldsIsReportedAndTheValueStillGoesToAnother) {
    OpenOnBoard("5130");
    TypeAndLeave("5A");
    HeldSubsystem held(board_.c_str(), HXSS_DOUT, 5);
    ASSERT_TRUE(held.Held());
    ASSERT_TRUE(user_.ClickGridRow(Ports(), 5));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Digital Out Error");
    EXPECT_EQ(runtime_->MessageBoxes()[0].text,
              uilang::ToText(panel_->Acq().Get(acq::dispid::LastErrDescription)));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdSend")));  // nothing open: reported again
    EXPECT_EQ(runtime_->MessageBoxes().size(), 2u);
    EXPECT_EQ(Ports().TextMatrix(5, 1), "");
    ASSERT_TRUE(user_.ClickGridRow(Ports(), 6));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdSend")));
    EXPECT_EQ(Ports().TextMatrix(6, 1), "5A");
    EXPECT_EQ(runtime_->MessageBoxes().size(), 2u);
}

}  // namespace
}  // namespace larkspur::testing
