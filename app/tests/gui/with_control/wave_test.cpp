// The waveform generator end to end on a simulated MQ5120 whose first analog input is wired to
// its first analog output: set-up, each shape on the board's output log at its frequency and
// amplitude and back through the wired input, the table's fit, bad input, a refused start, the
// set-up failure and the panel's release.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app_fixture.h"
#include "hxdaapi32.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "mqplot32.h"
#include "mqplot32/plot_control.h"
#include "simclock/thread.h"
#include "uilang/conversions.h"

namespace larkspur::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kWiredBoard = "MQ5120 4 1 AD0.0=DA0.0";
constexpr auto kOutputBound = 20s;  // a busy machine
constexpr int kOutputChannel = 0;
constexpr double kFullScale = 10;  // the MQ5120's outputs: -10..+10 V
constexpr double kCodes = 65536;   // 16 bits, offset binary
constexpr double kOneCode = 2 * kFullScale / kCodes;

double OutputVolts(std::uint32_t code) {
    return -kFullScale + 2 * kFullScale * code / kCodes;
}

// A stretch of the output as the board played it: volts at the board's times.
struct Played {
    std::vector<std::int64_t> timesNs;
    std::vector<double> volts;

    double Highest() const { return *std::max_element(volts.begin(), volts.end()); }
    double Lowest() const { return *std::min_element(volts.begin(), volts.end()); }
    double MeanMagnitude() const {
        double sum = 0;
        for (double v : volts)
            sum += std::fabs(v);
        return sum / volts.size();
    }
    // Upward crossings of 0 V per second of the board's time.
    double Frequency() const {
        std::vector<std::int64_t> rising;
        for (std::size_t i = 1; i < volts.size(); ++i)
            if (volts[i - 1] < 0 && volts[i] >= 0)
                rising.push_back(timesNs[i]);
        if (rising.size() < 2)
            return 0;
        return (rising.size() - 1) * 1e9 / (rising.back() - rising.front());
    }
};

class WaveTest : public AppTest {
  protected:
    WaveTest() : AppTest({kWiredBoard}) {}
    explicit WaveTest(std::vector<std::string> boards) : AppTest(std::move(boards)) {}

    WaveForm& Open() {
        wave_ = Wave();
        wave_->Show();
        return *wave_;
    }
    WaveForm& OpenOnBoard() {
        Open();
        EXPECT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
        return *wave_;
    }
    ui::ComboBox& Combo(const char* name) { return wave_->Get<ui::ComboBox>(name); }
    ui::CommandButton& Button(const char* name) { return wave_->Get<ui::CommandButton>(name); }
    ui::TextBox& Text(const char* name) { return wave_->Get<ui::TextBox>(name); }
    mqplot32::PlotControl& PlotOf() {
        return *static_cast<mqplot32::PlotControl*>(
            wave_->Get<ui::HostedControl>("mqPlotWave").Object());
    }
    bool Idle() { return Button("cmdStart").Enabled() && !Button("cmdStop").Enabled(); }
    std::string LastBox() const {
        return runtime_->MessageBoxes().empty() ? "" : runtime_->MessageBoxes().back().text;
    }

    // The clock through the options dialog, as a user sets it.
    void SetClock(const std::string& hertz) {
        user_.AnswerModal([&](ui::Form& dialog) {
            EXPECT_EQ(dialog.Get<ui::Label>("lblSS").Caption(), "HXSS_DA");
            EXPECT_TRUE(user_.ClickTab(dialog.Get<ui::TabStrip>("tbsOptions"), 2));
            EXPECT_TRUE(user_.Type(dialog.Get<ui::TextBox>("txtFreq"), hertz));
            user_.Click(dialog.Get<ui::CommandButton>("cmdOK"));
        });
        ASSERT_TRUE(user_.Click(Button("cmdConfig")));
    }
    void Play(const char* shape, const std::string& hertz, const std::string& peak) {
        ASSERT_TRUE(user_.Click(wave_->Get<ui::OptionButton>(shape)));
        ASSERT_TRUE(user_.Type(Text("txtWaveFrq"), hertz));
        ASSERT_TRUE(user_.Type(Text("txtPeak"), peak));
        sim::testing::ReadBoardOutputs("MQ5120", 1, true);
        ASSERT_TRUE(user_.Click(Button("cmdStart")));
        ASSERT_FALSE(Idle()) << LastBox();
    }
    // Waits until the board has played `updates` samples of the output, and reads them.
    Played WaitForOutput(std::size_t updates) {
        Played played;
        user_.PumpUntil(
            [&] {
                auto log = sim::testing::ReadBoardOutputs("MQ5120", 1);
                played = {};
                for (const auto& change : log.changes) {
                    if (change.channel != kOutputChannel)
                        continue;
                    played.timesNs.push_back(change.timeNs);
                    played.volts.push_back(OutputVolts(change.value));
                }
                return played.volts.size() >= updates;
            },
            kOutputBound);
        EXPECT_GE(played.volts.size(), updates);
        return played;
    }

    std::shared_ptr<WaveForm> wave_;
    // The machine plays on the virtual clock: a busy host slows the test, it does not underrun.
    simclock::testing::VirtualClock clock_;
};

TEST_F(WaveTest, SetUpOpensTheClockedOutputAtItsTopClockWithAWaveOfAHundredthOfIt) {
    Open();
    ASSERT_EQ(Combo("cboBoard").ListCount(), 1);
    EXPECT_EQ(Combo("cboBoard").ListIndex(), -1);
    for (const char* name : {"cmdStart", "cmdStop", "cmdConfig", "fraWave", "fraOutput"})
        EXPECT_FALSE(wave_->Find(name).Enabled()) << name;
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    EXPECT_EQ(wave_->Caption(), "Wave Generator - MQ5120(00)");
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
    EXPECT_EQ(Shared().gFrequency, 500000);
    EXPECT_EQ(Shared().gBipolar, kTrue);
    EXPECT_FLOAT_EQ(Shared().gMaxRange, 10.0f);
    // The MQ5120's outputs are differential only: four of them.
    EXPECT_EQ(Shared().gDifferential, 1);
    EXPECT_EQ(Shared().gChannelCount, 4);
    EXPECT_EQ(Text("txtWaveFrq").Text(), " 5000");
    EXPECT_EQ(Text("txtPeak").Text(), " 1");
    EXPECT_EQ(wave_->TableLength(), 5000);
    EXPECT_TRUE(wave_->Get<ui::OptionButton>("optSine").Value());
    EXPECT_EQ(uilang::ToShort(wave_->Acq().Get(acq::dispid::WrapMode)), 2);
    // The MQ5120's output has no DMA channel.
    EXPECT_FALSE(wave_->Get<ui::CheckBox>("chkUseDma").Enabled());
    for (const char* name : {"cmdStart", "cmdConfig", "fraWave", "fraOutput"})
        EXPECT_TRUE(wave_->Find(name).Enabled()) << name;
    EXPECT_TRUE(Button("cmdStart").HasFocus());
    EXPECT_FALSE(Button("cmdStop").Enabled());

    // The options dialog: the output's board and clock, with the channel type and clock source
    // fixed, and no unipolar range on a board that has one range.
    user_.AnswerModal([&](ui::Form& dialog) {
        EXPECT_EQ(dialog.Get<ui::Label>("lblBoard").Caption(), kMq5120);
        EXPECT_EQ(dialog.Get<ui::Label>("lblSS").Caption(), "HXSS_DA");
        EXPECT_EQ(dialog.Get<ui::TextBox>("txtFreq").Text(), " 500000");
        EXPECT_TRUE(dialog.Get<ui::OptionButton>("optBipolar").Value());
        for (const char* name : {"optDiff", "optSE", "optUniPolar", "optExtClk", "optIntClk"})
            EXPECT_FALSE(dialog.Find(name).Enabled()) << name;
        user_.Click(dialog.Get<ui::CommandButton>("cmdCancel"));
    });
    ASSERT_TRUE(user_.Click(Button("cmdConfig")));
    EXPECT_EQ(Shared().gFrequency, 500000);
    EXPECT_EQ(Text("txtWaveFrq").Text(), " 5000");

    ASSERT_TRUE(user_.Click(Button("cmdHelp")));
    ASSERT_EQ(runtime_->HelpCalls().size(), 1u);
    EXPECT_EQ(runtime_->HelpCalls()[0].command, ui::kHelpContext);
    EXPECT_EQ(runtime_->HelpCalls()[0].data, static_cast<std::uint64_t>(kWaveHelpContext));
    EXPECT_TRUE(user_.Click(wave_->Get<ui::HostedControl>("mqPlotWave")));
    EXPECT_TRUE(Button("cmdHelp").HasFocus());
}

// Each shape at 100 Hz and 5 V on a 10 kHz clock, as the board played it.
TEST_F(WaveTest, EachShapeReachesTheBoardAtItsFrequencyAndAmplitude) {
    OpenOnBoard();
    SetClock("10000");
    EXPECT_EQ(Shared().gFrequency, 10000);
    const struct {
        const char* option;
        double meanMagnitude;  // of a 5 V wave: 2A/pi, A, A/2
    } shapes[] = {{"optSine", 5 * 2 / M_PI}, {"optSquare", 5}, {"optTri", 2.5}};
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.option);
        Play(shape.option, "100", "5");
        EXPECT_EQ(wave_->TableLength(), 5000);
        // Two passes of the table: the replay from the board's memory goes on seamlessly.
        Played played = WaitForOutput(10000);
        EXPECT_NEAR(played.Highest(), 5.0, 2 * kOneCode);
        EXPECT_NEAR(played.Lowest(), -5.0, 2 * kOneCode);
        EXPECT_NEAR(played.Frequency(), 100.0, 0.01);
        EXPECT_NEAR(played.MeanMagnitude(), shape.meanMagnitude, 0.02);
        // The board's clock: one update every 100 us.
        EXPECT_EQ(played.timesNs[1] - played.timesNs[0], 100'000);
        wave_->Image().SavePng(PicturePath(std::string("wave_") + shape.option));
        ASSERT_TRUE(user_.Click(Button("cmdStop")));
        EXPECT_TRUE(Idle());
        EXPECT_EQ(LiveBuffers(), 0u);
        EXPECT_FALSE(sim::testing::ReadBoardOutputs("MQ5120", 1).daRunning);
    }
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
}

// 1234 Hz at 100 kHz needs a table of 8671 samples, an odd count the output takes only twice
// over: the board plays it on through both copies and their wraps without a step.
TEST_F(WaveTest, AnOddTablePlaysOnWithoutAStep) {
    OpenOnBoard();
    SetClock("100000");
    Play("optSine", "1234", "5");
    ASSERT_EQ(wave_->TableLength(), 8671);
    Played played = WaitForOutput(2 * 2 * 8671 + 1);
    double steepest = 0;
    for (std::size_t i = 1; i < played.volts.size(); ++i)
        steepest = std::max(steepest, std::fabs(played.volts[i] - played.volts[i - 1]));
    EXPECT_LE(steepest, 2 * M_PI * 1234 / 100000 * 5 + 2 * kOneCode);
    EXPECT_NEAR(played.Frequency(), 1234.0, 0.1);
    EXPECT_NEAR(played.Highest(), 5.0, 2 * kOneCode);
    EXPECT_NEAR(played.Lowest(), -5.0, 2 * kOneCode);
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_EQ(LiveBuffers(), 0u);
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
}

// The scope panel on the input wired to the output sees the wave the generator plays.
TEST_F(WaveTest, TheWaveComesBackThroughTheWiredInput) {
    OpenOnBoard();
    SetClock("20000");
    Play("optTri", "50", "4");
    WaitForOutput(1000);  // the output plays before the scope starts reading it
    auto scope = Scope();
    scope->Show();
    ASSERT_TRUE(user_.Choose(scope->Get<ui::ComboBox>("cboBoard"), kMq5120));
    ASSERT_TRUE(user_.Click(scope->Get<ui::CommandButton>("cmdStart")));
    auto& scopePlot =
        *static_cast<mqplot32::PlotControl*>(scope->Get<ui::HostedControl>("mqPlotScope").Object());
    ASSERT_TRUE(user_.PumpUntil([&] { return !scopePlot.Take().samples.empty(); }, kOutputBound))
        << LastBox();
    hxdadefs::Scale scale = hxdadefs::ReadScale(scope->Acq());
    std::vector<double> volts;
    for (double code : scopePlot.Take().samples)
        volts.push_back(hxdadefs::CodeToVolts(scale, static_cast<std::int32_t>(code)));
    ASSERT_EQ(volts.size(), 10000u);  // one second at 10 kHz
    auto [lowest, highest] = std::minmax_element(volts.begin(), volts.end());
    EXPECT_NEAR(*highest, 4.0, 0.05);
    EXPECT_NEAR(*lowest, -4.0, 0.05);
    int crossings = 0;
    for (std::size_t i = 1; i < volts.size(); ++i)
        crossings += (volts[i - 1] < 0) != (volts[i] < 0);
    EXPECT_NEAR(crossings, 100, 1);  // 50 Hz over one second
    scope->Image().SavePng(PicturePath("wave_read_back_scope"));
    ASSERT_TRUE(user_.Click(scope->Get<ui::CommandButton>("cmdStop")));
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_EQ(LiveBuffers(), 0u);
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
}

// At a 100 kHz clock: the table's length and the frequency played, the periods it holds whole,
// and the plot's span (the table over ten times the frequency per table length, at least one).
TEST_F(WaveTest, TheTableHoldsWholePeriodsOfTheFrequencyItShows) {
    OpenOnBoard();
    SetClock("100000");
    const struct {
        const char* typed;
        std::int32_t length;
        int periods;
        const char* shown;
        double span;
    } cases[] = {
        {"1000", 5000, 50, " 1000", 2500},
        {"1234", 8671, 107, " 1233.998", 8671},
        {"333", 6006, 20, " 333.0003", 6006},
        {"7", 10000, 1, " 10", 10000},  // no table holds whole periods of 7 Hz: 10 Hz is played
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ASSERT_TRUE(user_.Type(Text("txtWaveFrq"), c.typed));
        ASSERT_TRUE(user_.Click(Button("cmdStart")));
        ASSERT_FALSE(Idle()) << LastBox();
        EXPECT_EQ(wave_->TableLength(), c.length);
        EXPECT_EQ(Text("txtWaveFrq").Text(), c.shown);
        mqplot32::Snapshot table = PlotOf().Take();
        ASSERT_EQ(table.samples.size(), static_cast<std::size_t>(c.length));
        EXPECT_DOUBLE_EQ(table.xSpan, c.span);
        EXPECT_FLOAT_EQ(table.xGridStep, static_cast<float>(c.span / 10));
        int crossings = 0;
        constexpr double kMid = 32768;
        for (std::size_t i = 1; i < table.samples.size(); ++i)
            crossings += (table.samples[i - 1] < kMid) != (table.samples[i] < kMid);
        EXPECT_NEAR(crossings, 2 * c.periods, 1);
        // The replay joins the end to the start without a step.
        double join = std::fabs(table.samples.back() - table.samples.front());
        double stepAtTop = 2 * M_PI * c.periods / c.length * (kMid / 10);
        EXPECT_LE(join, stepAtTop + 2);
        ASSERT_TRUE(user_.Click(Button("cmdStop")));
        EXPECT_EQ(LiveBuffers(), 0u);
    }
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << LastBox();
}

TEST_F(WaveTest, BadFrequenciesAreRefusedBeforeAnythingStarts) {
    OpenOnBoard();
    SetClock("100000");
    const struct {
        const char* typed;
        const char* message;
    } cases[] = {
        {"10001", "Invalid input.  Clock Frequency must be at least 10 times Wave Frequency"},
        {"4", "Invalid input.  Please insert a higher Wave Frequency"},
        {"0.1", "Invalid input.  Please insert a higher Wave Frequency"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        std::size_t boxes = runtime_->MessageBoxes().size();
        ASSERT_TRUE(user_.Type(Text("txtWaveFrq"), c.typed));
        ASSERT_TRUE(user_.Click(Button("cmdStart")));
        ASSERT_EQ(runtime_->MessageBoxes().size(), boxes + 1);
        EXPECT_EQ(runtime_->MessageBoxes().back().text, c.message);
        EXPECT_EQ(runtime_->MessageBoxes().back().flags, ui::kMbCritical);
        EXPECT_EQ(runtime_->MessageBoxes().back().title, "WaveGen");
        EXPECT_TRUE(Idle());
        EXPECT_TRUE(allocated_.empty());
    }
    // No frequency at all: the box, and the default frequency instead.
    std::size_t boxes = runtime_->MessageBoxes().size();
    ASSERT_TRUE(user_.Type(Text("txtWaveFrq"), ""));
    ASSERT_EQ(runtime_->MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(runtime_->MessageBoxes().back().text,
              "Invalid input.  Please insert a valid Wave Frequency");
    EXPECT_EQ(runtime_->MessageBoxes().back().flags, ui::kMbCritical);
    EXPECT_EQ(Text("txtWaveFrq").Text(), " 100");
}

// A peak above the range is limited to it, once said; the square stays just below the limit.
TEST_F(WaveTest, APeakBeyondTheRangeIsLimitedToIt) {
    OpenOnBoard();
    SetClock("100000");
    const struct {
        const char* option;
        const char* typed;
        bool said;
        double top;  // volts of the table's highest code
    } cases[] = {
        {"optSine", "12", true, 10 - kOneCode},  // the top code, not one past it
        {"optTri", "12", true, 10 - kOneCode},
        {"optSquare", "12", true, 9.99},
        {"optSine", "10", false, 10 - kOneCode},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.typed);
        std::size_t boxes = runtime_->MessageBoxes().size();
        Play(c.option, "1000", c.typed);
        EXPECT_EQ(Text("txtPeak").Text(), " 10");
        ASSERT_EQ(runtime_->MessageBoxes().size(), boxes + (c.said ? 1 : 0));
        if (c.said) {
            EXPECT_EQ(runtime_->MessageBoxes().back().text,
                      "Wave Frequency Peak Voltage is limited to 10 volts.");
            EXPECT_EQ(runtime_->MessageBoxes().back().flags, ui::kMbExclamation);
            EXPECT_EQ(runtime_->MessageBoxes().back().title, "WaveGen");
        }
        mqplot32::Snapshot table = PlotOf().Take();
        double highest = *std::max_element(table.samples.begin(), table.samples.end());
        EXPECT_NEAR(OutputVolts(static_cast<std::uint32_t>(highest)), c.top, kOneCode);
        EXPECT_EQ(wave_->Get<ui::Label>("lblHigh").Caption(), " 10V");
        EXPECT_EQ(wave_->Get<ui::Label>("lblLow").Caption(), "-10V");
        EXPECT_FLOAT_EQ(table.yMaximum, 65535.0f);
        EXPECT_FLOAT_EQ(table.yMinimum, 0.0f);
        ASSERT_TRUE(user_.Click(Button("cmdStop")));
    }
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(WaveTest, ARefusedStartShowsTheWaveErrorAndKeepsNoBuffer) {
    OpenOnBoard();
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, HXSS_DA, 0, sim::testing::Fault::kRemoval));
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    ASSERT_FALSE(runtime_->MessageBoxes().empty());
    const ui::MessageBoxRecord& box = runtime_->MessageBoxes().back();
    EXPECT_EQ(box.title, "Wave Error");
    EXPECT_EQ(box.flags, ui::kMbExclamation);
    EXPECT_FALSE(box.text.empty());
    EXPECT_NE(box.text, "No Error");
    EXPECT_TRUE(Idle());
    EXPECT_EQ(allocated_.size(), 2u);
    EXPECT_EQ(LiveBuffers(), 0u);
    user_.Close(*wave_);
    EXPECT_FALSE(wave_->Loaded());
}

TEST_F(WaveTest, ClosingARunningPanelStopsTheOutputAndReleasesIt) {
    OpenOnBoard();
    SetClock("10000");
    Play("optSine", "100", "1");
    WaitForOutput(100);
    user_.Close(*wave_);
    EXPECT_FALSE(wave_->Loaded());
    EXPECT_EQ(LiveBuffers(), 0u);
    EXPECT_FALSE(sim::testing::ReadBoardOutputs("MQ5120", 1).daRunning);
    wave_.reset();
    ResetWave();
    user_.Pump();
    EXPECT_EQ(NewWindows(), 0u);
    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize(kMq5120, &device), HXNOERROR);
    HDASS da = 0;
    EXPECT_EQ(hxDaGetDASS(device, HXSS_DA, 0, &da), HXNOERROR);
    EXPECT_EQ(hxDaReleaseDASS(da), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(device), HXNOERROR);
}

TEST_F(WaveTest, AnOutputOpenElsewhereGivesTheSetUpFailureAndAPanelWithoutABoardClosesQuietly) {
    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize(kMq5120, &device), HXNOERROR);
    HDASS da = 0;
    ASSERT_EQ(hxDaGetDASS(device, HXSS_DA, 0, &da), HXNOERROR);
    Open();
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text,
              "Clocked D/A Subsystem not available on MQ5120(00)");
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbExclamation);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "Wave Generator");
    EXPECT_EQ(wave_->Caption(), "Wave Generator");
    EXPECT_FALSE(Button("cmdStart").Enabled());
    user_.Close(*wave_);
    EXPECT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(hxDaReleaseDASS(da), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(device), HXNOERROR);
}

}  // namespace
}  // namespace larkspur::testing
