#include "forms/spectrum_form.h"

#include <cmath>
#include <vector>

#include "forms/options_form.h"
#include "forms/scope_form.h"
#include "forms/spectrum_form_design.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "modules/hxdspdefs.h"
#include "modules/panel_pattern.h"
#include "modules/shared_settings.h"
#include "mqplot32.h"
#include "mqplot32/plot_control.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

using uilang::Value;
namespace id = acq::dispid;
namespace plotid = mqplot32::dispid;

constexpr const char* kTitle = "FFT";
constexpr const char* kErrorTitle = "FFT Error";
constexpr const char* kNotAvailable = "A/D Subsystem not available on ";
constexpr int kPanelWidth = 11500;
constexpr int kPanelHeight = 7500;
constexpr std::int32_t kWideSampleBits = 16;
constexpr std::int32_t kBufferFlags = 2;
constexpr std::int32_t kWideBytes = 4;
constexpr std::int32_t kNarrowBytes = 2;
// Window arguments: coefficients scaled to keep a sine's amplitude, periodic form.
constexpr std::int32_t kWindowScaling = 2;
constexpr std::int32_t kWindowForm = 0;
constexpr std::int32_t kMagnitudeSpectrum = 0;
// The dB axis: 120 dB in ten divisions, centred 2 dB above a full-scale sine's level at 256 points.
constexpr double kAxisReferencePoints = 256;
constexpr double kAxisCentreOffset = 2;
constexpr double kAxisHalfSpan = 60;
constexpr float kDivisions = 10;
constexpr double kCodeAxisHalfCode = 0.5;
// The arrays the chain copies through: indexes 0 to 2048.
constexpr std::size_t kCopyArrayLength = 2049;

struct PointsOption {
    const char* name;
    std::int32_t points;
};
constexpr PointsOption kPointsOptions[] = {
    {"opt256", 256}, {"opt512", 512}, {"opt1024", 1024}, {"opt2048", 2048}};
constexpr const char* kWindowOptions[] = {"optRect",     "optHanning",     "optHamming",
                                          "optBlackman", "optBlkHarris67", "optBlkHarris92"};

ui::DefaultInstance<SpectrumForm>& Instance() {
    static ui::DefaultInstance<SpectrumForm> instance;
    return instance;
}

Value Short(int value) {
    return static_cast<std::int16_t>(value);
}

}  // namespace

std::shared_ptr<SpectrumForm> Spectrum() {
    return Instance().Get();
}

std::shared_ptr<SpectrumForm> SpectrumIfLoaded() {
    return Instance().IfLoaded();
}

void ResetSpectrum() {
    Instance().Reset();
}

SpectrumForm::SpectrumForm() : ui::Form(SpectrumFormDesign()) {}

SpectrumForm::~SpectrumForm() {
    FreeWorkBuffers();
}

uilang::Automation& SpectrumForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqFFT").Members();
}

uilang::Automation& SpectrumForm::Plot() const {
    return Get<ui::HostedControl>("mqPlotFFT").Members();
}

void SpectrumForm::Bind() {
    onLoad = [this] {
        SetWidth(kPanelWidth);
        SetHeight(kPanelHeight);
        Refresh();
        for (std::size_t i = 0; i < std::size(windowCodes_); ++i)
            windowCodes_[i] = static_cast<std::int16_t>(i);
        FillBoards();
    };
    onUnload = [this] { UnloadStep(); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    for (const PointsOption& option : kPointsOptions)
        Get<ui::OptionButton>(option.name).onClick = [this, points = option.points] {
            points_ = points;
        };
    for (int i = 0; i < static_cast<int>(std::size(kWindowOptions)); ++i)
        Get<ui::OptionButton>(kWindowOptions[i]).onClick = [this, i] {
            windowCode_ = windowCodes_[i];
        };
    Get<ui::CommandButton>("cmdStart").onClick = [this] { StartFFT(); };
    Get<ui::CommandButton>("cmdStop").onClick = [this] { StopFFT(); };
    Get<ui::CommandButton>("cmdPause").onClick = [this] { PauseClick(); };
    Get<ui::CommandButton>("cmdConfig").onClick = [this] { OptionsClick(); };
    Get<ui::CommandButton>("cmdHelp").onClick = [this] { HelpClick(); };
    Get<ui::CommandButton>("cmdPrint").onClick = [this] { PrintForm(); };
    Get<ui::HostedControl>("mqAcqFFT").onEvent = [this](std::int32_t event, uilang::Arguments&) {
        if (event == acq::event::BufferDone)
            BufferDone();
        else if (event == acq::event::OverrunError)
            OverrunError();
    };
    Get<ui::HostedControl>("mqPlotFFT").onEvent = [this](std::int32_t, uilang::Arguments&) {
        Get<ui::CommandButton>("cmdHelp").SetFocus();
    };
}

void SpectrumForm::FillBoards() {
    panel::FillBoards(Acq(), Get<ui::ComboBox>("cboBoard"));
}

void SpectrumForm::SetSettingsEnabled(bool enabled) {
    for (const char* name :
         {"fraChannel", "fraPoints", "cmdConfig", "cmdStart", "cboChan", "fraWinType"})
        Find(name).SetEnabled(enabled);
}

void SpectrumForm::SetupBoard(const std::string& board) {
    try {
        SetSettingsEnabled(false);
        uilang::Automation& acq = Acq();
        acq.Put(id::Board, board);
        acq.Put(id::SubSysType, Short(acq::kAnalogInput));
        acq.Put(id::SubSysElement, Short(0));

        SharedSettings& shared = Shared();
        shared.gDifferential = uilang::ToShort(acq.Get(id::ChannelType));
        shared.gChannelCount = uilang::ToLong(
            acq.Call(id::GetSSCaps, {Short(shared.gDifferential != 0 ? acq::caps::NumDiChannels
                                                                     : acq::caps::NumSeChannels)}));
        panel::FillChannels(Get<ui::ComboBox>("cboChan"), shared.gChannelCount);

        acq.Put(id::Frequency,
                uilang::ToDouble(acq.Call(id::GetSSCapsEx, {Short(acq::caps::MaxFreq)})));
        acq.Put(id::ClockSource, Short(0));
        acq.Put(id::Trigger, Short(0));
        acq.Put(id::DataFlow, Short(0));
        acq.Put(id::WrapMode, Short(1));
        acq.Call(id::Config, {});

        shared.gTrigger = uilang::ToShort(acq.Get(id::Trigger));
        shared.gFrequency = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
        shared.gMaxRange = uilang::ToSingle(acq.Get(id::MaxRange));
        maxRange_ = uilang::ToSingle(acq.Get(id::MaxRange));
        minRange_ = uilang::ToSingle(acq.Get(id::MinRange));
        shared.gBipolar = minRange_ < 0 ? kTrue : kFalse;
        if (uilang::ToLong(acq.Call(id::GetSSCaps, {Short(acq::caps::NumDmaChannels)})) >= 1)
            acq.Put(id::DmaUsage, Short(1));

        Get<ui::OptionButton>("opt1024").SetValue(true);
        Get<ui::OptionButton>("optBlackman").SetValue(true);
        SetSettingsEnabled(true);
        SetCaption("FFT - " + board);
        ApplySettings();
    } catch (const uilang::RuntimeError&) {
        panel::ShowSetupFailure(kNotAvailable, board, kTitle);
    }
}

void SpectrumForm::ApplySettings() {
    uilang::Automation& acq = Acq();
    SharedSettings& shared = Shared();
    acq.Put(id::Frequency, static_cast<double>(shared.gFrequency));
    acq.Call(id::Config, {});
    shared.gFrequency = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
    acq.Put(id::Trigger, shared.gTrigger);

    auto caps = [&](std::int16_t cap) { return uilang::ToLong(acq.Call(id::GetSSCaps, {cap})); };
    if (shared.gDifferential != 0) {
        if (caps(acq::caps::ChanTypeDifferential) != 0) {
            shared.gChannelCount = caps(acq::caps::NumDiChannels);
            acq.Put(id::ChannelType, Short(1));
        } else {
            shared.gDifferential = 0;
        }
    } else {
        if (caps(acq::caps::ChanTypeSingleEnded) != 0) {
            shared.gChannelCount = caps(acq::caps::NumSeChannels);
            acq.Put(id::ChannelType, Short(0));
        } else {
            shared.gDifferential = 1;
        }
    }

    // Until the first spectrum, an axis of codes from 0 V up.
    uilang::Automation& plot = Plot();
    plot.Put(plotid::DrawBuffer, std::int32_t{0});
    const float z = static_cast<float>(hxdadefs::VoltsToCode(acq, 0.0f));
    const double codes = std::ldexp(1.0, uilang::ToShort(acq.Get(id::Resolution)));
    const double span = uilang::ToSingle(acq.Get(id::MaxRange)) -
                        static_cast<double>(uilang::ToSingle(acq.Get(id::MinRange)));
    const double q = kCodeAxisHalfCode / (codes / span);
    plot.Put(plotid::YMaximum, static_cast<float>(kDivisions * q + z));
    plot.Put(plotid::YMinimum, z);
    const float step = (uilang::ToSingle(plot.Get(plotid::YMaximum)) -
                        uilang::ToSingle(plot.Get(plotid::YMinimum))) /
                       kDivisions;
    plot.Put(plotid::YGridStep, step);
    plot.Put(plotid::YLabelStep, step);
    plot.Put(plotid::Member2, false);

    auto& channels = Get<ui::ComboBox>("cboChan");
    channels.Clear();
    for (int i = 0; i < shared.gChannelCount; ++i)
        channels.AddItem(std::to_string(i));
    channels.SetText("0");

    bool unipolarRange = shared.gBipolar != kTrue && uilang::ToShort(acq.Get(id::numRanges)) > 1;
    acq.Put(id::Range, Short(unipolarRange ? 1 : 0));
    acq.Call(id::Config, {});
}

void SpectrumForm::StartFFT() {
    uilang::Automation& acq = Acq();
    try {
        acq.Put(id::ListSize, std::int32_t{1});
        acq.Put(id::ChannelList, uilang::CInt(uilang::Val(Get<ui::ComboBox>("cboChan").Text())),
                {Short(0)});
        bufferSamples_ = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)) / 2);
        if (bufferSamples_ < points_)
            bufferSamples_ = points_;

        const bool wide = uilang::ToShort(acq.Get(id::Resolution)) > kWideSampleBits;
        const std::int32_t bytes = wide ? kWideBytes : kNarrowBytes;
        for (int i = 0; i < kSpectrumBuffers; ++i) {
            hxmemdefs::Handle h =
                wide ? hxmemdefs::CallocBuffer(kBufferFlags, 0, bufferSamples_, kWideBytes)
                     : hxmemdefs::AllocBuffer(kBufferFlags, bufferSamples_);
            acq.Put(id::Queue, h);
        }
        // The pair of an earlier start goes now: the plot keeps its own copy of what it drew.
        FreeWorkBuffers();
        rawBuffer_ = hxmemdefs::CallocBuffer(kBufferFlags, 0, kRawBufferSamples, bytes);
        spectrumBuffer_ = hxmemdefs::CallocBuffer(kBufferFlags, 0, 2 * points_, bytes);

        Get<ui::Label>("lblFreq").SetCaption(
            uilang::FormatZeroDotTwo(static_cast<double>(Shared().gFrequency) / 2));
        acq.Call(id::Config, {});
        acq.Call(id::Start, {});

        for (const char* name :
             {"fraChannel", "fraBoard", "cmdStart", "cmdConfig", "fraPoints", "fraWinType"})
            Find(name).SetEnabled(false);
        for (const PointsOption& option : kPointsOptions)
            Find(option.name).SetEnabled(false);
        for (const char* name : kWindowOptions)
            Find(name).SetEnabled(false);
        if (uilang::ToLong(acq.Call(id::GetSSCaps, {Short(acq::caps::Pause)})) > 0)
            Get<ui::CommandButton>("cmdPause").SetEnabled(true);
        auto& stop = Get<ui::CommandButton>("cmdStop");
        stop.SetEnabled(true);
        stop.SetFocus();
    } catch (const uilang::RuntimeError& error) {
        panel::ShowOperationError(acq, error, kErrorTitle);
    }
}

void SpectrumForm::BufferDone() {
    uilang::Automation& plot = Plot();
    plot.Put(plotid::AutoRedraw, false);
    uilang::Automation& acq = Acq();
    hxmemdefs::Handle h = 0;
    try {
        h = uilang::ToLong(acq.Get(id::Queue));
        if (h == 0)
            return;
        Analyse(h);
        DrawSpectrum();
        acq.Put(id::Queue, h);
    } catch (const uilang::RuntimeError& error) {
        // A chain that fails once fails for every buffer: the buffer goes back to the panel's
        // queue so that the stop frees it, the run stops and the failure is shown once.
        if (h != 0) {
            try {
                acq.Put(id::Queue, h);
            } catch (const uilang::RuntimeError&) {
                try {
                    hxmemdefs::FreeBuffer(h);
                } catch (const uilang::RuntimeError&) {
                }
            }
        }
        StopFFT();
        ui::Runtime::Current().MsgBox(error.Description(), ui::kMbExclamation, kErrorTitle);
    }
}

void SpectrumForm::Analyse(hxmemdefs::Handle done) {
    uilang::Automation& acq = Acq();
    if (uilang::ToShort(acq.Get(id::Resolution)) <= kWideSampleBits) {
        std::vector<std::int16_t> samples(kCopyArrayLength);
        hxmemdefs::CopyFromBuffer(done, samples.data(), points_);
        hxmemdefs::CopyToBuffer(rawBuffer_, samples.data(), points_);
    } else {
        std::vector<std::int32_t> samples(kCopyArrayLength);
        hxmemdefs::CopyLongFromBuffer(done, samples.data(), points_);
        hxmemdefs::CopyLongToBuffer(rawBuffer_, samples.data(), points_);
    }
    hxdspdefs::InputToVolts(hxdadefs::ReadScale(acq), rawBuffer_, spectrumBuffer_);
    hxdspdefs::Window(spectrumBuffer_, spectrumBuffer_, points_, windowCode_, kWindowScaling,
                      kWindowForm);
    hxdspdefs::RealFFT(spectrumBuffer_, spectrumBuffer_, kMagnitudeSpectrum,
                       static_cast<std::int16_t>(points_));
    hxdspdefs::MagToDB(spectrumBuffer_, spectrumBuffer_);
}

void SpectrumForm::DrawSpectrum() {
    uilang::Automation& plot = Plot();
    const double c =
        20 * std::log(points_ / kAxisReferencePoints) / std::log(10.0) + kAxisCentreOffset;
    plot.Put(plotid::YMinimum, static_cast<float>(c - kAxisHalfSpan));
    plot.Put(plotid::YMaximum, static_cast<float>(c + kAxisHalfSpan));
    plot.Put(plotid::XGridStep, 0.0f);
    plot.Put(plotid::XLabelStep, static_cast<float>(points_ / 2.0 / kDivisions));
    plot.Put(plotid::XSpan, points_ / 2.0);
    // The spectrum buffer holds single-precision values.
    plot.Put(plotid::DataEncoding, mqplot32::kEncodingSingles);
    plot.Put(plotid::DrawBuffer, spectrumBuffer_);
    plot.Put(plotid::AutoRedraw, true);
    plot.Put(plotid::Member2, false);
    plot.Put(plotid::Member39, false);
    const float top = uilang::ToSingle(plot.Get(plotid::YMaximum));
    const float bottom = uilang::ToSingle(plot.Get(plotid::YMinimum));
    plot.Put(plotid::YGridStep, (top - bottom) / kDivisions);
    plot.Put(plotid::YLabelStep, 0.0f);
    Get<ui::Label>("lblMaxVolts").SetCaption("0");
    Get<ui::Label>("lblMinVolts").SetCaption(uilang::CStr(bottom - top));
}

void SpectrumForm::StopFFT() {
    try {
        for (const char* name : {"fraBoard", "cmdStart", "cmdConfig"})
            Find(name).SetEnabled(true);
        Get<ui::CommandButton>("cmdStop").SetEnabled(false);
        Get<ui::CommandButton>("cmdPause").SetEnabled(false);
        for (const char* name : {"fraChannel", "fraPoints", "fraWinType"})
            Find(name).SetEnabled(true);
        for (const PointsOption& option : kPointsOptions)
            Find(option.name).SetEnabled(true);
        for (const char* name : kWindowOptions)
            Find(name).SetEnabled(true);
        uilang::Automation& acq = Acq();
        acq.Call(id::Abort, {});
        acq.Call(id::Flush, {});
        panel::FreeDoneBuffers(acq);
    } catch (const uilang::RuntimeError&) {
    }
}

void SpectrumForm::OverrunError() {
    ui::Runtime& runtime = ui::Runtime::Current();
    runtime.MsgBox(kOverrunText, ui::kMbOkOnly, runtime.app.title);
    StopFFT();
}

void SpectrumForm::PauseClick() {
    if (paused_) {
        Acq().Call(id::Continue, {});
        paused_ = false;
        Get<ui::CommandButton>("cmdStop").SetEnabled(true);
    } else {
        Acq().Call(id::Pause, {});
        paused_ = true;
        Get<ui::CommandButton>("cmdStop").SetEnabled(false);
    }
}

void SpectrumForm::OptionsClick() {
    auto dialog = Options();
    SharedSettings& shared = Shared();
    dialog->Get<ui::Label>("lblBoard").SetCaption(Get<ui::ComboBox>("cboBoard").Text());
    dialog->Get<ui::Label>("lblSS").SetCaption("HXSS_AD");
    dialog->Get<ui::OptionButton>(shared.gBipolar == kTrue ? "optBipolar" : "optUniPolar")
        .SetValue(true);
    uilang::Automation& acq = Acq();
    if (uilang::ToLong(acq.Call(id::GetSSCaps, {acq::caps::NumRanges})) < 2)
        dialog->Find("optUniPolar").SetEnabled(false);
    dialog->Find("optSE").SetEnabled(
        uilang::ToLong(acq.Call(id::GetSSCaps, {acq::caps::ChanTypeSingleEnded})) != 0);
    dialog->Get<ui::TextBox>("txtFreq").SetText(
        uilang::Str(static_cast<double>(shared.gFrequency)));
    for (const char* name : {"optExtClk", "optIntClk"})
        dialog->Find(name).SetEnabled(false);
    dialog->ShowModal(this);
    for (const char* name : {"optExtClk", "optIntClk"})
        dialog->Find(name).SetEnabled(true);
    ApplySettings();
}

void SpectrumForm::HelpClick() {
    auto& help = Get<ui::CommonDialog>("dlgFFT");
    help.helpFile = ui::Runtime::Current().app.helpFile;
    help.helpContext = kSpectrumHelpContext;
    help.helpCommand = static_cast<std::int32_t>(ui::kHelpContext);
    help.ShowHelp();
}

void SpectrumForm::FreeWorkBuffers() {
    for (hxmemdefs::Handle* h : {&rawBuffer_, &spectrumBuffer_}) {
        if (*h == 0)
            continue;
        try {
            hxmemdefs::FreeBuffer(*h);
        } catch (const uilang::RuntimeError&) {
        }
        *h = 0;
    }
}

void SpectrumForm::UnloadStep() {
    if (Get<ui::CommandButton>("cmdStop").Enabled())
        StopFFT();
    panel::ReleaseSubsystem(Get<ui::HostedControl>("mqAcqFFT"));
    FreeWorkBuffers();
}

}  // namespace larkspur
