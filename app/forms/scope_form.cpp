#include "forms/scope_form.h"

#include "forms/options_form.h"
#include "forms/scope_form_design.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "modules/hxmemdefs.h"
#include "modules/panel_pattern.h"
#include "modules/shared_settings.h"
#include "mqplot32.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

using uilang::Value;
namespace id = acq::dispid;
namespace plotid = mqplot32::dispid;

constexpr const char* kTitle = "Scope";
constexpr const char* kErrorTitle = "Scope Error";
constexpr const char* kNotAvailable = "A/D Subsystem not available on ";
constexpr int kPanelWidth = 11700;
constexpr int kPanelHeight = 7500;
constexpr float kDivisionsAbove = 5;
constexpr int kMaxGainSteps = 3;
constexpr std::int32_t kSetupFrequency = 100000;
constexpr std::int32_t kWideSampleBits = 16;
constexpr std::int32_t kRangeColumnWidth = 1200;
constexpr int kAlignCentre = 4;
constexpr int kAlignLeftCentre = 3;
constexpr std::uint32_t kStopWaitMs = 500;
// Stop answered for a subsystem that no longer runs (the library's status 28).
constexpr std::int32_t kNotRunningError = acq::kStatusErrorBase + 28;

struct TimeBase {
    const char* text;
    std::int32_t frequency;
};

constexpr TimeBase kTimeBases[] = {
    {".1", 10000}, {".01", 100000}, {".001", 100000}, {".0001", 100000}, {".00001", 1000000},
};

constexpr std::int32_t kTraceColours[] = {0x0000FF, 0xFF0000};  // row 0 red, row 1 blue

ui::DefaultInstance<ScopeForm>& Instance() {
    static ui::DefaultInstance<ScopeForm> instance;
    return instance;
}

Value Short(int value) {
    return static_cast<std::int16_t>(value);
}

}  // namespace

std::shared_ptr<ScopeForm> Scope() {
    return Instance().Get();
}

std::shared_ptr<ScopeForm> ScopeIfLoaded() {
    return Instance().IfLoaded();
}

void ResetScope() {
    Instance().Reset();
}

ScopeForm::ScopeForm() : ui::Form(ScopeFormDesign()) {}

uilang::Automation& ScopeForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqScope").Members();
}

uilang::Automation& ScopeForm::Plot() const {
    return Get<ui::HostedControl>("mqPlotScope").Members();
}

void ScopeForm::Bind() {
    onLoad = [this] {
        SetWidth(kPanelWidth);
        SetHeight(kPanelHeight);
        Refresh();
        FillBoards();
    };
    onUnload = [this] { UnloadStep(); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    Get<ui::ComboBox>("cboSec").onClick = [this] { ApplySettings(); };
    Get<ui::CommandButton>("cmdAdd").onClick = [this] { AddChannel(); };
    Get<ui::CommandButton>("cmdDelete").onClick = [this] { DeleteChannel(); };
    Get<ui::Grid>("grdScope").onDblClick = [this] { DeflectionStepClick(); };
    Get<ui::OptionButton>("optAutoTrig").onClick = [this] { Acq().Put(id::WrapMode, Short(1)); };
    Get<ui::OptionButton>("optManTrig").onClick = [this] { Acq().Put(id::WrapMode, Short(0)); };
    Get<ui::CommandButton>("cmdStart").onClick = [this] { StartScope(); };
    Get<ui::CommandButton>("cmdStop").onClick = [this] { StopScope(); };
    Get<ui::CommandButton>("cmdPause").onClick = [this] { PauseClick(); };
    Get<ui::CommandButton>("cmdConfig").onClick = [this] { OptionsClick(); };
    Get<ui::CommandButton>("cmdHelp").onClick = [this] { HelpClick(); };
    Get<ui::CommandButton>("cmdPrint").onClick = [this] { PrintForm(); };
    Get<ui::HostedControl>("mqAcqScope").onEvent = [this](std::int32_t event, uilang::Arguments&) {
        if (event == acq::event::BufferDone)
            BufferDone(false);
        else if (event == acq::event::BufferReused)
            BufferDone(true);
        else if (event == acq::event::OverrunError)
            OverrunError();
    };
    Get<ui::HostedControl>("mqPlotScope").onEvent = [this](std::int32_t event, uilang::Arguments&) {
        if (event == mqplot32::kClickEvent)
            Get<ui::CommandButton>("cmdHelp").SetFocus();
    };
}

void ScopeForm::FillBoards() {
    auto& boards = Get<ui::ComboBox>("cboBoard");
    std::int16_t count = uilang::ToShort(Acq().Get(id::numBoards));
    boards.Clear();
    for (int i = 0; i < count; ++i)
        boards.AddItem(uilang::ToText(Acq().Get(id::BoardList, {Short(i)})));
}

std::string ScopeForm::RangeText() const {
    if (Shared().gBipolar == kTrue)
        return "-" + uilang::Str(range_) + " to" + uilang::Str(range_);
    return "0 to" + uilang::Str(range_);
}

void ScopeForm::SetupBoard(const std::string& board) {
    try {
        for (const char* name : {"fraChannel", "fraTrig", "fraDeflect", "cmdConfig", "cmdAdd"})
            Find(name).SetEnabled(false);
        auto& grid = Get<ui::Grid>("grdScope");
        grid.Clear();
        grid.SetRows(0);

        uilang::Automation& acq = Acq();
        acq.Put(id::Board, board);
        acq.Put(id::SubSysType, Short(acq::kAnalogInput));
        acq.Put(id::SubSysElement, Short(0));
        acq.Put(id::Frequency, static_cast<double>(kSetupFrequency));
        acq.Put(id::ClockSource, Short(0));
        acq.Put(id::Trigger, Short(0));
        acq.Put(id::DataFlow, Short(0));
        acq.Put(id::WrapMode, Short(0));
        acq.Call(id::Config, {});

        SharedSettings& shared = Shared();
        shared.gFrequency = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
        shared.gTrigger = uilang::ToShort(acq.Get(id::Trigger));
        shared.gMaxRange = uilang::ToSingle(acq.Get(id::MaxRange));
        maxRange_ = uilang::ToSingle(acq.Get(id::MaxRange));
        minRange_ = uilang::ToSingle(acq.Get(id::MinRange));
        shared.gBipolar = minRange_ < 0 ? kTrue : kFalse;
        shared.gClockSource = uilang::ToShort(acq.Get(id::ClockSource));
        shared.gDifferential = uilang::ToShort(acq.Get(id::ChannelType));
        shared.gChannelCount = uilang::ToLong(
            acq.Call(id::GetSSCaps, {Short(shared.gDifferential != 0 ? acq::caps::NumDiChannels
                                                                     : acq::caps::NumSeChannels)}));

        grid.Clear();
        grid.SetRows(0);
        gain_ = 1;
        range_ = uilang::ToSingle(acq.Get(id::MaxRange));
        voltsPerDiv_ = range_ / kDivisionsAbove;
        Get<ui::Label>("lblVolt").SetCaption(uilang::Str(voltsPerDiv_));

        auto& seconds = Get<ui::ComboBox>("cboSec");
        seconds.Clear();
        for (const TimeBase& base : kTimeBases)
            seconds.AddItem(base.text);
        seconds.SetListIndex(0);  // its Click applies the settings once

        for (const char* name : {"fraChannel", "fraTrig", "fraDeflect", "cmdConfig", "cmdAdd"})
            Find(name).SetEnabled(true);
        SetCaption("Scope - " + board);
        ApplySettings();
        AddChannel();
    } catch (const uilang::RuntimeError&) {
        ui::Runtime::Current().MsgBox(kNotAvailable + board, ui::kMbExclamation, kTitle);
    }
}

void ScopeForm::ApplySettings() {
    uilang::Automation& acq = Acq();
    SharedSettings& shared = Shared();
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

    float v = kDivisionsAbove * voltsPerDiv_;
    std::string vText = uilang::CStr(v);
    float vMin = 0;
    float divisions = kDivisionsAbove;
    bool bipolar = shared.gBipolar == kTrue;
    Get<ui::Label>("lblMinVolts").SetCaption(bipolar ? "-" + vText + "V" : "0V");
    Get<ui::Label>("lblCenter").SetCaption(bipolar ? "0" : "");
    Get<ui::Label>("lblMaxVolts").SetCaption(vText + "V");
    if (bipolar) {
        vMin = -v;
        divisions = 2 * kDivisionsAbove;
    }

    bool unipolarRange = !bipolar && uilang::ToShort(acq.Get(id::numRanges)) > 1;
    acq.Put(id::Range, Short(unipolarRange ? 1 : 0));

    uilang::Automation& plot = Plot();
    plot.Put(plotid::DrawBuffer, std::int32_t{0});
    plot.Put(plotid::YMaximum, hxdadefs::VoltsToCode(acq, gain_ * v));
    plot.Put(plotid::YMinimum, hxdadefs::VoltsToCode(acq, gain_ * vMin));
    float step = (uilang::ToSingle(plot.Get(plotid::YMaximum)) -
                  uilang::ToSingle(plot.Get(plotid::YMinimum))) /
                 divisions;
    plot.Put(plotid::YGridStep, step);
    plot.Put(plotid::YLabelStep, step);

    auto& channels = Get<ui::ComboBox>("cboChan");
    channels.Clear();
    for (int i = 0; i < shared.gChannelCount; ++i)
        channels.AddItem(std::to_string(i));
    channels.SetListIndex(0);

    auto& grid = Get<ui::Grid>("grdScope");
    if (grid.Rows() > 0) {
        grid.SetCol(1);
        for (int row = 0; row < grid.Rows(); ++row) {
            grid.SetRow(row);
            grid.SetText(RangeText());
        }
    }

    int base = Get<ui::ComboBox>("cboSec").ListIndex();
    acq.Put(id::Frequency, static_cast<double>(kTimeBases[base].frequency));
    acq.Call(id::Config, {});
    shared.gFrequency = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
}

void ScopeForm::AddChannel() {
    auto& grid = Get<ui::Grid>("grdScope");
    std::string channel = Get<ui::ComboBox>("cboChan").Text();
    for (int row = 0; row < grid.Rows(); ++row)
        if (grid.TextMatrix(row, 0) == channel)
            return;
    int n = grid.Rows();
    uilang::Automation& acq = Acq();
    acq.Put(id::ListSize, static_cast<std::int32_t>(n + 1));
    acq.Put(id::ChannelList, uilang::CInt(uilang::Val(channel)), {Short(n)});
    grid.AddItem(channel);
    grid.SetCol(0);
    grid.SetRow(n);
    grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[n]));
    grid.SetCol(1);
    grid.SetColWidth(1, kRangeColumnWidth);
    grid.SetText(RangeText());
    grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[n]));
    grid.SetColAlignment(0, kAlignCentre);
    grid.SetColAlignment(1, kAlignLeftCentre);
    if (grid.Rows() > 1)
        Get<ui::CommandButton>("cmdDelete").SetEnabled(true);
    if (grid.Rows() > 1)
        Get<ui::CommandButton>("cmdAdd").SetEnabled(false);
    RebuildChannelList();
    Get<ui::CommandButton>("cmdStart").SetEnabled(true);
}

void ScopeForm::DeleteChannel() {
    auto& grid = Get<ui::Grid>("grdScope");
    int n = grid.Rows();
    int row = grid.Row();
    if (n > 1) {
        Acq().Put(id::ListSize, static_cast<std::int32_t>(n - 1));
        grid.RemoveItem(row);
        RebuildChannelList();
    }
    Get<ui::CommandButton>("cmdAdd").SetEnabled(true);
}

void ScopeForm::RebuildChannelList() {
    auto& grid = Get<ui::Grid>("grdScope");
    uilang::Automation& acq = Acq();
    for (int i = 0; i < grid.Rows(); ++i) {
        grid.SetRow(i);
        grid.SetCol(0);
        acq.Put(id::ChannelList, uilang::CInt(uilang::Val(grid.Text())), {Short(i)});
        grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[i]));
        grid.SetCol(1);
        acq.Put(id::GainList, static_cast<double>(gain_), {Short(i)});
        grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[i]));
    }
    Get<ui::CommandButton>("cmdDelete").SetEnabled(grid.Rows() > 1);
    ApplySettings();
}

void ScopeForm::DeflectionStepClick() {
    deflectionStep_ += 1;
    if (deflectionStep_ > kMaxGainSteps) {
        gain_ = 1;
        range_ = uilang::ToSingle(Acq().Get(id::MaxRange));
        voltsPerDiv_ = range_ / kDivisionsAbove;
        deflectionStep_ = 0;
    } else {
        range_ /= 2;
        voltsPerDiv_ /= 2;
        gain_ *= 2;
    }
    Get<ui::Label>("lblVolt").SetCaption(uilang::Str(voltsPerDiv_));
    auto& grid = Get<ui::Grid>("grdScope");
    grid.SetCol(1);
    for (int row = 0; row < grid.Rows(); ++row) {
        grid.SetRow(row);
        grid.SetText(RangeText());
    }
    RebuildChannelList();
}

void ScopeForm::SetIdleControls(bool idle) {
    for (const char* name :
         {"grdScope", "cboSec", "fraTrig", "fraChannel", "fraBoard", "cmdStart", "cmdConfig"})
        Find(name).SetEnabled(idle);
}

void ScopeForm::StartScope() {
    uilang::Automation& acq = Acq();
    try {
        SetIdleControls(false);
        auto& stop = Get<ui::CommandButton>("cmdStop");
        stop.SetEnabled(true);
        stop.SetFocus();
        if (uilang::ToLong(acq.Call(id::GetSSCaps, {acq::caps::Pause})) != 0)
            Get<ui::CommandButton>("cmdPause").SetEnabled(true);

        int base = Get<ui::ComboBox>("cboSec").ListIndex();
        acq.Put(id::Frequency, static_cast<double>(kTimeBases[base].frequency));
        acq.Call(id::Config, {});
        std::int32_t f = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
        Shared().gFrequency = f;

        int buffers = Get<ui::OptionButton>("optAutoTrig").Value() ? 2 : 1;
        for (int i = 0; i < buffers; ++i) {
            std::int32_t bytes = uilang::ToShort(acq.Get(id::Resolution)) > kWideSampleBits ? 4 : 2;
            hxmemdefs::Handle h = hxmemdefs::CallocBuffer(0, 0, f, bytes);
            if (h != 0)
                acq.Put(id::Queue, h);
        }
        acq.Call(id::Config, {});

        uilang::Automation& plot = Plot();
        plot.Put(plotid::DrawBuffer, std::int32_t{0});
        plot.Put(plotid::DataEncoding, uilang::ToShort(acq.Get(id::Encoding)));
        std::int32_t listSize = uilang::ToLong(acq.Get(id::ListSize));
        plot.Put(plotid::TraceCount, uilang::CInt(listSize));
        double s = uilang::Val(Get<ui::ComboBox>("cboSec").Text());
        double span = f / (0.1 / s);
        span = span / listSize;
        plot.Put(plotid::XSpan, span);
        plot.Put(plotid::XStart, std::int32_t{0});
        plot.Put(plotid::XGridStep, static_cast<float>(span / 10));
        plot.Put(plotid::XLabelStep, static_cast<float>(span / 10));
        auto& grid = Get<ui::Grid>("grdScope");
        for (int row = 0; row < grid.Rows(); ++row) {
            grid.SetRow(row);
            plot.Put(plotid::TraceColor, static_cast<std::int32_t>(grid.CellBackColor()),
                     {Short(row)});
        }
        acq.Call(id::Start, {});
    } catch (const uilang::RuntimeError& error) {
        std::string text = error.Description();
        try {
            text = uilang::ToText(acq.Get(id::LastErrDescription));
        } catch (const uilang::RuntimeError&) {
        }
        ui::Runtime::Current().MsgBox(text, ui::kMbExclamation, kErrorTitle);
        Get<ui::CommandButton>("cmdPause").SetEnabled(false);
        Get<ui::CommandButton>("cmdStop").SetEnabled(false);
        SetIdleControls(true);
    }
}

void ScopeForm::BufferDone(bool reused) {
    if (hooks.before)
        hooks.before();
    bool drawn = false;
    try {
        uilang::Automation& acq = Acq();
        std::int32_t h = uilang::ToLong(acq.Get(id::Queue));
        if (h != 0) {
            if (!reused)
                Get<ui::HostedControl>("mqPlotScope").SetVisible(true);
            Plot().Put(plotid::DrawBuffer, h);
            drawn = true;
            if (Get<ui::OptionButton>("optAutoTrig").Value()) {
                acq.Put(id::Queue, h);
            } else {
                if (!reused) {
                    Get<ui::CommandButton>("cmdPause").SetEnabled(false);
                    Get<ui::CommandButton>("cmdStop").SetEnabled(false);
                    SetIdleControls(true);
                    Get<ui::CommandButton>("cmdStart").SetFocus();
                }
                hxmemdefs::FreeBuffer(h);
                panel::FreeDoneBuffers(acq);
            }
        }
    } catch (const uilang::RuntimeError&) {
    }
    if (hooks.after)
        hooks.after(drawn);
}

void ScopeForm::StopScope() {
    try {
        for (const char* name :
             {"grdScope", "cboSec", "fraTrig", "fraChannel", "fraBoard", "cmdConfig"})
            Find(name).SetEnabled(true);
        Get<ui::CommandButton>("cmdStop").SetEnabled(false);
        Get<ui::CommandButton>("cmdPause").SetEnabled(false);
        auto& start = Get<ui::CommandButton>("cmdStart");
        start.SetEnabled(true);
        start.SetFocus();
        uilang::Automation& acq = Acq();
        try {
            acq.Call(id::Stop, {});
        } catch (const uilang::RuntimeError& error) {
            // A subsystem that the library already aborted (an overrun, or no buffer queued
            // again in time) no longer runs: its buffers still have to be taken back.
            if (error.Number() != kNotRunningError)
                throw;
        }
        ui::Sleep(kStopWaitMs);
        acq.Call(id::Flush, {});
        ui::Sleep(kStopWaitMs);
        panel::FreeDoneBuffers(acq);
    } catch (const uilang::RuntimeError&) {
    }
}

void ScopeForm::OverrunError() {
    ui::Runtime& runtime = ui::Runtime::Current();
    runtime.MsgBox(kOverrunText, ui::kMbOkOnly, runtime.app.title);
    StopScope();
}

void ScopeForm::PauseClick() {
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

void ScopeForm::OptionsClick() {
    auto dialog = Options();
    SharedSettings& shared = Shared();
    dialog->Get<ui::Label>("lblBoard").SetCaption(Get<ui::ComboBox>("cboBoard").Text());
    dialog->Get<ui::Label>("lblSS").SetCaption("HXSS_AD");
    dialog->Get<ui::OptionButton>(shared.gBipolar == kTrue ? "optBipolar" : "optUniPolar")
        .SetValue(true);
    dialog->Get<ui::TextBox>("txtFreq").SetText(
        uilang::Str(static_cast<double>(shared.gFrequency)));
    uilang::Automation& acq = Acq();
    if (uilang::ToLong(acq.Call(id::GetSSCaps, {acq::caps::NumRanges})) < 2)
        dialog->Find("fraRange").SetEnabled(false);
    dialog->Find("optSE").SetEnabled(
        uilang::ToLong(acq.Call(id::GetSSCaps, {acq::caps::ChanTypeSingleEnded})) != 0);
    for (const char* name : {"optExtClk", "optIntClk", "txtFreq"})
        dialog->Find(name).SetEnabled(false);
    dialog->ShowModal(this);
    for (const char* name : {"fraRange", "optExtClk", "optIntClk", "txtFreq"})
        dialog->Find(name).SetEnabled(true);
    ApplySettings();
}

void ScopeForm::HelpClick() {
    auto& help = Get<ui::CommonDialog>("dlgScope");
    help.helpFile = ui::Runtime::Current().app.helpFile;
    help.helpContext = kScopeHelpContext;
    help.helpCommand = static_cast<std::int32_t>(ui::kHelpContext);
    help.ShowHelp();
}

void ScopeForm::UnloadStep() {
    if (Get<ui::CommandButton>("cmdStop").Enabled())
        StopScope();
    std::int32_t hdass = 0;
    try {
        hdass = uilang::ToLong(Acq().Get(id::hDass));
    } catch (const uilang::RuntimeError&) {
    }
    hxdadefs::ReleaseDASS(hdass);
}

}  // namespace larkspur
