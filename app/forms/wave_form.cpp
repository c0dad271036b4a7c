#include "forms/wave_form.h"

#include <cmath>

#include "forms/options_form.h"
#include "forms/wave_form_design.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "modules/hxmemdefs.h"
#include "modules/shared_settings.h"
#include "modules/wave_table.h"
#include "mqplot32.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

using uilang::Value;
namespace id = acq::dispid;
namespace plotid = mqplot32::dispid;

constexpr const char* kTitle = "Wave Generator";
constexpr const char* kErrorTitle = "Wave Error";
constexpr const char* kInputTitle = "WaveGen";
constexpr const char* kNotAvailable = "Clocked D/A Subsystem not available on ";
constexpr const char* kInvalidFrequency = "Invalid input.  Please insert a valid Wave Frequency";
constexpr const char* kClockTooSlow =
    "Invalid input.  Clock Frequency must be at least 10 times Wave Frequency";
constexpr const char* kFrequencyTooLow = "Invalid input.  Please insert a higher Wave Frequency";
constexpr const char* kPeakLimited = "Wave Frequency Peak Voltage is limited to";
constexpr const char* kDefaultWaveFrequency = " 100";
constexpr const char* kDefaultPeak = " 1";
constexpr int kPanelWidth = 10320;
constexpr int kPanelHeight = 6600;
constexpr double kSetupWaveDivisor = 100;  // the first wave: a hundredth of the clock
constexpr float kSquareBelowLimit = 0.01f;
constexpr double kGridDivisions = 10;
constexpr double kPeriodsShown = 10;
constexpr std::int16_t kContinuous = 0;
constexpr std::int16_t kWrapSingle = 2;
constexpr std::int16_t kBipolarRange = 0;
constexpr std::int16_t kUnipolarRange = 1;
constexpr std::int32_t kBufferFlags = 0;  // the buffer manager's plain buffers
// The library's answer to an abort of an output that no longer runs (its status 28).
constexpr std::int32_t kNotRunningError = acq::kStatusErrorBase + 28;
// ... and to a configuration while the board still ends its transfer (status 22).
constexpr std::int32_t kRunningError = acq::kStatusErrorBase + 22;
// How long the stop waits for the buffer in process to come back after the abort.
constexpr std::uint32_t kTakeBackStepMs = 10;
constexpr int kTakeBackSteps = 200;

ui::DefaultInstance<WaveForm>& Instance() {
    static ui::DefaultInstance<WaveForm> instance;
    return instance;
}

Value Short(int value) {
    return static_cast<std::int16_t>(value);
}

std::int32_t Caps(uilang::Automation& acq, std::int16_t cap) {
    return uilang::ToLong(acq.Call(id::GetSSCaps, {cap}));
}

wave::Shape ChosenShape(const WaveForm& form) {
    if (form.Get<ui::OptionButton>("optSquare").Value())
        return wave::Shape::Square;
    if (form.Get<ui::OptionButton>("optTri").Value())
        return wave::Shape::Triangle;
    return wave::Shape::Sine;
}

}  // namespace

std::shared_ptr<WaveForm> Wave() {
    return Instance().Get();
}

std::shared_ptr<WaveForm> WaveIfLoaded() {
    return Instance().IfLoaded();
}

void ResetWave() {
    Instance().Reset();
}

WaveForm::WaveForm() : ui::Form(WaveFormDesign()) {}

uilang::Automation& WaveForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqWave").Members();
}

uilang::Automation& WaveForm::Plot() const {
    return Get<ui::HostedControl>("mqPlotWave").Members();
}

void WaveForm::Bind() {
    onLoad = [this] {
        SetWidth(kPanelWidth);
        SetHeight(kPanelHeight);
        FillBoards();
    };
    onUnload = [this] { UnloadStep(); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    Get<ui::TextBox>("txtWaveFrq").onChange = [this] { WaveFrequencyChanged(); };
    Get<ui::CommandButton>("cmdStart").onClick = [this] { StartWave(); };
    Get<ui::CommandButton>("cmdStop").onClick = [this] { StopWave(); };
    Get<ui::CommandButton>("cmdConfig").onClick = [this] { OptionsClick(); };
    Get<ui::CommandButton>("cmdHelp").onClick = [this] { HelpClick(); };
    Get<ui::HostedControl>("mqPlotWave").onEvent = [this](std::int32_t event, uilang::Arguments&) {
        if (event == mqplot32::kClickEvent)
            Get<ui::CommandButton>("cmdHelp").SetFocus();
    };
}

void WaveForm::FillBoards() {
    auto& boards = Get<ui::ComboBox>("cboBoard");
    std::int16_t count = uilang::ToShort(Acq().Get(id::numBoards));
    boards.Clear();
    for (int i = 0; i < count; ++i)
        boards.AddItem(uilang::ToText(Acq().Get(id::BoardList, {Short(i)})));
}

float WaveForm::SetWaveFreq(float waveHz, float clockHz) {
    wave::Fit fit = wave::FitTable(waveHz, clockHz);
    tableLength_ = fit.length;
    return fit.frequency;
}

void WaveForm::SetupBoard(const std::string& board) {
    try {
        for (const char* name : {"cmdConfig", "cmdStart", "fraOutput", "fraWave"})
            Find(name).SetEnabled(false);

        uilang::Automation& acq = Acq();
        acq.Put(id::Board, board);
        acq.Put(id::SubSysType, Short(acq::kAnalogOutput));
        acq.Put(id::SubSysElement, Short(0));
        acq.Put(id::DataFlow, Short(kContinuous));
        acq.Put(id::WrapMode, Short(kWrapSingle));
        acq.Put(id::Frequency, uilang::ToDouble(acq.Call(id::GetSSCapsEx, {acq::caps::MaxFreq})));
        acq.Put(id::ClockSource, Short(0));
        acq.Put(id::Trigger, Short(0));
        acq.Call(id::Config, {});

        SharedSettings& shared = Shared();
        shared.gTrigger = uilang::ToShort(acq.Get(id::Trigger));
        shared.gFrequency = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
        shared.gMaxRange = uilang::ToSingle(acq.Get(id::MaxRange));
        shared.gBipolar = uilang::ToSingle(acq.Get(id::MinRange)) < 0 ? kTrue : kFalse;
        shared.gDifferential = uilang::ToShort(acq.Get(id::ChannelType));
        shared.gChannelCount = Caps(
            acq, shared.gDifferential != 0 ? acq::caps::NumDiChannels : acq::caps::NumSeChannels);

        Get<ui::CheckBox>("chkUseDma").SetEnabled(Caps(acq, acq::caps::NumDmaChannels) >= 1);

        auto& waveFrequency = Get<ui::TextBox>("txtWaveFrq");
        double clock = uilang::ToDouble(acq.Get(id::Frequency));
        waveFrequency.SetText(uilang::Str(clock / kSetupWaveDivisor));
        waveFrequency.SetText(uilang::Str(SetWaveFreq(
            uilang::CSng(uilang::Val(waveFrequency.Text())), static_cast<float>(clock))));
        Get<ui::TextBox>("txtPeak").SetText(kDefaultPeak);

        ApplySettings();
        for (const char* name : {"fraOutput", "fraWave", "cmdConfig", "cmdStart"})
            Find(name).SetEnabled(true);
        Get<ui::CommandButton>("cmdStart").SetFocus();
        SetCaption("Wave Generator - " + board);
        Get<ui::OptionButton>("optSine").SetValue(true);
    } catch (const uilang::RuntimeError&) {
        ui::Runtime::Current().MsgBox(kNotAvailable + board, ui::kMbExclamation, kTitle);
    }
}

void WaveForm::ApplySettings() {
    uilang::Automation& acq = Acq();
    SharedSettings& shared = Shared();
    acq.Put(id::Frequency, static_cast<double>(shared.gFrequency));
    acq.Call(id::Config, {});
    shared.gFrequency = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
    acq.Put(id::Trigger, shared.gTrigger);

    if (shared.gDifferential != 0) {
        if (Caps(acq, acq::caps::ChanTypeDifferential) != 0) {
            shared.gChannelCount = Caps(acq, acq::caps::NumDiChannels);
            acq.Put(id::ChannelType, Short(1));
        } else {
            shared.gDifferential = 0;
        }
    } else {
        if (Caps(acq, acq::caps::ChanTypeSingleEnded) != 0) {
            shared.gChannelCount = Caps(acq, acq::caps::NumSeChannels);
            acq.Put(id::ChannelType, Short(0));
        } else {
            shared.gDifferential = 1;
        }
    }

    auto& waveFrequency = Get<ui::TextBox>("txtWaveFrq");
    float clock = uilang::ToSingle(acq.Get(id::Frequency));
    waveFrequency.SetText(
        uilang::Str(SetWaveFreq(uilang::CSng(uilang::Val(waveFrequency.Text())), clock)));

    acq.Put(id::Range, Short(shared.gBipolar == kTrue ? kBipolarRange : kUnipolarRange));
    acq.Call(id::Config, {});
}

void WaveForm::WaveFrequencyChanged() {
    auto& waveFrequency = Get<ui::TextBox>("txtWaveFrq");
    if (uilang::CSng(uilang::Val(waveFrequency.Text())) > 0)
        return;
    ui::Runtime::Current().MsgBox(kInvalidFrequency, ui::kMbCritical, kInputTitle);
    waveFrequency.SetText(kDefaultWaveFrequency);
}

void WaveForm::StartWave() {
    ui::Runtime& runtime = ui::Runtime::Current();
    uilang::Automation& acq = Acq();
    auto& waveFrequency = Get<ui::TextBox>("txtWaveFrq");
    float typed = uilang::CSng(uilang::Val(waveFrequency.Text()));
    if (Shared().gFrequency / wave::kClockPerWave < typed) {
        runtime.MsgBox(kClockTooSlow, ui::kMbCritical, kInputTitle);
        return;
    }
    float clock = uilang::ToSingle(acq.Get(id::Frequency));
    double fitted = uilang::Val(uilang::Str(SetWaveFreq(typed, clock)));
    if (fitted <= 0) {
        runtime.MsgBox(kFrequencyTooLow, ui::kMbCritical, kInputTitle);
        return;
    }
    // The table advances by the frequency it holds whole periods of, which the box then shows.
    waveFrequency.SetText(uilang::Str(fitted));
    uilang::Automation& plot = Plot();
    plot.Put(plotid::AutoRedraw, false);
    double cyclesPerSample = fitted / uilang::ToDouble(acq.Get(id::Frequency));

    wave::Shape shape = ChosenShape(*this);
    auto& peakBox = Get<ui::TextBox>("txtPeak");
    double typedPeak = uilang::Val(peakBox.Text());
    float maxRange = uilang::ToSingle(acq.Get(id::MaxRange));
    double peak = typedPeak;
    if (peak >= maxRange) {
        peak = shape == wave::Shape::Square ? maxRange - kSquareBelowLimit : maxRange;
        peakBox.SetText(uilang::Str(maxRange));
        if (typedPeak > maxRange)
            runtime.MsgBox(kPeakLimited + uilang::Str(maxRange) + " volts.", ui::kMbExclamation,
                           kInputTitle);
    }
    hxdadefs::Scale scale = hxdadefs::ReadScale(acq);
    if (scale.maxRange == scale.minRange)
        uilang::Raise(uilang::kErrDivisionByZero);
    double amplitude = peak * std::pow(2.0, scale.resolution) / (scale.maxRange - scale.minRange);
    float plotPeak = uilang::CSng(uilang::Val(peakBox.Text()));

    hxmemdefs::Handle output = 0;
    hxmemdefs::Handle drawn = 0;
    bool queued = false;
    try {
        std::vector<std::int16_t> table = wave::BuildTable(
            shape, tableLength_, amplitude, cyclesPerSample, {scale.resolution, scale.encoding});
        // The output takes an even number of samples: an odd table goes in twice.
        std::int32_t copies = tableLength_ % 2 == 0 ? 1 : 2;
        std::vector<std::int16_t> played(table);
        for (std::int32_t copy = 1; copy < copies; ++copy)
            played.insert(played.end(), table.begin(), table.end());
        output = hxmemdefs::AllocBuffer(kBufferFlags, tableLength_ * copies);
        drawn = hxmemdefs::AllocBuffer(kBufferFlags, tableLength_);

        plot.Put(plotid::YMaximum, hxdadefs::VoltsToCode(acq, plotPeak));
        plot.Put(plotid::YMinimum, hxdadefs::VoltsToCode(acq, -plotPeak));
        float step = static_cast<float>((uilang::ToSingle(plot.Get(plotid::YMaximum)) -
                                         uilang::ToSingle(plot.Get(plotid::YMinimum))) /
                                        kGridDivisions);
        plot.Put(plotid::YGridStep, step);
        plot.Put(plotid::YLabelStep, step);
        Get<ui::Label>("lblHigh").SetCaption(uilang::Str(plotPeak) + "V");
        Get<ui::Label>("lblLow").SetCaption(uilang::Str(-plotPeak) + "V");

        hxmemdefs::CopyToBuffer(output, played.data(), tableLength_ * copies);
        hxmemdefs::CopyToBuffer(drawn, table.data(), tableLength_);

        std::int32_t periods =
            std::max<std::int32_t>(1, uilang::CLng(kPeriodsShown * fitted / tableLength_));
        double span = static_cast<double>(tableLength_) / periods;
        plot.Put(plotid::XSpan, span);
        plot.Put(plotid::XStart, Short(0));
        plot.Put(plotid::XGridStep, static_cast<float>(span / kGridDivisions));
        plot.Put(plotid::XLabelStep, static_cast<float>(span / kGridDivisions));
        plot.Put(plotid::DataEncoding, uilang::ToShort(acq.Get(id::Encoding)));
        plot.Put(plotid::DrawBuffer, drawn);
        plot.Put(plotid::TraceCount, Short(1));

        acq.Put(id::Queue, output);
        queued = true;
        plot.Put(plotid::AutoRedraw, false);
        plot.Put(plotid::DrawBuffer, drawn);
        plot.Put(plotid::AutoRedraw, true);
        acq.Call(id::Config, {});
        acq.Call(id::Start, {});
        SetRunningControls(true);
    } catch (const uilang::RuntimeError& error) {
        std::string text = error.Description();
        try {
            text = uilang::ToText(acq.Get(id::LastErrDescription));
        } catch (const uilang::RuntimeError&) {
        }
        runtime.MsgBox(text, ui::kMbExclamation, kErrorTitle);
        GiveBackBuffers(output, queued, drawn);
    }
}

// A start that failed keeps no buffer: the plot lets go of its own, and the output buffer comes
// back from the control's queue when it got there.
void WaveForm::GiveBackBuffers(std::int32_t output, bool queued, std::int32_t plot) {
    try {
        if (plot != 0) {
            Plot().Put(plotid::DrawBuffer, std::int32_t{0});
            hxmemdefs::FreeBuffer(plot);
        }
        if (queued)
            TakeBackQueue(false);
        else if (output != 0)
            hxmemdefs::FreeBuffer(output);
    } catch (const uilang::RuntimeError&) {
    }
}

void WaveForm::SetRunningControls(bool running) {
    for (const char* name : {"fraWave", "fraOutput", "fraBoard", "cmdStart", "cmdConfig"})
        Find(name).SetEnabled(!running);
    auto& stop = Get<ui::CommandButton>("cmdStop");
    stop.SetEnabled(running);
    if (running) {
        stop.SetFocus();
    } else {
        Get<ui::CommandButton>("cmdPause").SetEnabled(false);
        Get<ui::CommandButton>("cmdStart").SetFocus();
    }
}

void WaveForm::StopWave() {
    try {
        SetRunningControls(false);
        uilang::Automation& plot = Plot();
        plot.Put(plotid::AutoRedraw, false);
        hxmemdefs::FreeBuffer(uilang::ToLong(plot.Get(plotid::DrawBuffer)));
        TakeBackQueue(true);
    } catch (const uilang::RuntimeError&) {
    }
}

// Abort when running (an output the library ended already is not running), and free every buffer
// the control gives back. The buffer in process comes back to the ready list after the abort, and
// the output takes a configuration again only once the board has ended its transfer: both are
// waited for (bounded), so that nothing is left behind and the next start finds the output idle.
void WaveForm::TakeBackQueue(bool abort) {
    uilang::Automation& acq = Acq();
    try {
        if (abort)
            acq.Call(id::Abort, {});
    } catch (const uilang::RuntimeError& error) {
        if (error.Number() != kNotRunningError)
            throw;
    }
    for (int step = 0; abort && step < kTakeBackSteps &&
                       uilang::ToShort(acq.Get(id::QueueSize, {acq::kInProcessQueue})) > 0;
         ++step)
        ui::Sleep(kTakeBackStepMs);
    for (int step = 0; abort && step < kTakeBackSteps; ++step) {
        try {
            acq.Call(id::Config, {});
            break;
        } catch (const uilang::RuntimeError& error) {
            if (error.Number() != kRunningError)
                throw;
            ui::Sleep(kTakeBackStepMs);
        }
    }
    acq.Call(id::Flush, {});
    for (std::int32_t h = uilang::ToLong(acq.Get(id::Queue)); h != 0;
         h = uilang::ToLong(acq.Get(id::Queue)))
        hxmemdefs::FreeBuffer(h);
}

void WaveForm::OptionsClick() {
    auto dialog = Options();
    SharedSettings& shared = Shared();
    dialog->Get<ui::Label>("lblBoard").SetCaption(Get<ui::ComboBox>("cboBoard").Text());
    dialog->Get<ui::Label>("lblSS").SetCaption("HXSS_DA");
    for (const char* name : {"optDiff", "optSE"})
        dialog->Find(name).SetEnabled(false);
    dialog->Get<ui::OptionButton>(shared.gBipolar == kTrue ? "optBipolar" : "optUniPolar")
        .SetValue(true);
    if (Caps(Acq(), acq::caps::NumRanges) < 2)
        dialog->Find("optUniPolar").SetEnabled(false);
    dialog->Get<ui::TextBox>("txtFreq").SetText(
        uilang::Str(static_cast<double>(shared.gFrequency)));
    for (const char* name : {"optExtClk", "optIntClk"})
        dialog->Find(name).SetEnabled(false);
    dialog->ShowModal(this);
    for (const char* name : {"optExtClk", "optIntClk"})
        dialog->Find(name).SetEnabled(true);
    ApplySettings();
}

void WaveForm::HelpClick() {
    auto& help = Get<ui::CommonDialog>("dlgWave");
    help.helpFile = ui::Runtime::Current().app.helpFile;
    help.helpContext = kWaveHelpContext;
    help.helpCommand = static_cast<std::int32_t>(ui::kHelpContext);
    help.ShowHelp();
}

void WaveForm::UnloadStep() {
    if (Get<ui::CommandButton>("cmdStop").Enabled())
        StopWave();
    std::int32_t hdass = 0;
    try {
        hdass = uilang::ToLong(Acq().Get(id::hDass));
    } catch (const uilang::RuntimeError&) {
    }
    hxdadefs::ReleaseDASS(hdass);
}

}  // namespace larkspur
