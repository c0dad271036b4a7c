// The spectrum panel end to end on a simulated MQ5120 with a sine on its first input: set-up, the
// sine's peak at its bin and level, the windows, the lengths and their axes, stop, overrun, bad
// input, a failing processing chain and the panel's release.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app_fixture.h"
#include "forms/spectrum_form.h"
#include "hxdaapi32.h"
#include "hxdsp32.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "mqplot32.h"
#include "mqplot32/plot_control.h"
#include "panel_support.h"
#include "simclock/thread.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kBufferBound = 20s;  // half-second buffers, and a busy machine

class SpectrumTest : public AppTest {
  protected:
    SpectrumTest() : AppTest() {}
    explicit SpectrumTest(std::vector<std::string> boards) : AppTest(std::move(boards)) {}

    SpectrumForm& Open() {
        panel_ = Spectrum();
        panel_->Show();
        return *panel_;
    }
    SpectrumForm& OpenOnBoard(const std::string& board = kMq5120) {
        Open();
        EXPECT_TRUE(user_.Choose(Combo("cboBoard"), board));
        return *panel_;
    }
    ui::ComboBox& Combo(const char* name) { return panel_->Get<ui::ComboBox>(name); }
    ui::CommandButton& Button(const char* name) { return panel_->Get<ui::CommandButton>(name); }
    ui::OptionButton& Option(const char* name) { return panel_->Get<ui::OptionButton>(name); }
    std::string Caption(const char* label) { return panel_->Get<ui::Label>(label).Caption(); }
    mqplot32::PlotControl& PlotOf() {
        return *static_cast<mqplot32::PlotControl*>(
            panel_->Get<ui::HostedControl>("mqPlotFFT").Object());
    }
    bool Idle() { return Button("cmdStart").Enabled() && !Button("cmdStop").Enabled(); }

    std::shared_ptr<SpectrumForm> panel_;
    // The machine streams on the virtual clock: a busy host slows the test, it does not overrun.
    simclock::testing::VirtualClock clock_;
};

TEST_F(SpectrumTest, TheFftKeyOpensOneInstanceWithHelpPrintAndThePlotsFocusMove) {
    ASSERT_TRUE(OpenPanel("FFT"));
    panel_ = SpectrumIfLoaded();
    ASSERT_NE(panel_, nullptr);
    EXPECT_TRUE(panel_->Visible());
    ASSERT_TRUE(OpenPanel("FFT"));
    EXPECT_EQ(SpectrumIfLoaded(), panel_);
    ASSERT_TRUE(user_.Click(Button("cmdHelp")));
    ASSERT_EQ(runtime_->HelpCalls().size(), 1u);
    EXPECT_EQ(runtime_->HelpCalls()[0].file, "larkspur.hlp");
    EXPECT_EQ(runtime_->HelpCalls()[0].command, ui::kHelpContext);
    EXPECT_EQ(runtime_->HelpCalls()[0].data, static_cast<std::uint64_t>(kSpectrumHelpContext));
    ASSERT_TRUE(user_.Click(Button("cmdPrint")));
    ASSERT_EQ(runtime_->PrintJobs().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(runtime_->PrintJobs()[0].file));
    EXPECT_TRUE(user_.Click(panel_->Get<ui::HostedControl>("mqPlotFFT")));
    EXPECT_TRUE(Button("cmdHelp").HasFocus());
}

// 8 kHz and 1024 points: bins of 7.8125 Hz, half-second buffers of 4000 samples.
constexpr double kClock = 8000;
constexpr double kBinWidth = kClock / 1024;
constexpr int kSineBin = 100;
constexpr double kSineVolts = 5;
// The 16-bit MQ5120 spans -10..10 V; a sine of A volts on a bin sits at 20 log10(A N / 2) dB.
double SineLevel(double volts, int points) {
    return 20 * std::log10(volts * points / 2);
}

std::string SineBoard(double bins) {
    return "MQ5120 4 1 AD0.0=sine:" + uilang::CStr(kSineVolts) + ":" +
           uilang::CStr(bins * kBinWidth) + " AD0.1=const:2.5";
}

class SpectrumSineTest : public SpectrumTest {
  protected:
    explicit SpectrumSineTest(double bins = kSineBin) : SpectrumTest({SineBoard(bins)}) {}

    // Opens the panel on the board with the clock set through the options dialog.
    void OpenAtClock(double clock = kClock) {
        OpenOnBoard();
        user_.AnswerModal([&](ui::Form& dialog) {
            EXPECT_TRUE(dialog.Get<ui::TextBox>("txtFreq").Enabled());
            EXPECT_TRUE(user_.ClickTab(dialog.Get<ui::TabStrip>("tbsOptions"), 2));
            user_.Type(dialog.Get<ui::TextBox>("txtFreq"), uilang::CStr(clock));
            user_.Click(dialog.Get<ui::CommandButton>("cmdOK"));
        });
        ASSERT_TRUE(user_.Click(Button("cmdConfig")));
        ASSERT_EQ(Shared().gFrequency, static_cast<std::int32_t>(clock));
    }
    // Starts and waits for the first spectrum drawn; its dB values.
    std::vector<double> StartAndDraw() {
        EXPECT_TRUE(user_.Click(Button("cmdStart")));
        EXPECT_TRUE(user_.PumpUntil(
            [&] { return PlotOf().Take().drawBuffer == panel_->SpectrumBuffer(); }, kBufferBound))
            << (runtime_->MessageBoxes().empty() ? "" : runtime_->MessageBoxes().back().text);
        return PlotOf().Take().samples;
    }
    std::vector<double> Spectrum(const char* window) {
        EXPECT_TRUE(user_.Click(Option(window)));
        std::vector<double> db = StartAndDraw();
        EXPECT_TRUE(user_.Click(Button("cmdStop")));
        return db;
    }
};

std::size_t PeakBin(const std::vector<double>& db) {
    return static_cast<std::size_t>(std::max_element(db.begin() + 1, db.end()) - db.begin());
}

TEST_F(SpectrumTest, SetUpOpensTheInputAtItsHighestClockWithTheDefaultLengthAndWindow) {
    Open();
    EXPECT_EQ(panel_->Width(), 11500);
    EXPECT_EQ(Combo("cboBoard").ListIndex(), -1);
    EXPECT_FALSE(Button("cmdStart").Enabled());
    EXPECT_EQ(Caption("lblMinVolts"), "-120");
    EXPECT_EQ(Caption("lblFreq"), "1.0");
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
    EXPECT_EQ(panel_->Caption(), "FFT - MQ5120(00)");
    EXPECT_TRUE(Option("opt1024").Value());
    EXPECT_TRUE(Option("optBlackman").Value());
    EXPECT_EQ(panel_->Points(), 1024);
    EXPECT_EQ(panel_->WindowCode(), 3);
    uilang::Automation& acq = panel_->Acq();
    EXPECT_EQ(
        Shared().gFrequency,
        uilang::CLng(uilang::ToDouble(acq.Call(acq::dispid::GetSSCapsEx, {acq::caps::MaxFreq}))));
    EXPECT_EQ(uilang::ToShort(acq.Get(acq::dispid::WrapMode)), 1);
    EXPECT_EQ(Shared().gBipolar, kTrue);
    EXPECT_EQ(Combo("cboChan").Text(), "0");
    EXPECT_EQ(Combo("cboChan").ListCount(), Shared().gChannelCount);
    for (const char* name : {"cmdStart", "cmdConfig", "fraPoints", "fraWinType", "fraChannel"})
        EXPECT_TRUE(panel_->Find(name).Enabled()) << name;
    EXPECT_FALSE(Button("cmdStop").Enabled());
    // Until the first spectrum the axis counts codes up from 0 V.
    EXPECT_FLOAT_EQ(PlotOf().Take().yMinimum, static_cast<float>(hxdadefs::VoltsToCode(acq, 0.0f)));
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(SpectrumSineTest, ASineOnABinPeaksThereAtItsLevelOnTheDecibelAxis) {
    OpenAtClock();
    const std::vector<double> db = StartAndDraw();
    EXPECT_EQ(Caption("lblFreq"), "4000");
    EXPECT_EQ(panel_->BufferSamples(), 4000);
    EXPECT_EQ(LiveBuffers(), 8u);  // six circulating, the raw and spectrum work buffers
    ASSERT_EQ(db.size(), 512u);
    EXPECT_EQ(PeakBin(db), static_cast<std::size_t>(kSineBin));
    EXPECT_NEAR(db[kSineBin], SineLevel(kSineVolts, 1024), 0.1);
    // Blackman leaves nothing of the sine a few bins away.
    for (std::size_t k = 0; k < db.size(); ++k)
        if (k + 4 < kSineBin || k > kSineBin + 4) {
            EXPECT_LT(db[k], db[kSineBin] - 80) << "bin " << k;
        }

    mqplot32::Snapshot shown = PlotOf().Take();
    EXPECT_NEAR(shown.yMinimum, -45.9588, 1e-4);
    EXPECT_NEAR(shown.yMaximum, 74.0412, 1e-4);
    EXPECT_EQ(shown.xSpan, 512.0);
    EXPECT_FLOAT_EQ(shown.xLabelStep, 51.2f);
    EXPECT_FLOAT_EQ(shown.xGridStep, 0.0f);
    EXPECT_NEAR(shown.yGridStep, 12.0f, 1e-4);
    EXPECT_EQ(Caption("lblMaxVolts"), "0");
    EXPECT_EQ(Caption("lblMinVolts"), "-120");
    for (const char* name :
         {"fraBoard", "cmdStart", "cmdConfig", "fraPoints", "fraWinType", "opt256", "optRect"})
        EXPECT_FALSE(panel_->Find(name).Enabled()) << name;
    EXPECT_TRUE(Button("cmdStop").Enabled());
    EXPECT_FALSE(Button("cmdPause").Enabled());  // the MQ5120 cannot pause

    // The picture: the trace is highest in the column of the sine's bin.
    constexpr int kWidth = 600;
    constexpr int kHeight = 400;
    ui::Picture picture(kWidth, kHeight, ui::kWhite);
    PlotOf().Draw(*picture.Paint());
    picture.SavePng(PicturePath("spectrum_sine_plot"));
    panel_->Image().SavePng(PicturePath("spectrum_sine_panel"));
    auto isTrace = [&](int x, int y) {
        const ui::Colour c = picture.Pixel(x, y);
        return c != mqplot32::kBackground && c != mqplot32::kGridColour &&
               c != mqplot32::kLabelColour;
    };
    int topX = -1, topY = kHeight;
    for (int y = mqplot32::kPlotTop; y < kHeight - mqplot32::kPlotBottom && topX < 0; ++y)
        for (int x = mqplot32::kPlotLeft; x < kWidth - mqplot32::kPlotRight; ++x)
            if (isTrace(x, y)) {
                topX = x;
                topY = y;
                break;
            }
    const int areaWidth = kWidth - mqplot32::kPlotLeft - mqplot32::kPlotRight;
    const int expectedX = mqplot32::kPlotLeft +
                          static_cast<int>(std::lround(kSineBin * (areaWidth - 1.0) / (512 - 1)));
    EXPECT_NEAR(topX, expectedX, 1);
    const int areaHeight = kHeight - mqplot32::kPlotTop - mqplot32::kPlotBottom;
    const double fraction = (shown.yMaximum - db[kSineBin]) / (shown.yMaximum - shown.yMinimum);
    EXPECT_NEAR(topY, mqplot32::kPlotTop + fraction * (areaHeight - 1), 1.5);

    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(LiveBuffers(), 2u);  // the work pair stays until the next start
    user_.Close(*panel_);
    EXPECT_EQ(LiveBuffers(), 0u);
}

// Half-way between two bins a sine leaks across the spectrum: how far depends on the window.
class SpectrumOffBinTest : public SpectrumSineTest {
  protected:
    SpectrumOffBinTest() : SpectrumSineTest(kSineBin + 0.5) {}
};

TEST_F(SpectrumOffBinTest, EachWindowHasItsScallopLossAndLeakage) {
    OpenAtClock();
    const struct {
        const char* option;
        double scallopDb;  // the peak's loss below the sine's level
        double leakageDb;  // the highest level 30 bins away, below the sine's level
        bool leakageAbove;
    } windows[] = {
        {"optRect", 3.92, 40.0, true},  // sin(x)/x: about 1 / (pi 30.5) there
        {"optHanning", 1.42, 80.0, false},
        {"optBlackman", 1.10, 90.0, false},
        {"optBlkHarris92", 0.83, 92.0, false},
    };
    const double level = SineLevel(kSineVolts, 1024);
    for (const auto& w : windows) {
        const std::vector<double> db = Spectrum(w.option);
        ASSERT_EQ(db.size(), 512u) << w.option;
        const std::size_t peak = PeakBin(db);
        EXPECT_TRUE(peak == kSineBin || peak == kSineBin + 1) << w.option << " " << peak;
        EXPECT_NEAR(db[peak], level - w.scallopDb, 0.15) << w.option;
        const double far = std::max(db[kSineBin - 30], db[kSineBin + 31]);
        if (w.leakageAbove) {
            EXPECT_GT(far, level - w.leakageDb) << w.option;
        } else {
            EXPECT_LT(far, level - w.leakageDb) << w.option;
        }
    }
    EXPECT_EQ(LiveBuffers(), 2u);
}

TEST_F(SpectrumSineTest, ALengthChosenAfterAStopTakesEffectAtTheNextStartWithItsAxis) {
    OpenAtClock();
    StartAndDraw();
    const hxmemdefs::Handle firstSpectrum = panel_->SpectrumBuffer();
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    const struct {
        const char* option;
        int points;
        double yMinimum, yMaximum;
    } lengths[] = {
        {"opt256", 256, -58.0, 62.0},
        {"opt2048", 2048, -39.9382, 80.0618},
        {"opt512", 512, -51.9794, 68.0206},
    };
    for (const auto& l : lengths) {
        ASSERT_TRUE(user_.Click(Option(l.option)));
        const std::vector<double> db = StartAndDraw();
        ASSERT_EQ(db.size(), static_cast<std::size_t>(l.points / 2)) << l.option;
        // The sine keeps its frequency: its bin scales with the length.
        EXPECT_EQ(PeakBin(db), static_cast<std::size_t>(kSineBin * l.points / 1024)) << l.option;
        EXPECT_NEAR(db[PeakBin(db)], SineLevel(kSineVolts, l.points), 0.1) << l.option;
        const mqplot32::Snapshot shown = PlotOf().Take();
        EXPECT_NEAR(shown.yMinimum, l.yMinimum, 1e-4) << l.option;
        EXPECT_NEAR(shown.yMaximum, l.yMaximum, 1e-4) << l.option;
        EXPECT_EQ(shown.xSpan, l.points / 2.0) << l.option;
        EXPECT_EQ(Caption("lblMaxVolts"), "0");
        EXPECT_EQ(Caption("lblMinVolts"), "-120") << l.option;
        std::uint32_t bytes = 0;
        EXPECT_EQ(hxDmGetBufferSize(static_cast<HBUF>(panel_->SpectrumBuffer()), &bytes), 0u);
        EXPECT_EQ(bytes, 2u * l.points * 2u) << l.option;
        EXPECT_EQ(panel_->BufferSamples(), 4000);
        // A new pair at each start; the last one's is gone.
        EXPECT_EQ(LiveBuffers(), 8u) << l.option;
        ASSERT_TRUE(user_.Click(Button("cmdStop")));
    }
    std::uint32_t bytes = 0;
    EXPECT_EQ(hxDmGetBufferSize(static_cast<HBUF>(firstSpectrum), &bytes), HXINVALIDHBUF);
}

TEST_F(SpectrumSineTest, BuffersHoldHalfASecondOrTheLengthWhicheverIsMore) {
    OpenAtClock(1000);
    ASSERT_TRUE(user_.Click(Option("opt2048")));
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    EXPECT_EQ(panel_->BufferSamples(), 2048);
    EXPECT_EQ(Caption("lblFreq"), "500");
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_EQ(LiveBuffers(), 2u);
}

TEST_F(SpectrumSineTest, AnOverrunShowsItsMessageStopsAndFreesEveryAcquisitionBuffer) {
    OpenAtClock();
    StartAndDraw();
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, HXSS_AD, 0, sim::testing::Fault::kOverrun));
    ASSERT_TRUE(user_.PumpUntil([&] { return Idle(); }, kBufferBound));
    ASSERT_FALSE(runtime_->MessageBoxes().empty());
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, kOverrunText);
    EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbOkOnly);
    EXPECT_EQ(LiveBuffers(), 2u);
    for (const char* name : {"fraPoints", "fraWinType", "opt256", "optRect", "fraBoard"})
        EXPECT_TRUE(panel_->Find(name).Enabled()) << name;
    // It starts again as before.
    StartAndDraw();
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
    EXPECT_EQ(LiveBuffers(), 2u);
}

TEST_F(SpectrumSineTest, ClosingWhileRunningStopsFreesEveryBufferAndReleasesTheInput) {
    OpenAtClock();
    StartAndDraw();
    EXPECT_FALSE(SubsystemFree(kMq5120, HXSS_AD, 0));
    user_.Close(*panel_);
    EXPECT_EQ(LiveBuffers(), 0u);
    EXPECT_TRUE(SubsystemFree(kMq5120, HXSS_AD, 0));
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(SpectrumTest, TheOptionsDialogLetsTheClockBeChangedAndLocksTheClockSource) {
    OpenOnBoard();
    const std::string highest = uilang::Str(static_cast<double>(Shared().gFrequency));
    user_.AnswerModal([&](ui::Form& dialog) {
        EXPECT_EQ(dialog.Get<ui::Label>("lblBoard").Caption(), kMq5120);
        EXPECT_EQ(dialog.Get<ui::Label>("lblSS").Caption(), "HXSS_AD");
        EXPECT_TRUE(dialog.Get<ui::OptionButton>("optBipolar").Value());
        EXPECT_EQ(dialog.Get<ui::TextBox>("txtFreq").Text(), highest);
        EXPECT_TRUE(dialog.Find("txtFreq").Enabled());
        for (const char* name : {"optExtClk", "optIntClk", "optUniPolar"})
            EXPECT_FALSE(dialog.Find(name).Enabled()) << name;  // the MQ5120 has one range
        EXPECT_TRUE(dialog.Find("optSE").Enabled());
        EXPECT_TRUE(user_.ClickTab(dialog.Get<ui::TabStrip>("tbsOptions"), 2));
        user_.Type(dialog.Get<ui::TextBox>("txtFreq"), "10000");
        user_.Click(dialog.Get<ui::CommandButton>("cmdOK"));
    });
    ASSERT_TRUE(user_.Click(Button("cmdConfig")));
    EXPECT_EQ(Shared().gFrequency, 10000);
    EXPECT_EQ(uilang::ToDouble(panel_->Acq().Get(acq::dispid::Frequency)), 10000.0);
    EXPECT_EQ(Combo("cboChan").Text(), "0");
    for (const char* name : {"optExtClk", "optIntClk"})
        EXPECT_TRUE(Options()->Find(name).Enabled()) << name;
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    EXPECT_EQ(panel_->BufferSamples(), 5000);
    EXPECT_EQ(Caption("lblFreq"), "5000");
    ASSERT_TRUE(user_.Click(Button("cmdStop")));
}

TEST_F(SpectrumSineTest, ABadChannelFailsTheStartAndLeavesThePanelIdle) {
    OpenAtClock();
    const struct {
        const char* text;
        bool starts;
        bool controlRefuses;
    } channels[] = {{"99", false, true}, {"1e10", false, false}, {"abc", true, false}};
    for (const auto& c : channels) {
        const std::size_t boxes = runtime_->MessageBoxes().size();
        ASSERT_TRUE(user_.Type(Combo("cboChan"), c.text));
        ASSERT_TRUE(user_.Click(Button("cmdStart")));
        if (c.starts) {  // Val("abc") is 0: channel 0
            EXPECT_TRUE(Button("cmdStop").Enabled()) << c.text;
            EXPECT_EQ(runtime_->MessageBoxes().size(), boxes) << c.text;
            ASSERT_TRUE(user_.Click(Button("cmdStop")));
            continue;
        }
        ASSERT_EQ(runtime_->MessageBoxes().size(), boxes + 1) << c.text;
        const ui::MessageBoxRecord& box = runtime_->MessageBoxes().back();
        EXPECT_EQ(box.title, "FFT Error");
        EXPECT_EQ(box.flags, ui::kMbExclamation);
        // The control's refusal shows its description; the panel's own overflow, its own text.
        const std::string expected =
            c.controlRefuses ? uilang::ToText(panel_->Acq().Get(acq::dispid::LastErrDescription))
                             : uilang::RuntimeErrorText(uilang::kErrOverflow);
        EXPECT_EQ(box.text, expected) << c.text;
        EXPECT_FALSE(box.text.empty()) << c.text;
        EXPECT_TRUE(Idle()) << c.text;
        EXPECT_TRUE(panel_->Find("fraPoints").Enabled()) << c.text;
        EXPECT_EQ(LiveBuffers(), 0u) << c.text;
    }
}

TEST_F(SpectrumSineTest, AStartOnABoardPulledOutFailsIdleAndTheCloseFreesEveryBuffer) {
    OpenAtClock();
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, HXSS_AD, 0, sim::testing::Fault::kRemoval));
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "FFT Error");
    EXPECT_EQ(runtime_->MessageBoxes()[0].text,
              uilang::ToText(panel_->Acq().Get(acq::dispid::LastErrDescription)));
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(panel_->Find("fraPoints").Enabled());
    // What the failed start queued stays with the subsystem until the panel releases it.
    user_.Close(*panel_);
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(SpectrumSineTest, AFailingProcessingChainStopsTheRunOnceWithTheLibrarysText) {
    OpenAtClock();
    StartAndDraw();
    // The spectrum buffer goes behind the panel's back: the next buffer's chain is refused.
    hxmemdefs::FreeBuffer(panel_->SpectrumBuffer());
    ASSERT_TRUE(user_.PumpUntil([&] { return Idle(); }, kBufferBound));
    user_.PumpUntil([] { return false; }, 200ms);
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, "FFT Error");
    char text[130] = {};
    hxDspGetErrorString(HXDSP_INVALIDBUFFER, text, 129);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, text);
    // Every acquisition buffer, the one being analysed included, is back and freed.
    EXPECT_EQ(LiveBuffers(), 1u);  // the raw work buffer
    user_.Close(*panel_);
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(SpectrumSineTest, ABufferDoneWithAnEmptyQueueOnlyStopsTheRedraw) {
    OpenAtClock();
    const mqplot32::Snapshot before = PlotOf().Take();
    uilang::Arguments none;
    panel_->Get<ui::HostedControl>("mqAcqFFT").onEvent(acq::event::BufferDone, none);
    const mqplot32::Snapshot after = PlotOf().Take();
    EXPECT_FALSE(after.autoRedraw);
    EXPECT_EQ(after.drawBuffer, before.drawBuffer);
    EXPECT_EQ(after.yMinimum, before.yMinimum);
    EXPECT_EQ(after.yMaximum, before.yMaximum);
    EXPECT_EQ(Caption("lblMinVolts"), "-120");
    EXPECT_EQ(LiveBuffers(), 0u);
}

}  // namespace
}  // namespace larkspur::testing
