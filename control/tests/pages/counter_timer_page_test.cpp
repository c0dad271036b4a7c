// The Counter/Timer page on the simulated machine's counters: the MQ5120's measure edge to edge
// on every edge, the MQ5204's on none; no simulated counter cascades. An A/D subsystem has no
// counter settings at all.
#include "page_fixture.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;
using mqacq32::pages::kCounterTimerPage;
using Texts = std::vector<std::string>;

constexpr int kCtModeCombo = 216;
constexpr int kCascadeModeCombo = 217;
constexpr int kGateTypeCombo = 218;
constexpr int kPulseTypeCombo = 219;
constexpr int kPulseWidthEdit = 220;
constexpr int kStartEdgeCombo = 221;
constexpr int kStopEdgeCombo = 222;

constexpr SHORT kCounterKind = HXSS_CT;
constexpr int kGateTypes = 11;

const Texts kCascadeItems = {"0 - Cascade With Next CT --N/A--", "1 - Single CT"};
const Texts kAllEdges = {"0 - Gate Rising", "1 - Gate Falling", "2 - Clock Rising",
                         "3 - Clock Falling"};
const Texts kNoEdges = {"0 - Gate Rising --N/A--", "1 - Gate Falling --N/A--",
                        "2 - Clock Rising --N/A--", "3 - Clock Falling --N/A--"};

struct Expected {
    const char* name;
    const char* board;
    bool counter;  // else the board's A/D
    const char* upDownItem;
    Texts edges;
    bool edgesEnabled;
};

void PrintTo(const Expected& c, std::ostream* out) {
    *out << c.name;
}

class CounterTimerPageTest : public PageTest, public ::testing::WithParamInterface<Expected> {
  protected:
    void openSubsystem(const Expected& c) {
        if (!c.counter) {
            open(c.board, kAdIndex);
            return;
        }
        // Choosing by kind is for run mode only.
        site.userMode = true;
        ASSERT_TRUE(control->put(d::Board, Variant::Text(c.board)).ok());
        ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(kCounterKind)).ok());
        site.userMode = false;
    }
};

TEST_P(CounterTimerPageTest, OffersTheCountersModesAndEdges) {
    const Expected& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(openSubsystem(c));
    ShowPage(kCounterTimerPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        ui::ComboBox& mode = Combo(page, kCtModeCombo);
        ui::ComboBox& cascade = Combo(page, kCascadeModeCombo);
        EXPECT_EQ(mode.Enabled(), c.counter);
        EXPECT_EQ(Combo(page, kGateTypeCombo).Enabled(), c.counter);
        EXPECT_EQ(Combo(page, kPulseTypeCombo).Enabled(), c.counter);
        EXPECT_EQ(Edit(page, kPulseWidthEdit).Enabled(), c.counter);
        EXPECT_FALSE(cascade.Enabled()) << "no simulated counter cascades";
        if (c.counter) {
            EXPECT_EQ(mode.List(4), c.upDownItem);
            EXPECT_EQ(Combo(page, kGateTypeCombo).ListCount(), kGateTypes);
            EXPECT_EQ(Items(cascade), kCascadeItems) << "listed, though not to be chosen";
        } else {
            EXPECT_EQ(mode.ListCount(), 0);
            EXPECT_EQ(cascade.ListCount(), 0);
        }
        for (int edge : {kStartEdgeCombo, kStopEdgeCombo}) {
            EXPECT_EQ(Items(Combo(page, edge)), c.edges) << edge;
            EXPECT_EQ(Combo(page, edge).Enabled(), c.edgesEnabled) << edge;
        }
        EXPECT_FALSE(dialog.ApplyButton().Enabled()) << "filling is not the user's change";
        SavePicture(dialog, std::string("page_counter_timer_") + c.name);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Subsystems, CounterTimerPageTest,
    ::testing::Values(
        Expected{"Mq5120Counter", kMq5120, true, "4 - Up/Down Counting", kAllEdges, true},
        Expected{"Mq5204Counter", kMq5204, true, "4 - Up/Down Counting --N/A--", kNoEdges, false},
        Expected{"Mq5120AnalogInput", kMq5120, false, "", {}, false}),
    [](const ::testing::TestParamInfo<Expected>& info) { return info.param.name; });

using CounterTimerPageWriteTest = CounterTimerPageTest;

// The cascade mode of a counter that does not cascade is not written, even when its combo
// holds a choice (as code might leave it); the others are written by value.
TEST_F(CounterTimerPageWriteTest, WritesTheChosenSettingsButNeverTheCascadeMode) {
    constexpr SHORT kRisingEdgeGate = 3;
    constexpr SHORT kClockRising = 2;
    constexpr SHORT kClockFalling = 3;
    ASSERT_NO_FATAL_FAILURE(openSubsystem(Expected{"", kMq5120, true, "", {}, false}));
    control->notify.changed.clear();
    ShowPage(kCounterTimerPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        Combo(page, kCascadeModeCombo).SetListIndex(0);
        EXPECT_TRUE(user_.Choose(Combo(page, kGateTypeCombo), kRisingEdgeGate));
        EXPECT_TRUE(user_.Choose(Combo(page, kStartEdgeCombo), kClockRising));
        EXPECT_TRUE(user_.Choose(Combo(page, kStopEdgeCombo), kClockFalling));
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_FALSE(dialog.Loaded());
    });
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << runtime_->MessageBoxes()[0].text;
    EXPECT_EQ(control->notify.changed,
              (std::vector<DISPID>{d::GateType, d::MeasureStartEdge, d::MeasureStopEdge}));
    EXPECT_EQ(control->getLong(d::GateType), kRisingEdgeGate);
    EXPECT_EQ(control->getLong(d::MeasureStartEdge), kClockRising);
    EXPECT_EQ(control->getLong(d::MeasureStopEdge), kClockFalling);
}

}  // namespace
}  // namespace controltest
