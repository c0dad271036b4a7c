// The single-value analog output panel on a simulated MQ5120 whose analog input 3 is wired to
// analog output 1: set-up, the scroll bar and the typed voltage, Send read back through the
// wire and the board's output log, and a Send the library refuses.
#include <gtest/gtest.h>

#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "panel_support.h"
#include "uilang/conversions.h"

namespace larkspur::testing {
namespace {

constexpr const char* kWiredBoard = "MQ5120 4 1 AD0.3=DA0.1";
constexpr int kLoggedChannel = 1;  // the output log's channel of analog output 1

class SingleOutTest : public AppTest {
  protected:
    SingleOutTest() : AppTest({kWiredBoard}) {}

    SingleOutForm& OpenOnBoard() {
        panel_ = SingleOut();
        panel_->Show();
        EXPECT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
        return *panel_;
    }
    ui::ComboBox& Combo(const char* name) { return panel_->Get<ui::ComboBox>(name); }
    ui::ScrollBar& Bar() { return panel_->Get<ui::ScrollBar>("vsbAOut"); }
    ui::TextBox& Text() { return panel_->Get<ui::TextBox>("txtOut"); }

    std::shared_ptr<SingleOutForm> panel_;
};

TEST_F(SingleOutTest, SetUpListsChannelsAndRangeAndPutsTheBarsTopAtTheUpperLimit) {
    OpenOnBoard();
    EXPECT_EQ(panel_->Caption(), "Single Value Analog Output - MQ5120(00)");
    EXPECT_EQ(Entries(Combo("cboChan")), (std::vector<std::string>{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(Combo("cboChan").ListIndex(), 0);
    EXPECT_EQ(Entries(Combo("cboRange")), std::vector<std::string>{"-10 to 10"});
    EXPECT_EQ(panel_->Get<ui::Label>("lblMaxRange").Caption(), "10");
    EXPECT_EQ(panel_->Get<ui::Label>("lblMinRange").Caption(), "-10");
    EXPECT_EQ(Bar().Min(), 100);
    EXPECT_EQ(Bar().Max(), -100);
    EXPECT_EQ(Bar().Value(), 0);
    EXPECT_EQ(Text().Text(), "0");
    for (const char* name : {"cboChan", "vsbAOut", "cmdSend", "txtOut"})
        EXPECT_TRUE(panel_->Find(name).TakesInput()) << name;
    EXPECT_EQ(uilang::ToShort(panel_->Acq().Get(acq::dispid::DataFlow)), 1);
    EXPECT_EQ(Boxes(*runtime_), std::vector<std::string>{});
}

TEST_F(SingleOutTest, TheBarAndTheTypedTextFollowEachOtherInTenthsAndRefuseWhatIsOutOfRange) {
    OpenOnBoard();
    // A step down the bar, from its top towards its bottom, lowers the voltage by a tenth.
    ASSERT_TRUE(user_.StepScrollBar(Bar(), 1));
    EXPECT_EQ(Bar().Value(), -1);
    EXPECT_EQ(Text().Text(), "-0.1");
    ASSERT_TRUE(user_.StepScrollBar(Bar(), -6));
    EXPECT_EQ(Text().Text(), "0.5");

    const struct {
        const char* typed;
        std::int32_t value;  // the bar's afterwards
        const char* text;    // the text's afterwards
        bool refused;
    } cases[] = {
        {"5.55", 56, "5.6", false},    // whole tenths at once
        {"-0.25", -2, "-0.2", false},  // halves to even
        {"12", -2, "12", true},        // beyond the range: the bar keeps its value
        {"10", 100, "10", false},     {"-10.1", 100, "-10.1", true},
        {"5000", 100, "5000", true},  // beyond a 16-bit value
        {"9.9", 99, "9.9", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        std::size_t before = runtime_->MessageBoxes().size();
        ASSERT_TRUE(user_.Type(Text(), c.typed));
        EXPECT_EQ(Bar().Value(), c.value);
        EXPECT_EQ(Text().Text(), c.text);
        ASSERT_EQ(runtime_->MessageBoxes().size(), before + (c.refused ? 1 : 0));
        if (c.refused) {
            const ui::MessageBoxRecord& box = runtime_->MessageBoxes().back();
            EXPECT_EQ(box.text, kVoltageOutOfRangeText);
            EXPECT_EQ(box.title, "Single Value Out");
            EXPECT_EQ(box.flags, ui::kMbExclamation);
        }
    }
}

TEST_F(SingleOutTest, SendWritesTheVoltsCodeToTheChosenOutputAndTheWireReadsItBack) {
    OpenOnBoard();
    auto input = SingleIn();
    input->Show();
    ASSERT_TRUE(user_.Choose(input->Get<ui::ComboBox>("cboBoard"), kMq5120));
    ASSERT_TRUE(user_.Choose(input->Get<ui::ComboBox>("cboChan"), "3"));
    hxdadefs::Scale scale = hxdadefs::ReadScale(panel_->Acq());

    ASSERT_TRUE(user_.Choose(Combo("cboChan"), "1"));
    for (const char* volts : {"9.9", "-4.2", "0"}) {
        SCOPED_TRACE(volts);
        ASSERT_TRUE(user_.Type(Text(), volts));
        // Nothing reaches the board before Send.
        std::int64_t before = LastLoggedOutput("MQ5120", 1, kLoggedChannel);
        ASSERT_TRUE(user_.Click(panel_->Find("cmdSend")));
        std::int32_t code = hxdadefs::VoltsToCode(scale, static_cast<float>(uilang::Val(volts)));
        EXPECT_NE(before, code);
        EXPECT_EQ(LastLoggedOutput("MQ5120", 1, kLoggedChannel), code);
        ASSERT_TRUE(user_.Click(input->Find("cmdGet")));
        auto& read = input->Get<ui::ListBox>("lstAin");
        ASSERT_EQ(read.ListCount(), 1);
        EXPECT_NEAR(uilang::Val(read.List(0)), uilang::Val(volts), 0.001);
    }
    panel_->Image().SavePng(PicturePath("single_out_sent"));
    // A range choice shows 0 V again and sends nothing.
    ASSERT_TRUE(user_.Type(Text(), "3"));
    ASSERT_TRUE(user_.Click(panel_->Find("cmdSend")));
    std::int64_t sent = LastLoggedOutput("MQ5120", 1, kLoggedChannel);
    ASSERT_TRUE(user_.Choose(Combo("cboRange"), 0));
    EXPECT_EQ(Bar().Value(), 0);
    EXPECT_EQ(Text().Text(), "0");
    EXPECT_EQ(LastLoggedOutput("MQ5120", 1, kLoggedChannel), sent);
    EXPECT_EQ(Boxes(*runtime_), std::vector<std::string>{});
}

TEST_F(SingleOutTest, ASendTheLibraryRefusesShowsItsTextUnderTheOperationsTitle) {
    OpenOnBoard();
    ASSERT_TRUE(user_.Type(Text(), "1"));
    // The list holds the subsystem's channel count, one more than the board has outputs; and then
    // the board is pulled out.
    const struct {
        const char* channel;
        bool removeBoard;
    } refusals[] = {{"4", false}, {"0", true}};
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.channel);
        if (refusal.removeBoard) {
            ASSERT_TRUE(
                sim::testing::InjectFault("MQ5120", 1, HXSS_DA, 0, sim::testing::Fault::kRemoval));
        }
        std::size_t before = runtime_->MessageBoxes().size();
        ASSERT_TRUE(user_.Choose(Combo("cboChan"), refusal.channel));
        ASSERT_TRUE(user_.Click(panel_->Find("cmdSend")));
        ASSERT_EQ(runtime_->MessageBoxes().size(), before + 1);
        const ui::MessageBoxRecord& box = runtime_->MessageBoxes().back();
        EXPECT_EQ(box.title, "Analog Out Error");
        EXPECT_EQ(box.flags, ui::kMbExclamation);
        EXPECT_EQ(box.text, uilang::ToText(panel_->Acq().Get(acq::dispid::LastErrDescription)));
        EXPECT_FALSE(box.text.empty());
        EXPECT_EQ(Bar().Value(), 10);  // the panel as it was
    }
    EXPECT_NE(runtime_->MessageBoxes()[0].text, runtime_->MessageBoxes()[1].text);
}

// A stand-in board whose analog outputs have four ranges; its outputs read back what was written.
class SingleOutRangesTest : public AppTest {
  protected:
    SingleOutRangesTest() : AppTest({"Mq5200 0x5202 0x21"}) {}
};

TEST_F(SingleOutRangesTest, EachRangeSetsTheBarsLimitsAndSendScalesByTheChosenRange) {
    auto panel = SingleOut();
    panel->Show();
    auto& boards = panel->Get<ui::ComboBox>("cboBoard");
    ASSERT_EQ(boards.ListCount(), 1);
    const std::string board = boards.List(0);
    ASSERT_TRUE(user_.Choose(boards, 0));
    auto& ranges = panel->Get<ui::ComboBox>("cboRange");
    auto& bar = panel->Get<ui::ScrollBar>("vsbAOut");
    auto& text = panel->Get<ui::TextBox>("txtOut");
    EXPECT_EQ(Entries(ranges),
              (std::vector<std::string>{"-10 to 10", "0 to 10", "-5 to 5", "0 to 5"}));
    const struct {
        int range;
        std::int32_t top, bottom;
        const char* maximum;
        const char* minimum;
    } limits[] = {{1, 100, 0, "10", "0"}, {2, 50, -50, "5", "-5"}, {3, 50, 0, "5", "0"}};
    for (const auto& limit : limits) {
        SCOPED_TRACE(limit.range);
        ASSERT_TRUE(user_.Type(text, "0.5"));
        ASSERT_TRUE(user_.Choose(ranges, limit.range));
        EXPECT_EQ(bar.Min(), limit.top);
        EXPECT_EQ(bar.Max(), limit.bottom);
        EXPECT_EQ(bar.Value(), 0);
        EXPECT_EQ(text.Text(), "0");
        EXPECT_EQ(panel->Get<ui::Label>("lblMaxRange").Caption(), limit.maximum);
        EXPECT_EQ(panel->Get<ui::Label>("lblMinRange").Caption(), limit.minimum);
    }
    // On 0 to 5 V a negative voltage is out of range; 2.5 V is the middle code of 12 bits.
    std::size_t boxes = runtime_->MessageBoxes().size();
    ASSERT_TRUE(user_.Type(text, "-1"));
    EXPECT_EQ(runtime_->MessageBoxes().size(), boxes + 1);
    ASSERT_TRUE(user_.Choose(panel->Get<ui::ComboBox>("cboChan"), "1"));
    ASSERT_TRUE(user_.Type(text, "2.5"));
    ASSERT_TRUE(user_.Click(panel->Find("cmdSend")));
    EXPECT_EQ(runtime_->MessageBoxes().size(), boxes + 1);
    user_.Close(*panel);
    UINT code = 0;
    ASSERT_TRUE(ReadOutput(board.c_str(), HXSS_DA, 0, 1, &code));
    EXPECT_EQ(code, 2048u);
    ASSERT_TRUE(ReadOutput(board.c_str(), HXSS_DA, 0, 0, &code));
    EXPECT_EQ(code, 0u);  // nothing sent there
}

}  // namespace
}  // namespace larkspur::testing
