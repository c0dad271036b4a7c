// The oscilloscope end to end on a simulated MQ5120 with a sine on its first input: set-up,
// continuous and single-shot runs, time bases, channels and the deflection cycle, stop, overrun,
// the board pulled out, and the panel's release.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app_fixture.h"
#include "hxdaapi32.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "mqplot32.h"
#include "mqplot32/plot_control.h"
#include "simclock/condition.h"
#include "simclock/thread.h"
#include "uilang/conversions.h"

namespace larkspur::testing {
namespace {

using namespace std::chrono_literals;
using uilang::Value;

constexpr auto kBufferBound = 20s;  // a one-second buffer, and a busy machine

class ScopeTest : public AppTest {
  protected:
    ScopeTest() : AppTest() {}
    explicit ScopeTest(std::vector<std::string> boards) : AppTest(std::move(boards)) {}

    ScopeForm& Open() {
        scope_ = Scope();
        scope_->Show();
        return *scope_;
    }
    ScopeForm& OpenOnBoard(const std::string& board = kMq5120) {
        Open();
        EXPECT_TRUE(user_.Choose(Combo("cboBoard"), board));
        return *scope_;
    }
    ui::ComboBox& Combo(const char* name) { return scope_->Get<ui::ComboBox>(name); }
    ui::CommandButton& Button(const char* name) { return scope_->Get<ui::CommandButton>(name); }
    ui::Grid& GridOf() { return scope_->Get<ui::Grid>("grdScope"); }
    mqplot32::PlotControl& PlotOf() {
        return *static_cast<mqplot32::PlotControl*>(
            scope_->Get<ui::HostedControl>("mqPlotScope").Object());
    }
    bool Idle() { return Button("cmdStart").Enabled() && !Button("cmdStop").Enabled(); }
    bool Drawn() { return !PlotOf().Take().samples.empty(); }

    // Starts and waits for the first buffer drawn.
    void StartAndDraw() {
        ASSERT_TRUE(user_.Click(Button("cmdStart")));
        ASSERT_TRUE(user_.PumpUntil([&] { return Drawn(); }, kBufferBound))
            << (runtime_->MessageBoxes().empty() ? "" : runtime_->MessageBoxes().back().text);
    }

    std::shared_ptr<ScopeForm> scope_;
    // The machine streams on the virtual clock: a busy host slows the test, it does not overrun.
    simclock::testing::VirtualClock clock_;
};

TEST_F(ScopeTest, SetUpListsTheBoardsOpensTheAnalogInputAndListsChannelZero) {
    Open();
    auto& boards = Combo("cboBoard");
    ASSERT_EQ(boards.ListCount(), 1);
    EXPECT_EQ(boards.List(0), kMq5120);
    EXPECT_EQ(boards.ListIndex(), -1);  // nothing opened by loading the panel
    EXPECT_FALSE(Button("cmdStart").Enabled());
    EXPECT_EQ(scope_->Width(), 11700);
    EXPECT_TRUE(user_.Choose(boards, kMq5120));
    EXPECT_EQ(scope_->Caption(), "Scope - MQ5120(00)");
    EXPECT_TRUE(Button("cmdStart").Enabled());
    EXPECT_TRUE(scope_->Find("fraChannel").Enabled());
    ASSERT_EQ(GridOf().Rows(), 1);
    EXPECT_EQ(GridOf().TextMatrix(0, 0), "0");
    EXPECT_EQ(GridOf().TextMatrix(0, 1), "- 10 to 10");
    EXPECT_EQ(Combo("cboSec").Text(), ".1");
    EXPECT_EQ(scope_->Get<ui::Label>("lblVolt").Caption(), " 2");
    EXPECT_EQ(scope_->Get<ui::Label>("lblMaxVolts").Caption(), "10V");
    EXPECT_EQ(scope_->Get<ui::Label>("lblMinVolts").Caption(), "-10V");
    EXPECT_EQ(scope_->Get<ui::Label>("lblCenter").Caption(), "0");
    EXPECT_EQ(Shared().gFrequency, 10000);
    EXPECT_EQ(Shared().gBipolar, kTrue);
    EXPECT_GT(Shared().gChannelCount, 1);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(ScopeTest, ContinuousRunDrawsTheBoardsSineThroughItsScaleAndStopFreesEveryBuffer) {
    OpenOnBoard();
    StartAndDraw();
    EXPECT_EQ(LiveBuffers(), 2u);
    mqplot32::Snapshot shown = PlotOf().Take();
    ASSERT_EQ(shown.samples.size(), 10000u);  // one second at 10 kHz
    EXPECT_EQ(shown.xSpan, 10000.0);
    EXPECT_EQ(shown.traceColours.at(0), ui::kRed);
    hxdadefs::Scale scale = hxdadefs::ReadScale(scope_->Acq());
    std::vector<float> volts;
    for (double code : shown.samples)
        volts.push_back(hxdadefs::CodeToVolts(scale, static_cast<std::int32_t>(code)));
    auto [lowest, highest] = std::minmax_element(volts.begin(), volts.end());
    EXPECT_NEAR(*highest, 5.0f, 0.05f);
    EXPECT_NEAR(*lowest, -5.0f, 0.05f);
    int crossings = 0;
    for (std::size_t i = 1; i < volts.size(); ++i)
        crossings += (volts[i - 1] < 0) != (volts[i] < 0);
    EXPECT_NEAR(crossings, 100, 2);  // 50 Hz over one second

    // The picture: the trace's colour where the data put it, and nowhere else.
    constexpr int kWidth = 600;
    constexpr int kHeight = 400;
    ui::Picture picture(kWidth, kHeight, ui::kWhite);
    PlotOf().Draw(*picture.Paint());
    picture.SavePng(PicturePath("scope_sine_plot"));
    scope_->Image().SavePng(PicturePath("scope_sine_panel"));
    const int areaWidth = kWidth - mqplot32::kPlotLeft - mqplot32::kPlotRight;
    const int areaHeight = kHeight - mqplot32::kPlotTop - mqplot32::kPlotBottom;
    std::vector<int> low(kWidth, kHeight), high(kWidth, -1);
    for (std::size_t p = 0; p < shown.samples.size(); ++p) {
        int x = mqplot32::kPlotLeft +
                static_cast<int>(std::lround(p * (areaWidth - 1.0) / (shown.xSpan - 1)));
        double fraction = (shown.yMaximum - shown.samples[p]) / (shown.yMaximum - shown.yMinimum);
        int y = mqplot32::kPlotTop + static_cast<int>(std::lround(fraction * (areaHeight - 1)));
        low[x] = std::min(low[x], y);
        high[x] = std::max(high[x], y);
    }
    int red = 0;
    for (int x = 0; x < kWidth; ++x) {
        // A column's pixels join its points and its neighbours' (the lines between them).
        int from = kHeight, to = -1;
        for (int n = std::max(0, x - 1); n <= std::min(kWidth - 1, x + 1); ++n) {
            from = std::min(from, low[n]);
            to = std::max(to, high[n]);
        }
        int inColumn = 0;
        for (int y = 0; y < kHeight; ++y) {
            if (picture.Pixel(x, y) != ui::kRed)
                continue;
            ++inColumn;
            EXPECT_TRUE(y >= from - 1 && y <= to + 1) << "stray trace pixel at " << x << "," << y;
        }
        if (high[x] >= 0) {
            EXPECT_GT(inColumn, 0) << "no trace in column " << x;
        }
        red += inColumn;
    }
    EXPECT_GT(red, areaWidth);

    // More buffers come and go back to the ready queue.
    ASSERT_TRUE(user_.PumpUntil([&] { return PlotOf().Take().drawBuffer != shown.drawBuffer; },
                                kBufferBound));
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(LiveBuffers(), 0u);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(ScopeTest, SingleShotDrawsOneBufferAndReturnsToIdleWithNoBufferLeft) {
    OpenOnBoard();
    ASSERT_TRUE(user_.Click(scope_->Get<ui::OptionButton>("optManTrig")));
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    EXPECT_EQ(LiveBuffers(), 1u);
    ASSERT_TRUE(user_.PumpUntil([&] { return Idle(); }, kBufferBound));
    EXPECT_TRUE(Drawn());
    EXPECT_EQ(LiveBuffers(), 0u);
    EXPECT_EQ(uilang::ToShort(scope_->Acq().Get(acq::dispid::QueueSize, {std::int16_t{1}})), 0);
    EXPECT_TRUE(scope_->Find("fraBoard").Enabled());
}

TEST_F(ScopeTest, TimeBasesAndChannelsGiveTheSpansOfTenDivisions) {
    OpenOnBoard();
    for (int twoChannels = 0; twoChannels < 2; ++twoChannels) {
        if (twoChannels) {
            ASSERT_TRUE(user_.Choose(Combo("cboChan"), "1"));
            ASSERT_TRUE(user_.Click(Button("cmdAdd")));
        }
        for (int base = 0; base < 5; ++base) {
            ASSERT_TRUE(user_.Choose(Combo("cboSec"), base));
            ASSERT_TRUE(user_.Click(Button("cmdStart")));
            double f = uilang::ToDouble(scope_->Acq().Get(acq::dispid::Frequency));
            double seconds = uilang::Val(Combo("cboSec").Text());
            int traces = twoChannels + 1;
            EXPECT_DOUBLE_EQ(PlotOf().XSpan(), std::round(f) * 10 * seconds / traces)
                << Combo("cboSec").Text() << ", " << traces << " channels";
            EXPECT_EQ(PlotOf().TraceCount(), traces);
            EXPECT_FLOAT_EQ(PlotOf().XGridStep(), static_cast<float>(PlotOf().XSpan() / 10));
            ASSERT_TRUE(user_.Click(Button("cmdStop")));
            EXPECT_EQ(LiveBuffers(), 0u);
        }
    }
    // The top time base asks for 1 MHz; the board's converter tops out at 500 kHz.
    EXPECT_EQ(Shared().gFrequency, 500000);
    EXPECT_DOUBLE_EQ(PlotOf().XSpan(), 25.0);
    EXPECT_EQ(PlotOf().TraceColor(1), static_cast<std::int32_t>(ui::kBlue));
    for (const ui::MessageBoxRecord& box : runtime_->MessageBoxes())
        ADD_FAILURE() << box.title << ": " << box.text;
}

TEST_F(ScopeTest, TheChannelListHoldsTwoDistinctChannelsAndTheLastCannotGo) {
    OpenOnBoard();
    auto& add = Button("cmdAdd");
    auto& remove = Button("cmdDelete");
    ASSERT_TRUE(user_.Choose(Combo("cboChan"), "0"));
    EXPECT_TRUE(user_.Click(add));  // already listed: nothing changes
    EXPECT_EQ(GridOf().Rows(), 1);
    EXPECT_FALSE(remove.Enabled());
    ASSERT_TRUE(user_.Choose(Combo("cboChan"), "3"));
    EXPECT_TRUE(user_.Click(add));
    EXPECT_EQ(GridOf().Rows(), 2);
    EXPECT_FALSE(add.Enabled());
    EXPECT_TRUE(remove.Enabled());
    EXPECT_EQ(uilang::ToLong(scope_->Acq().Get(acq::dispid::ListSize)), 2);
    EXPECT_EQ(uilang::ToShort(scope_->Acq().Get(acq::dispid::ChannelList, {std::int16_t{1}})), 3);
    GridOf().SetRow(0);
    EXPECT_TRUE(user_.Click(remove));
    EXPECT_EQ(GridOf().Rows(), 1);
    EXPECT_EQ(GridOf().TextMatrix(0, 0), "3");
    EXPECT_EQ(uilang::ToShort(scope_->Acq().Get(acq::dispid::ChannelList, {std::int16_t{0}})), 3);
    EXPECT_FALSE(remove.Enabled());  // the last channel stays
    EXPECT_TRUE(add.Enabled());
}

TEST_F(ScopeTest, FourDoubleClicksCycleTheGainBackToOne) {
    OpenOnBoard();
    auto& grid = GridOf();
    std::int32_t top = uilang::ToLong(scope_->Plot().Get(mqplot32::dispid::YMaximum));
    const struct {
        float gain;
        const char* voltsPerDiv;
        const char* rangeText;
    } cycle[] = {{2, " 1", "- 5 to 5"},
                 {4, " .5", "- 2.5 to 2.5"},
                 {8, " .25", "- 1.25 to 1.25"},
                 {1, " 2", "- 10 to 10"}};
    for (const auto& step : cycle) {
        ASSERT_TRUE(user_.ClickGridRow(grid, 0, true));
        EXPECT_EQ(scope_->Gain(), step.gain);
        EXPECT_EQ(scope_->Get<ui::Label>("lblVolt").Caption(), step.voltsPerDiv);
        EXPECT_EQ(grid.TextMatrix(0, 1), step.rangeText);
        EXPECT_DOUBLE_EQ(
            uilang::ToDouble(scope_->Acq().Get(acq::dispid::GainList, {std::int16_t{0}})),
            step.gain);
        // The screen keeps five divisions above zero at the input: the same codes at every gain.
        EXPECT_EQ(uilang::ToLong(scope_->Plot().Get(mqplot32::dispid::YMaximum)), top);
    }
    EXPECT_EQ(scope_->DeflectionStep(), 0);
    // A set-up keeps the step count: after two clicks and a new set-up, two more return to 1.
    user_.ClickGridRow(grid, 0, true);
    user_.ClickGridRow(grid, 0, true);
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    EXPECT_EQ(scope_->Gain(), 1);
    user_.ClickGridRow(grid, 0, true);
    EXPECT_EQ(scope_->Gain(), 2);
    user_.ClickGridRow(grid, 0, true);
    EXPECT_EQ(scope_->Gain(), 1);  // the fourth click since the last return
}

TEST_F(ScopeTest, AnOverrunShowsItsMessageAndLeavesThePanelIdleWithEveryBufferFreed) {
    OpenOnBoard();
    StartAndDraw();
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, HXSS_AD, 0, sim::testing::Fault::kOverrun));
    ASSERT_TRUE(user_.PumpUntil([&] { return Idle(); }, kBufferBound));
    ASSERT_FALSE(runtime_->MessageBoxes().empty());
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, kOverrunText);
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbOkOnly);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Larkspur");
    EXPECT_EQ(LiveBuffers(), 0u);
    // It starts again as before.
    StartAndDraw();
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(ScopeTest, TheLibrarysOwnAbortStillFreesEveryBufferAtStop) {
    OpenOnBoard();
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    // Without its events handled, nothing is queued again: the subsystem aborts itself.
    simclock::SleepFor(2500ms);
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(ScopeTest, TheBoardPulledOutWhileRunningNeitherCrashesNorHangs) {
    OpenOnBoard();
    StartAndDraw();
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, HXSS_AD, 0, sim::testing::Fault::kRemoval));
    user_.PumpUntil([] { return false; }, 500ms);
    if (Button("cmdStop").Enabled()) {
        EXPECT_TRUE(user_.Click(Button("cmdStop")));
    }
    EXPECT_TRUE(Idle());
    user_.Close(*scope_);
    EXPECT_FALSE(scope_->Loaded());
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(ScopeTest, AStartTheLibraryRefusesShowsTheScopeErrorAndLeavesThePanelIdle) {
    OpenOnBoard();
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, HXSS_AD, 0, sim::testing::Fault::kRemoval));
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    ASSERT_FALSE(runtime_->MessageBoxes().empty());
    const ui::MessageBoxRecord& box = runtime_->MessageBoxes().back();
    EXPECT_EQ(box.title, "Scope Error");
    EXPECT_EQ(box.flags, ui::kMbExclamation);
    EXPECT_EQ(box.text, uilang::ToText(scope_->Acq().Get(acq::dispid::LastErrDescription)));
    EXPECT_TRUE(Idle());
    user_.Close(*scope_);
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(ScopeTest, ClosingARunningPanelStopsItReleasesTheSubsystemAndLeavesNothing) {
    OpenOnBoard();
    StartAndDraw();
    user_.Close(*scope_);
    EXPECT_FALSE(scope_->Loaded());
    EXPECT_EQ(LiveBuffers(), 0u);
    scope_.reset();
    ResetScope();
    user_.Pump();
    EXPECT_EQ(NewWindows(), 0u);
    // The A/D is free again: another program opens it.
    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize(kMq5120, &device), HXNOERROR);
    HDASS adc = 0;
    EXPECT_EQ(hxDaGetDASS(device, HXSS_AD, 0, &adc), HXNOERROR);
    EXPECT_EQ(hxDaReleaseDASS(adc), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(device), HXNOERROR);
}

TEST_F(ScopeTest, APanelClosedWithoutABoardReleasesNothingAndSaysNothing) {
    Open();
    user_.Close(*scope_);
    EXPECT_FALSE(scope_->Loaded());
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
    scope_.reset();
    ResetScope();
    user_.Pump();
    EXPECT_EQ(NewWindows(), 0u);
    // A new instance starts empty.
    Open();
    EXPECT_EQ(Combo("cboBoard").ListIndex(), -1);
    EXPECT_EQ(scope_->Caption(), "Scope");
}

TEST_F(ScopeTest, AnAnalogInputOpenElsewhereGivesTheSetUpFailure) {
    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize(kMq5120, &device), HXNOERROR);
    HDASS adc = 0;
    ASSERT_EQ(hxDaGetDASS(device, HXSS_AD, 0, &adc), HXNOERROR);
    Open();
    std::string before = scope_->Caption();
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, "A/D Subsystem not available on MQ5120(00)");
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbExclamation);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Scope");
    EXPECT_EQ(scope_->Caption(), before);
    EXPECT_FALSE(scope_->Find("fraChannel").Enabled());
    EXPECT_FALSE(Button("cmdStart").Enabled());
    user_.Close(*scope_);
    EXPECT_EQ(hxDaReleaseDASS(adc), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(device), HXNOERROR);
}

TEST_F(ScopeTest, TheOptionsDialogShowsTheBoardAndLocksWhatTheTimeBaseAndTheBoardFix) {
    OpenOnBoard();
    user_.AnswerModal([&](ui::Form& dialog) {
        EXPECT_EQ(dialog.Get<ui::Label>("lblBoard").Caption(), kMq5120);
        EXPECT_EQ(dialog.Get<ui::Label>("lblSS").Caption(), "HXSS_AD");
        EXPECT_TRUE(dialog.Get<ui::OptionButton>("optBipolar").Value());
        EXPECT_EQ(dialog.Get<ui::TextBox>("txtFreq").Text(), " 10000");
        for (const char* name : {"optExtClk", "optIntClk", "txtFreq"})
            EXPECT_FALSE(dialog.Find(name).Enabled()) << name;
        EXPECT_FALSE(dialog.Find("fraRange").Enabled());  // the MQ5120 has one range
        EXPECT_TRUE(dialog.Find("optSE").Enabled());
        user_.Click(dialog.Get<ui::CommandButton>("cmdOK"));
    });
    ASSERT_TRUE(user_.Click(Button("cmdConfig")));
    EXPECT_EQ(Shared().gBipolar, kTrue);
    EXPECT_EQ(Shared().gFrequency, 10000);
    EXPECT_EQ(GridOf().TextMatrix(0, 1), "- 10 to 10");
    // The next opening starts from the design-time states.
    EXPECT_TRUE(Options()->Find("fraRange").Enabled());
    EXPECT_TRUE(Options()->Find("txtFreq").Enabled());
}

class ScopeTwoRangesTest : public ScopeTest {
  protected:
    ScopeTwoRangesTest() : ScopeTest({"Mq5200 0x5202 0x21 AD0.0=const:7.5"}) {}
};

TEST_F(ScopeTwoRangesTest, AUnipolarChoiceGivesFiveDivisionsAboveZero) {
    Open();
    ASSERT_EQ(Combo("cboBoard").ListCount(), 1);
    OpenOnBoard(Combo("cboBoard").List(0));
    EXPECT_EQ(scope_->Get<ui::Label>("lblMinVolts").Caption(), "-10V");
    user_.AnswerModal([&](ui::Form& dialog) {
        EXPECT_TRUE(dialog.Find("fraRange").Enabled());
        EXPECT_TRUE(user_.ClickTab(dialog.Get<ui::TabStrip>("tbsOptions"), 4));
        EXPECT_TRUE(user_.Click(dialog.Get<ui::OptionButton>("optUniPolar")));
        user_.Click(dialog.Get<ui::CommandButton>("cmdOK"));
    });
    ASSERT_TRUE(user_.Click(Button("cmdConfig")));
    EXPECT_EQ(Shared().gBipolar, kFalse);
    EXPECT_EQ(uilang::ToShort(scope_->Acq().Get(acq::dispid::Range)), 1);
    EXPECT_EQ(scope_->Get<ui::Label>("lblMinVolts").Caption(), "0V");
    EXPECT_EQ(scope_->Get<ui::Label>("lblCenter").Caption(), "");
    EXPECT_EQ(scope_->Get<ui::Label>("lblMaxVolts").Caption(), "10V");
    EXPECT_EQ(GridOf().TextMatrix(0, 1), "0 to 10");
    float top = uilang::ToSingle(scope_->Plot().Get(mqplot32::dispid::YMaximum));
    float bottom = uilang::ToSingle(scope_->Plot().Get(mqplot32::dispid::YMinimum));
    EXPECT_FLOAT_EQ(bottom, 0.0f);
    EXPECT_FLOAT_EQ(top, 4095.0f);
    EXPECT_FLOAT_EQ(uilang::ToSingle(scope_->Plot().Get(mqplot32::dispid::YGridStep)),
                    (top - bottom) / 5);
    // The trace of a 7.5 V input sits at three quarters of the screen.
    StartAndDraw();
    hxdadefs::Scale scale = hxdadefs::ReadScale(scope_->Acq());
    EXPECT_NEAR(hxdadefs::CodeToVolts(scale, static_cast<std::int32_t>(PlotOf().Take().samples[0])),
                7.5f, 0.01f);
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(ScopeTest, HelpAndPrintAreRecordedAndAPlotClickMovesTheFocusToHelp) {
    Open();
    ASSERT_TRUE(user_.Click(Button("cmdHelp")));
    ASSERT_EQ(runtime_->HelpCalls().size(), 1u);
    EXPECT_EQ(runtime_->HelpCalls()[0].file, "larkspur.hlp");
    EXPECT_EQ(runtime_->HelpCalls()[0].command, ui::kHelpContext);
    EXPECT_EQ(runtime_->HelpCalls()[0].data, static_cast<std::uint64_t>(kScopeHelpContext));
    ASSERT_TRUE(user_.Click(Button("cmdPrint")));
    ASSERT_EQ(runtime_->PrintJobs().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(runtime_->PrintJobs()[0].file));
    EXPECT_TRUE(user_.Click(scope_->Get<ui::HostedControl>("mqPlotScope")));
    EXPECT_TRUE(Button("cmdHelp").HasFocus());
}

class ScopeBoardsTest : public ScopeTest {
  protected:
    ScopeBoardsTest() : ScopeTest({kSineBoard, "Mq5130 0x5130 3"}) {}
};

TEST_F(ScopeBoardsTest, TheBoardListComesFromTheControlAndABoardWithoutAnAnalogInputFails) {
    Open();
    auto& boards = Combo("cboBoard");
    ASSERT_EQ(boards.ListCount(), 2);
    std::string digital = boards.List(0) == kMq5120 ? boards.List(1) : boards.List(0);
    ASSERT_TRUE(user_.Choose(boards, digital));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, "A/D Subsystem not available on " + digital);
    EXPECT_FALSE(Button("cmdStart").Enabled());
    // Choosing a good board afterwards sets the panel up.
    ASSERT_TRUE(user_.Choose(boards, kMq5120));
    EXPECT_TRUE(Button("cmdStart").Enabled());
    EXPECT_EQ(scope_->Caption(), "Scope - MQ5120(00)");
}

}  // namespace
}  // namespace larkspur::testing
