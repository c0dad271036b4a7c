// The pulse generator end to end on a simulated MQ5120 whose counter 1 counts counter 0's output,
// on the stand-ins' manual clock: set-up, a pulse train's frequency and duty on the board's output
// log and in the wired counter's count, the one-shot, the width bar, bad input, the set-up failure
// and the panel's release.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "hxdaapi32.h"
#include "modules/acq_members.h"
#include "simclock/clock.h"
#include "uilang/conversions.h"

namespace larkspur::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kWiredCounters = "MQ5120 4 1 CT0.1=CT0.0";
constexpr int kCounterZeroOutput = 5;  // the output log's channel of counter 0
constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::int64_t kBaseTickNs = 1'000'000'000 / 18'000'000 + 1;  // the counters' base clock

class PulseTest : public AppTest {
  protected:
    PulseTest() : AppTest({kWiredCounters}) {}
    // Real time again before the fixture closes what is left: a stop waits for the board.
    ~PulseTest() override { simclock::testing::UseRealClock(); }

    PulseForm& OpenOnBoard() {
        pulse_ = Pulse();
        pulse_->Show();
        EXPECT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
        return *pulse_;
    }
    ui::ComboBox& Combo(const char* name) { return pulse_->Get<ui::ComboBox>(name); }
    ui::CommandButton& Button(const char* name) { return pulse_->Get<ui::CommandButton>(name); }
    ui::OptionButton& Option(const char* name) { return pulse_->Get<ui::OptionButton>(name); }
    bool Idle() { return Button("cmdStart").Enabled() && !Button("cmdStop").Enabled(); }
    std::string LastBox() const {
        return runtime_->MessageBoxes().empty() ? "" : runtime_->MessageBoxes().back().text;
    }
    // Moves the clock on in small steps, letting the program's loop run at each.
    void Advance(std::chrono::milliseconds span) {
        for (auto spent = 0ms; spent < span; spent += 1ms) {
            clock_.Advance(1ms);
            user_.Pump();
        }
    }
    // Counter 0's output edges since the log was last cleared: (time, 1 start / 0 end).
    std::vector<std::pair<std::int64_t, std::uint32_t>> Edges() {
        std::vector<std::pair<std::int64_t, std::uint32_t>> edges;
        for (const auto& change : sim::testing::ReadBoardOutputs("MQ5120", 1).changes)
            if (change.channel == kCounterZeroOutput)
                edges.push_back({change.timeNs, change.value});
        return edges;
    }

    simclock::testing::ManualClock clock_;
    std::shared_ptr<PulseForm> pulse_;
};

TEST_F(PulseTest, SetUpChoosesContinuousHighToLowAndHalfWidth) {
    pulse_ = Pulse();
    pulse_->Show();
    ASSERT_EQ(Combo("cboBoard").ListCount(), 1);
    EXPECT_FALSE(Button("cmdStart").Enabled());
    EXPECT_FALSE(pulse_->Find("fraPulse").Enabled());
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
    EXPECT_EQ(pulse_->Caption(), "Pulse Generator - MQ5120(00)");
    EXPECT_TRUE(Button("cmdStart").Enabled());
    EXPECT_FALSE(Button("cmdStop").Enabled());
    EXPECT_TRUE(pulse_->Find("fraPulse").Enabled());
    // The board offers both pulse types: high-to-low is chosen last.
    EXPECT_TRUE(Option("optHiLow").Value());
    EXPECT_TRUE(Option("optHiLow").Enabled());
    EXPECT_TRUE(Option("optLowHi").Enabled());
    EXPECT_TRUE(Option("optCont").Value());
    uilang::Automation& acq = pulse_->Acq();
    EXPECT_EQ(uilang::ToShort(acq.Get(acq::dispid::CTMode)), 1);
    EXPECT_EQ(uilang::ToShort(acq.Get(acq::dispid::PulseType)), 0);
    auto& width = pulse_->Get<ui::ScrollBar>("hsbWidth");
    EXPECT_EQ(width.Min(), 1);
    EXPECT_EQ(width.Max(), 100);
    EXPECT_EQ(width.Value(), 50);
    ASSERT_EQ(pulse_->Get<ui::ListBox>("lstWidth").ListCount(), 1);
    EXPECT_EQ(pulse_->Get<ui::ListBox>("lstWidth").List(0), " 50");
    EXPECT_EQ(pulse_->Get<ui::TextBox>("txtFreq").Text(),
              uilang::Str(static_cast<double>(
                  uilang::CLng(uilang::ToDouble(acq.Get(acq::dispid::Frequency))))));
    EXPECT_FALSE(pulse_->Get<ui::Timer>("tmrPulse").TimerEnabled());
}

// 1 kHz at a quarter's width, active high: the board's own times give the period and the
// active time, and the counter wired to the output counts every pulse.
TEST_F(PulseTest, APulseTrainRunsAtItsFrequencyAndDutyUntilTheStop) {
    OpenOnBoard();
    ASSERT_TRUE(user_.Type(pulse_->Get<ui::TextBox>("txtFreq"), "1000"));
    ASSERT_TRUE(user_.StepScrollBar(pulse_->Get<ui::ScrollBar>("hsbWidth"), -25));
    EXPECT_EQ(pulse_->Get<ui::ListBox>("lstWidth").List(0), " 25");
    ASSERT_TRUE(user_.Click(Option("optLowHi")));
    EXPECT_EQ(uilang::ToShort(pulse_->Acq().Get(acq::dispid::PulseType)), 1);

    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize(kMq5120, &device), HXNOERROR);
    HDASS counted = 0;
    ASSERT_EQ(hxDaGetDASS(device, HXSS_CT, 1, &counted), HXNOERROR);
    ASSERT_EQ(hxDaSetCTMode(counted, HXCTMODE_COUNTEVENTS), HXNOERROR);
    ASSERT_EQ(hxDaSetClockSource(counted, HXCLK_EXTERNAL), HXNOERROR);
    ASSERT_EQ(hxDaConfig(counted), HXNOERROR);
    ASSERT_EQ(hxDaStart(counted), HXNOERROR);

    sim::testing::ReadBoardOutputs("MQ5120", 1, true);
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
    EXPECT_TRUE(Button("cmdStop").Enabled());
    for (const char* name : {"cmdStart", "cboBoard", "txtFreq", "hsbWidth", "fraMode", "fraType"})
        EXPECT_FALSE(pulse_->Find(name).Enabled()) << name;
    EXPECT_EQ(pulse_->Get<ui::TextBox>("txtFreq").Text(), " 1000");
    EXPECT_DOUBLE_EQ(uilang::ToDouble(pulse_->Acq().Get(acq::dispid::PulseWidth)), 25.0);

    // The picture moves at every tick.
    EXPECT_TRUE(pulse_->Get<ui::Timer>("tmrPulse").TimerEnabled());
    Advance(125ms);
    EXPECT_TRUE(pulse_->Phase());
    EXPECT_TRUE(pulse_->Get<ui::PictureBox>("picPulse", 0).Visible());
    Advance(125ms);
    EXPECT_FALSE(pulse_->Phase());
    EXPECT_FALSE(pulse_->Get<ui::PictureBox>("picPulse", 0).Visible());
    EXPECT_TRUE(pulse_->Get<ui::PictureBox>("picPulse", 1).Visible());
    pulse_->Image().SavePng(PicturePath("pulse_running"));

    auto edges = Edges();
    ASSERT_GE(edges.size(), 400u);  // 250 ms at 1 kHz, two edges a pulse
    ASSERT_EQ(edges[0].second, 1u);
    for (std::size_t k = 0; k + 2 < edges.size(); k += 2) {
        ASSERT_EQ(edges[k].second, 1u);
        ASSERT_EQ(edges[k + 1].second, 0u);
        EXPECT_NEAR(static_cast<double>(edges[k + 1].first - edges[k].first), kNsPerMs / 4.0,
                    kBaseTickNs)
            << "a quarter of the period, pulse " << k / 2;
        EXPECT_NEAR(static_cast<double>(edges[k + 2].first - edges[k].first), kNsPerMs, kBaseTickNs)
            << "1 kHz, pulse " << k / 2;
    }
    UINT count = 0;
    ASSERT_EQ(hxDaReadEvents(counted, &count), HXNOERROR);
    std::size_t pulses = 0;
    for (const auto& edge : edges)
        pulses += edge.second == 1;
    EXPECT_EQ(count, pulses);

    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_TRUE(Idle());
    EXPECT_FALSE(pulse_->Get<ui::Timer>("tmrPulse").TimerEnabled());
    for (const char* name : {"cboBoard", "txtFreq", "hsbWidth", "fraMode", "fraType"})
        EXPECT_TRUE(pulse_->Find(name).Enabled()) << name;
    std::size_t stopped = Edges().size();
    Advance(20ms);
    EXPECT_EQ(Edges().size(), stopped);
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
    EXPECT_EQ(hxDaReleaseDASS(counted), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(device), HXNOERROR);
}

// The stop follows the start at once: the panel is idle again and the counter free for the next
// start (a counter left running would refuse its configuration).
TEST_F(PulseTest, AOneShotReturnsToIdleAtOnceReadyForTheNext) {
    OpenOnBoard();
    ASSERT_TRUE(user_.Type(pulse_->Get<ui::TextBox>("txtFreq"), "100"));
    ASSERT_TRUE(user_.Click(Option("optOneShot")));
    EXPECT_EQ(uilang::ToShort(pulse_->Acq().Get(acq::dispid::CTMode)), 2);
    for (int shot = 0; shot < 2; ++shot) {
        ASSERT_TRUE(user_.Click(Button("cmdStart")));
        EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
        EXPECT_TRUE(Idle());
        EXPECT_TRUE(Button("cmdStart").HasFocus());
        EXPECT_FALSE(pulse_->Get<ui::Timer>("tmrPulse").TimerEnabled());
        Advance(20ms);
    }
}

// The bar's value goes to the control at the next start; an empty frequency is 0 Hz, which the
// control makes the counter's lowest rate.
TEST_F(PulseTest, TheWidthReachesTheControlAtTheStartAndNoFrequencyIsTheLowestRate) {
    OpenOnBoard();
    ASSERT_TRUE(user_.StepScrollBar(pulse_->Get<ui::ScrollBar>("hsbWidth"), -60));
    EXPECT_EQ(pulse_->Get<ui::ScrollBar>("hsbWidth").Value(), 1);
    EXPECT_EQ(pulse_->Get<ui::ListBox>("lstWidth").List(0), " 1");
    EXPECT_DOUBLE_EQ(uilang::ToDouble(pulse_->Acq().Get(acq::dispid::PulseWidth)), 50.0);

    ASSERT_TRUE(user_.Type(pulse_->Get<ui::TextBox>("txtFreq"), ""));
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
    double lowest = uilang::ToDouble(
        pulse_->Acq().Call(acq::dispid::GetSSCapsEx, {std::int16_t{HXSSC_MINFREQ}}));
    EXPECT_NEAR(uilang::ToDouble(pulse_->Acq().Get(acq::dispid::Frequency)), lowest, 1e-6);
    EXPECT_EQ(pulse_->Get<ui::TextBox>("txtFreq").Text(),
              uilang::Str(uilang::ToDouble(pulse_->Acq().Get(acq::dispid::Frequency))));
    EXPECT_DOUBLE_EQ(uilang::ToDouble(pulse_->Acq().Get(acq::dispid::PulseWidth)), 1.0);
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_TRUE(Idle());
}

TEST_F(PulseTest, ClosingARunningPanelStopsTheCounterAndReleasesIt) {
    OpenOnBoard();
    ASSERT_TRUE(user_.Type(pulse_->Get<ui::TextBox>("txtFreq"), "500"));
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    Advance(10ms);
    user_.Close(*pulse_);
    EXPECT_FALSE(pulse_->Loaded());
    sim::testing::ReadBoardOutputs("MQ5120", 1, true);
    Advance(10ms);
    EXPECT_TRUE(Edges().empty());
    pulse_.reset();
    ResetPulse();
    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize(kMq5120, &device), HXNOERROR);
    HDASS counter = 0;
    EXPECT_EQ(hxDaGetDASS(device, HXSS_CT, 0, &counter), HXNOERROR);
    EXPECT_EQ(hxDaReleaseDASS(counter), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(device), HXNOERROR);
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
}

TEST_F(PulseTest, ACounterOpenElsewhereGivesTheSetUpFailure) {
    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize(kMq5120, &device), HXNOERROR);
    HDASS counter = 0;
    ASSERT_EQ(hxDaGetDASS(device, HXSS_CT, 0, &counter), HXNOERROR);
    pulse_ = Pulse();
    pulse_->Show();
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text,
              "Counter/Timer Subsystem not available on MQ5120(00)");
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbExclamation);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Pulse Gen");
    EXPECT_EQ(pulse_->Caption(), "Pulse Generator");
    EXPECT_FALSE(Button("cmdStart").Enabled());
    user_.Close(*pulse_);
    EXPECT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(hxDaReleaseDASS(counter), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(device), HXNOERROR);
}

}  // namespace
}  // namespace larkspur::testing
