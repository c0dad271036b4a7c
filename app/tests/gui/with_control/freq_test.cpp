// The frequency counter end to end on a simulated MQ5120 with a 1 kHz square on counter 0's clock
// input, on the stand-ins' manual clock: set-up, measurements over the gate time typed, the
// duration's validation, a stop before the gate's end, the set-up failure and the release.
#include <gtest/gtest.h>

#include <cmath>

#include "app_fixture.h"
#include "hxdaapi32.h"
#include "modules/acq_members.h"
#include "simclock/clock.h"
#include "uilang/conversions.h"

namespace larkspur::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kSquareOnCounter = "MQ5120 4 1 CT0.0=square:2.5:1000:2.5";

class FreqTest : public AppTest {
  protected:
    FreqTest() : AppTest({kSquareOnCounter}) {}
    ~FreqTest() override { simclock::testing::UseRealClock(); }

    FreqForm& Open() {
        freq_ = Freq();
        freq_->Show();
        return *freq_;
    }
    FreqForm& OpenOnBoard() {
        Open();
        EXPECT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
        return *freq_;
    }
    ui::ComboBox& Combo(const char* name) { return freq_->Get<ui::ComboBox>(name); }
    ui::CommandButton& Button(const char* name) { return freq_->Get<ui::CommandButton>(name); }
    ui::TextBox& Duration() { return freq_->Get<ui::TextBox>("txtDuration"); }
    ui::ListBox& Results() { return freq_->Get<ui::ListBox>("lstFreq"); }
    bool Idle() { return Button("cmdStart").Enabled() && !Button("cmdStop").Enabled(); }
    std::string LastBox() const {
        return runtime_->MessageBoxes().empty() ? "" : runtime_->MessageBoxes().back().text;
    }
    void Advance(std::chrono::milliseconds span) {
        for (auto spent = 0ms; spent < span; spent += 1ms) {
            clock_.Advance(1ms);
            user_.Pump();
        }
    }
    // The clock to the gate's end and no further until the result is in: the library's timer
    // thread reads the count when it gets to it, and the count must cover the gate time alone.
    void AdvanceThroughGate(std::chrono::milliseconds gate) {
        Advance(gate);
        EXPECT_TRUE(user_.PumpUntil([&] { return !freq_->Measuring(); }, 10s));
    }
    // Types a duration and starts a measurement with it.
    void Measure(const std::string& seconds) {
        ASSERT_TRUE(user_.Type(Duration(), seconds));
        ASSERT_TRUE(user_.Click(Button("cmdStart")));
        ASSERT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
        ASSERT_TRUE(freq_->Measuring());
    }

    simclock::testing::ManualClock clock_;
    std::shared_ptr<FreqForm> freq_;
};

TEST_F(FreqTest, SetUpCountsTheExternalClockForOneSecond) {
    Open();
    ASSERT_EQ(Combo("cboBoard").ListCount(), 1);
    for (const char* name : {"fraOptions", "fraMeasure", "cmdStart", "cmdStop"})
        EXPECT_FALSE(freq_->Find(name).Enabled()) << name;
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
    EXPECT_EQ(freq_->Caption(), "Frequency Counter - MQ5120(00)");
    EXPECT_EQ(Duration().Text(), " 1");
    EXPECT_EQ(uilang::ToShort(freq_->Acq().Get(acq::dispid::CTMode)), 0);
    EXPECT_EQ(uilang::ToShort(freq_->Acq().Get(acq::dispid::ClockSource)), 1);
    for (const char* name : {"fraOptions", "fraMeasure", "cmdStart"})
        EXPECT_TRUE(freq_->Find(name).Enabled()) << name;
    EXPECT_FALSE(Button("cmdStop").Enabled());
    EXPECT_EQ(Results().ListCount(), 0);
}

// Each result replaces the last; once it is in, the panel is idle again.
TEST_F(FreqTest, AMeasurementShowsTheSignalsFrequencyAndEndsIdle) {
    OpenOnBoard();
    for (const char* seconds : {"0.6", "2"}) {
        SCOPED_TRACE(seconds);
        Measure(seconds);
        EXPECT_EQ(Duration().Text(), seconds);  // 0.6 rounds to a whole second: kept as typed
        EXPECT_TRUE(Button("cmdStop").HasFocus());
        EXPECT_FALSE(Button("cmdStart").Enabled());
        EXPECT_FALSE(Combo("cboBoard").Enabled());
        AdvanceThroughGate(std::chrono::milliseconds(std::lround(uilang::Val(seconds) * 1000)));
        EXPECT_TRUE(Idle());
        EXPECT_TRUE(Combo("cboBoard").Enabled());
        ASSERT_EQ(Results().ListCount(), 1);
        EXPECT_EQ(Results().List(0), " 1000");
    }
    freq_->Image().SavePng(PicturePath("freq_measured"));
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
}

// A stop before the gate's end stops the count; the result that still comes for it (the count so
// far over the whole gate time) is no measurement and leaves the last result shown.
TEST_F(FreqTest, AStopBeforeTheGatesEndKeepsTheLastResult) {
    OpenOnBoard();
    Measure("1");
    AdvanceThroughGate(1000ms);
    ASSERT_EQ(Results().List(0), " 1000");
    Measure("1");
    Advance(300ms);
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_TRUE(Idle());
    EXPECT_FALSE(freq_->Measuring());
    Advance(1000ms);
    user_.PumpUntil([] { return false; }, 200ms);  // what the library's timer thread posts
    ASSERT_EQ(Results().ListCount(), 1);
    EXPECT_EQ(Results().List(0), " 1000");
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
}

TEST_F(FreqTest, ADurationBelowOneWholeSecondBecomesOneWithoutAWord) {
    OpenOnBoard();
    const struct {
        const char* typed;
        const char* kept;
    } cases[] = {
        {"0.4", " 1"}, {"0.5", " 1"}, {"0.6", "0.6"},       {"1.5", "1.5"},
        {"", " 1"},    {"-2", " 1"},  {"100000", "100000"},  // no 16-bit overflow
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(user_.Type(Duration(), c.typed));
        ASSERT_TRUE(user_.Focus(Combo("cboBoard")));
        EXPECT_EQ(Duration().Text(), c.kept) << "typed '" << c.typed << "'";
        EXPECT_TRUE(Combo("cboBoard").HasFocus()) << "the focus moves on";
    }
    // Straight from the box to Start: the gate is the second the box shows by then.
    ASSERT_TRUE(user_.Type(Duration(), "0.4"));
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    EXPECT_EQ(Duration().Text(), " 1");
    Advance(600ms);
    EXPECT_TRUE(freq_->Measuring());
    AdvanceThroughGate(400ms);
    EXPECT_EQ(Results().List(0), " 1000");
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
}

TEST_F(FreqTest, ClosingWhileMeasuringStopsAndReleasesTheCounter) {
    OpenOnBoard();
    Measure("1");
    Advance(100ms);
    user_.Close(*freq_);
    EXPECT_FALSE(freq_->Loaded());
    Advance(1000ms);  // the measurement's timer finds nothing to report to
    freq_.reset();
    ResetFreq();
    user_.Pump();
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
    EXPECT_EQ(NewWindows(), 0u);
    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize(kMq5120, &device), HXNOERROR);
    HDASS counter = 0;
    EXPECT_EQ(hxDaGetDASS(device, HXSS_CT, 0, &counter), HXNOERROR);
    EXPECT_EQ(hxDaReleaseDASS(counter), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(device), HXNOERROR);
}

TEST_F(FreqTest, ACounterOpenElsewhereGivesTheSetUpFailureAndANewPanelStartsEmpty) {
    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize(kMq5120, &device), HXNOERROR);
    HDASS counter = 0;
    ASSERT_EQ(hxDaGetDASS(device, HXSS_CT, 0, &counter), HXNOERROR);
    Open();
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text,
              "Counter/Timer Subsystem not available on MQ5120(00)");
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbExclamation);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Freq. Measure");
    EXPECT_EQ(freq_->Caption(), "Frequency Counter");
    EXPECT_FALSE(Button("cmdStart").Enabled());
    user_.Close(*freq_);
    EXPECT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(hxDaReleaseDASS(counter), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(device), HXNOERROR);
    Open();
    EXPECT_EQ(Combo("cboBoard").ListIndex(), -1);
    EXPECT_EQ(freq_->Caption(), "Frequency Counter");
}

}  // namespace
}  // namespace larkspur::testing
