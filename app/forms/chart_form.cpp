#include "forms/chart_form.h"

#include "forms/chart_form_design.h"
#include "forms/options_form.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "modules/panel_pattern.h"
#include "modules/shared_settings.h"
#include "mqplot32.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"
#include "uilang/datetime.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

using uilang::Value;
namespace id = acq::dispid;
namespace plotid = mqplot32::dispid;

constexpr const char* kCaption = "Strip Chart";
constexpr const char* kSetupTitle = "Chart";
constexpr const char* kErrorTitle = "Strip Chart Error";
constexpr const char* kNotAvailable = "A/D Subsystem not available on ";
constexpr const char* kStartError = "Velkor error.  Change settings and retry.";
constexpr int kPanelWidth = 11500;
constexpr int kPanelHeight = 7500;

constexpr const char* kSecondsTexts[] = {" .1", " 1", " 10", " 60"};
constexpr const char* kVoltsTexts[] = {" 5", " 2", " 1", " .1"};
constexpr int kSetupSecondsIndex = 0;
constexpr int kSetupVoltsIndex = 1;

// Trace colours of the first four list rows, 0x00BBGGRR.
constexpr std::int32_t kTraceColours[] = {0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00};
constexpr int kDrawnRows = 4;

constexpr int kMaxGainSteps = 3;
constexpr std::int16_t kSingleValueFlow = 1;
constexpr float kDivisionsAbove = 5;
constexpr float kBipolarDivisions = 10;
constexpr float kUnipolarDivisions = 5;
constexpr double kMillisecondsPerSecond = 1000;
constexpr std::int32_t kRangeColumnWidth = 1200;
constexpr int kAlignCentre = 4;
constexpr int kAlignLeftCentre = 3;

// Live plot: 100 points over 10 divisions.
constexpr std::int32_t kLiveHistory = 100;
constexpr double kPointsShown = 100;
constexpr float kPointsPerDivision = 10;
constexpr std::int16_t kDivisionsAcross = 10;

ui::DefaultInstance<ChartForm>& Instance() {
    static ui::DefaultInstance<ChartForm> instance;
    return instance;
}

Value Short(int value) {
    return static_cast<std::int16_t>(value);
}

}  // namespace

std::shared_ptr<ChartForm> Chart() {
    return Instance().Get();
}

std::shared_ptr<ChartForm> ChartIfLoaded() {
    return Instance().IfLoaded();
}

void ResetChart() {
    Instance().Reset();
}

ChartForm::ChartForm() : ui::Form(ChartFormDesign()) {}

uilang::Automation& ChartForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqChart").Members();
}

uilang::Automation& ChartForm::Plot() const {
    return Get<ui::HostedControl>("mqPlotChart").Members();
}

void ChartForm::UserAction(void (ChartForm::*action)()) {
    if (routineRunning_) {
        (this->*action)();
        return;
    }
    try {
        (this->*action)();
    } catch (const uilang::RuntimeError& error) {
        panel::ShowOperationError(Acq(), error, kCaption);
    }
}

void ChartForm::Bind() {
    onLoad = [this] {
        SetWidth(kPanelWidth);
        SetHeight(kPanelHeight);
        Refresh();
        panel::FillBoards(Acq(), Get<ui::ComboBox>("cboBoard"));
    };
    onUnload = [this] { UnloadStep(); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    Get<ui::ComboBox>("cboSec").onClick = [this] {
        if (!Get<ui::ComboBox>("cboVolt").Text().empty())
            UserAction(&ChartForm::ApplySettings);
    };
    Get<ui::ComboBox>("cboVolt").onClick = [this] {
        if (!Get<ui::ComboBox>("cboSec").Text().empty())
            UserAction(&ChartForm::ApplySettings);
    };
    Get<ui::CommandButton>("cmdAdd").onClick = [this] { UserAction(&ChartForm::AddChannel); };
    Get<ui::CommandButton>("cmdDelete").onClick = [this] { UserAction(&ChartForm::DeleteChannel); };
    Get<ui::Grid>("grdChart").onDblClick = [this] { UserAction(&ChartForm::DeflectionStepClick); };
    Get<ui::CommandButton>("cmdStart").onClick = [this] { StartChart(); };
    Get<ui::Timer>("tmrChart").onTimer = [this] { PollingTick(); };
    Get<ui::CommandButton>("cmdStop").onClick = [this] { StopChart(); };
    Get<ui::CommandButton>("cmdConfig").onClick = [this] { UserAction(&ChartForm::OptionsClick); };
    Get<ui::CommandButton>("cmdHelp").onClick = [this] { HelpClick(); };
    Get<ui::CommandButton>("cmdPrint").onClick = [this] { PrintForm(); };
    Get<ui::CommandButton>("cmdSave").onClick = [this] { SaveClick(); };
    Get<ui::CommandButton>("cmdOpen").onClick = [this] { OpenClick(); };
    Get<ui::CommandButton>("cmdSheet").onClick = [this] { ExportClick(); };
    auto& scroll = Get<ui::ScrollBar>("hsbChart");
    scroll.onChange = [this] { UserAction(&ChartForm::ViewStep); };
    scroll.onScroll = [this] { UserAction(&ChartForm::ViewStep); };
    Get<ui::HostedControl>("mqPlotChart").onEvent = [this](std::int32_t event, uilang::Arguments&) {
        if (event == mqplot32::kClickEvent)
            Get<ui::CommandButton>("cmdHelp").SetFocus();
    };
}

double ChartForm::SecondsPerPoint() const {
    return uilang::Val(Get<ui::ComboBox>("cboSec").Text());
}

std::string ChartForm::RangeText() const {
    if (Shared().gBipolar == kTrue)
        return "-" + uilang::Str(range_) + " to" + uilang::Str(range_);
    return "0 to" + uilang::Str(range_);
}

void ChartForm::SetupBoard(const std::string& board) {
    panel::SetupInProgress setup(routineRunning_);
    try {
        for (const char* name : {"cmdSheet", "cmdConfig", "cmdAdd", "cmdOpen", "cmdSave"})
            Find(name).SetEnabled(false);
        auto& grid = Get<ui::Grid>("grdChart");
        grid.Clear();
        grid.SetRows(0);
        Find("fraChannel").SetEnabled(false);
        Find("fraDeflect").SetEnabled(false);

        uilang::Automation& acq = Acq();
        acq.Put(id::Board, board);
        acq.Put(id::SubSysType, Short(acq::kAnalogInput));
        acq.Put(id::SubSysElement, Short(0));
        acq.Put(id::Frequency, static_cast<double>(uilang::CLng(uilang::ToDouble(
                                   acq.Call(id::GetSSCapsEx, {acq::caps::MaxFreq})))));
        acq.Put(id::ClockSource, Short(0));
        acq.Put(id::DataFlow, Short(kSingleValueFlow));
        acq.Put(id::WrapMode, Short(0));
        acq.Put(id::Trigger, Short(0));
        acq.Call(id::Config, {});

        SharedSettings& shared = Shared();
        shared.gDifferential = uilang::ToShort(acq.Get(id::ChannelType));
        shared.gChannelCount = uilang::ToLong(
            acq.Call(id::GetSSCaps, {Short(shared.gDifferential != 0 ? acq::caps::NumDiChannels
                                                                     : acq::caps::NumSeChannels)}));
        shared.gTrigger = uilang::ToShort(acq.Get(id::Trigger));
        shared.gClockSource = uilang::ToShort(acq.Get(id::ClockSource));
        shared.gMaxRange = uilang::ToSingle(acq.Get(id::MaxRange));
        shared.gBipolar = uilang::ToSingle(acq.Get(id::MinRange)) < 0 ? kTrue : kFalse;
        shared.gFrequency = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
        shared.gTrigger = uilang::ToShort(acq.Get(id::Trigger));
        shared.gClockSource = uilang::ToShort(acq.Get(id::ClockSource));

        auto& seconds = Get<ui::ComboBox>("cboSec");
        seconds.Clear();
        for (const char* text : kSecondsTexts)
            seconds.AddItem(text);
        seconds.SetListIndex(kSetupSecondsIndex);

        gain_ = 1;
        range_ = uilang::ToSingle(acq.Get(id::MaxRange));

        auto& volts = Get<ui::ComboBox>("cboVolt");
        volts.Clear();
        for (const char* text : kVoltsTexts)
            volts.AddItem(text);
        volts.SetListIndex(kSetupVoltsIndex);  // its Click applies the settings

        grid.Clear();
        grid.SetRows(0);
        for (const char* name : {"fraChannel", "fraDeflect", "cmdOpen", "cmdConfig", "cmdAdd"})
            Find(name).SetEnabled(true);
        SetCaption(std::string(kCaption) + " - " + board);
        AddChannel();
        ApplySettings();
        records_.assign(static_cast<std::size_t>(kChartStoreCapacity) + 1, chart::ChartRecord{});
    } catch (const uilang::RuntimeError&) {
        panel::ShowSetupFailure(kNotAvailable, board, kSetupTitle);
    }
}

void ChartForm::ApplySettings() {
    uilang::Automation& acq = Acq();
    SharedSettings& shared = Shared();
    acq.Put(id::Frequency, static_cast<double>(shared.gFrequency));
    acq.Call(id::Config, {});
    shared.gFrequency = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
    acq.Put(id::Trigger, shared.gTrigger);

    auto caps = [&](std::int16_t cap) { return uilang::ToLong(acq.Call(id::GetSSCaps, {cap})); };
    if (shared.gDifferential == 0) {
        if (caps(acq::caps::ChanTypeSingleEnded) != 0) {
            shared.gChannelCount = caps(acq::caps::NumSeChannels);
            acq.Put(id::ChannelType, Short(0));
        } else {
            shared.gDifferential = 1;
        }
    } else {
        if (caps(acq::caps::ChanTypeDifferential) != 0) {
            shared.gChannelCount = caps(acq::caps::NumDiChannels);
            acq.Put(id::ChannelType, Short(1));
        } else {
            shared.gDifferential = 0;
        }
    }

    double s = SecondsPerPoint();
    Get<ui::Label>("lblxDiv").SetCaption(uilang::CStr(s * kPointsPerDivision));
    auto& from = Get<ui::Label>("lblTFfrom");
    from.SetCaption(uilang::Str(Get<ui::ScrollBar>("hsbChart").Value() * s));
    Get<ui::Label>("lblTFto").SetCaption(
        uilang::Str(s * kPointsShown + uilang::Val(from.Caption())) + " Sec.");

    bool bipolar = shared.gBipolar == kTrue;
    bool unipolarRange = !bipolar && uilang::ToShort(acq.Get(id::numRanges)) > 1;
    acq.Put(id::Range, Short(unipolarRange ? 1 : 0));

    double d = uilang::Val(Get<ui::ComboBox>("cboVolt").Text());
    std::string v = uilang::CStr(kDivisionsAbove * d);
    uilang::Automation& plot = Plot();
    float divisions = kUnipolarDivisions;
    plot.Put(plotid::YMaximum, static_cast<float>(kDivisionsAbove * d));
    if (bipolar) {
        Get<ui::Label>("lblMinVolts").SetCaption("-" + v + "V");
        Get<ui::Label>("lblCenter").SetCaption("0");
        plot.Put(plotid::YMinimum, -uilang::ToSingle(plot.Get(plotid::YMaximum)));
        divisions = kBipolarDivisions;
    } else {
        Get<ui::Label>("lblMinVolts").SetCaption("0V");
        Get<ui::Label>("lblCenter").SetCaption("");
        plot.Put(plotid::YMinimum, 0.0f);
    }
    Get<ui::Label>("lblMaxVolts").SetCaption(v + "V");
    float step = (uilang::ToSingle(plot.Get(plotid::YMaximum)) -
                  uilang::ToSingle(plot.Get(plotid::YMinimum))) /
                 divisions;
    plot.Put(plotid::YGridStep, step);
    plot.Put(plotid::YLabelStep, uilang::ToSingle(plot.Get(plotid::YGridStep)));

    panel::FillChannels(Get<ui::ComboBox>("cboChan"), shared.gChannelCount);

    auto& grid = Get<ui::Grid>("grdChart");
    if (grid.Rows() > 0) {
        grid.SetCol(1);
        for (int row = 0; row < grid.Rows(); ++row) {
            grid.SetRow(row);
            grid.SetText(RangeText());
        }
    }
    acq.Call(id::Config, {});
}

void ChartForm::AddChannel() {
    auto& grid = Get<ui::Grid>("grdChart");
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
    if (n < kDrawnRows)
        grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[n]));
    grid.SetCol(1);
    grid.SetColWidth(1, kRangeColumnWidth);
    grid.SetText(RangeText());
    if (n < kDrawnRows)
        grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[n]));
    grid.SetColAlignment(0, kAlignCentre);
    grid.SetColAlignment(1, kAlignLeftCentre);
    if (grid.Rows() > 1)
        Get<ui::CommandButton>("cmdDelete").SetEnabled(true);
    if (grid.Rows() > Shared().gChannelCount - 1)
        Get<ui::CommandButton>("cmdAdd").SetEnabled(false);
    Get<ui::CommandButton>("cmdStart").SetEnabled(true);
}

void ChartForm::DeleteChannel() {
    auto& grid = Get<ui::Grid>("grdChart");
    int n = grid.Rows();
    int row = grid.Row();
    if (n > 1) {
        Acq().Put(id::ListSize, static_cast<std::int32_t>(n - 1));
        grid.RemoveItem(row);
        RebuildChannelList();
    }
    Get<ui::CommandButton>("cmdAdd").SetEnabled(true);
}

void ChartForm::RebuildChannelList() {
    auto& grid = Get<ui::Grid>("grdChart");
    uilang::Automation& acq = Acq();
    for (int i = 0; i < grid.Rows(); ++i) {
        grid.SetRow(i);
        grid.SetCol(0);
        acq.Put(id::ChannelList, uilang::CInt(uilang::Val(grid.Text())), {Short(i)});
        if (i < kDrawnRows) {
            grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[i]));
            grid.SetCol(1);
            grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[i]));
        }
        acq.Put(id::GainList, static_cast<double>(gain_), {Short(i)});
    }
    Get<ui::CommandButton>("cmdDelete").SetEnabled(grid.Rows() > 1);
}

void ChartForm::DeflectionStepClick() {
    deflectionStep_ += 1;
    if (deflectionStep_ <= kMaxGainSteps) {
        range_ /= 2;
        gain_ *= 2;
    } else {
        gain_ = 1;
        range_ = uilang::ToSingle(Acq().Get(id::MaxRange));
        deflectionStep_ = 0;
    }
    auto& grid = Get<ui::Grid>("grdChart");
    grid.SetCol(1);
    for (int row = 0; row < grid.Rows(); ++row) {
        grid.SetRow(row);
        grid.SetText(RangeText());
    }
    RebuildChannelList();
}

void ChartForm::StartChart() {
    try {
        uilang::Automation& acq = Acq();
        SharedSettings& shared = Shared();
        acq.Put(id::Frequency, static_cast<double>(shared.gFrequency));
        acq.Put(id::Trigger, shared.gTrigger);
        acq.Put(id::ClockSource, shared.gClockSource);
        std::int32_t interval = uilang::CLng(SecondsPerPoint() * kMillisecondsPerSecond);

        uilang::Automation& plot = Plot();
        plot.Put(plotid::HistoryLength, kLiveHistory);
        plot.Put(plotid::Member33, true);
        plot.Put(plotid::XStart, Short(0));
        plot.Put(plotid::DataEncoding, mqplot32::kEncodingAppendedValues);
        plot.Put(plotid::TraceCount, uilang::CInt(uilang::ToLong(acq.Get(id::ListSize))));
        if (uilang::ToShort(plot.Get(plotid::TraceCount)) > kDrawnRows)
            plot.Put(plotid::TraceCount, Short(kDrawnRows));
        plot.Put(plotid::XStart, Short(0));
        plot.Put(plotid::XSpan, kPointsShown);
        plot.Put(plotid::XGridStep, kPointsPerDivision);
        plot.Put(plotid::XLabelStep, kPointsPerDivision);
        plot.Put(plotid::Member39, false);

        recordCount_ = 0;
        tick_ = 0;
        auto& grid = Get<ui::Grid>("grdChart");
        recordedChannels_.clear();
        for (int row = 0; row < grid.Rows(); ++row)
            recordedChannels_.push_back(grid.TextMatrix(row, 0));
        recordedSeconds_ = SecondsPerPoint();

        for (const char* name : {"grdChart", "fraChannel", "fraBoard", "cmdStart", "cmdConfig"})
            Find(name).SetEnabled(false);
        Find("fraDeflect").SetEnabled(true);
        auto& stop = Get<ui::CommandButton>("cmdStop");
        stop.SetEnabled(true);
        stop.SetFocus();
        for (const char* name : {"cmdSave", "cmdOpen", "cmdSheet", "cmdAdd", "cmdDelete", "cboChan",
                                 "cboBoard", "cboSec", "cboVolt"})
            Find(name).SetEnabled(false);
        for (const char* name : {"hsbChart", "lblTimeFrame", "lblTo", "lblTFfrom", "lblTFto"})
            Find(name).SetVisible(false);
        startStamp_ = uilang::CurrentDateText() + " " + uilang::CurrentTimeText();
        Find("lblFile").SetEnabled(false);
        Get<ui::Label>("lblFileName").SetCaption("");
        acq.Call(id::Config, {});

        auto& timer = Get<ui::Timer>("tmrChart");
        timer.SetInterval(interval);
        timer.SetTimerEnabled(true);
    } catch (const uilang::RuntimeError&) {
        ui::Runtime::Current().MsgBox(kStartError, ui::kMbExclamation, kErrorTitle);
    }
}

void ChartForm::PollingTick() {
    try {
        auto& grid = Get<ui::Grid>("grdChart");
        uilang::Automation& acq = Acq();
        uilang::Automation& plot = Plot();
        grid.SetCol(0);
        double gd = gain_;
        int n = grid.Rows();
        for (int i = 0; i < n; ++i) {
            grid.SetRow(i);
            double channel = uilang::Val(grid.Text());
            std::int32_t code =
                uilang::ToLong(acq.Call(id::GetSingleValue, {uilang::CLng(channel), gd}));
            auto v = static_cast<float>(hxdadefs::CodeToVolts(acq, code) / gd);
            if (i < kDrawnRows) {
                plot.Put(plotid::TraceColor, static_cast<std::int32_t>(grid.CellBackColor()),
                         {Short(i)});
                plot.Put(plotid::AppendValue, v);
            }
            if (recordCount_ < kChartStoreCapacity) {
                // A set-up that failed before its last step allocated no store.
                if (static_cast<std::size_t>(recordCount_) >= records_.size())
                    uilang::Raise(panel::kErrSubscript);
                records_[static_cast<std::size_t>(recordCount_)] = {uilang::CInt(channel), v,
                                                                    tick_};
                ++recordCount_;
            }
        }
        if (tick_ == INT16_MAX)
            uilang::Raise(uilang::kErrOverflow);
        ++tick_;
    } catch (const uilang::RuntimeError&) {
        // The tick ends without a message; the next one tries again.
    }
}

void ChartForm::StopChart() {
    Get<ui::Timer>("tmrChart").SetTimerEnabled(false);
    try {
        for (const char* name : {"grdChart", "fraDeflect", "fraChannel", "fraBoard", "cmdStart",
                                 "cmdSave", "cmdOpen", "cmdSheet", "cmdConfig"})
            Find(name).SetEnabled(true);
        Get<ui::CommandButton>("cmdStop").SetEnabled(false);
        for (const char* name : {"cmdAdd", "cboSec", "cboVolt", "cboChan", "cboBoard"})
            Find(name).SetEnabled(true);
        Get<ui::CommandButton>("cmdStart").SetFocus();
        Get<ui::CommandButton>("cmdDelete").SetEnabled(Get<ui::Grid>("grdChart").Rows() >= 2);
        SaveChartTemp();
    } catch (const uilang::RuntimeError&) {
    }
}

void ChartForm::OptionsClick() {
    auto dialog = Options();
    SharedSettings& shared = Shared();
    uilang::Automation& acq = Acq();
    dialog->Get<ui::Label>("lblBoard").SetCaption(Get<ui::ComboBox>("cboBoard").Text());
    dialog->Get<ui::Label>("lblSS").SetCaption("HXSS_AD");
    dialog->Get<ui::OptionButton>(shared.gBipolar == kTrue ? "optBipolar" : "optUniPolar")
        .SetValue(true);
    if (uilang::ToLong(acq.Call(id::GetSSCaps, {acq::caps::NumRanges})) < 2)
        dialog->Find("optUniPolar").SetEnabled(false);
    dialog->Find("optSE").SetEnabled(
        uilang::ToLong(acq.Call(id::GetSSCaps, {acq::caps::ChanTypeSingleEnded})) != 0);
    dialog->Get<ui::TextBox>("txtFreq").SetText(
        uilang::Str(static_cast<double>(shared.gFrequency)));
    for (const char* name : {"optExtClk", "optIntClk", "txtFreq"})
        dialog->Find(name).SetEnabled(false);
    dialog->ShowModal(this);
    for (const char* name : {"fraRange", "optExtClk", "optIntClk", "txtFreq"})
        dialog->Find(name).SetEnabled(true);
    ApplySettings();
}

void ChartForm::HelpClick() {
    auto& help = Get<ui::CommonDialog>("dlgChart");
    help.helpFile = ui::Runtime::Current().app.helpFile;
    help.helpContext = kChartHelpContext;
    help.helpCommand = static_cast<std::int32_t>(ui::kHelpContext);
    help.ShowHelp();
}

void ChartForm::ViewStep() {
    double s = SecondsPerPoint();
    std::int32_t value = Get<ui::ScrollBar>("hsbChart").Value();
    Plot().Put(plotid::XStart, value);
    auto& from = Get<ui::Label>("lblTFfrom");
    from.SetCaption(uilang::Str(value * s));
    Get<ui::Label>("lblTFto").SetCaption(
        uilang::Str(uilang::Val(from.Caption()) + s * kPointsShown) + " Sec.");
    Refresh();
}

void ChartForm::UnloadStep() {
    if (Get<ui::CommandButton>("cmdStop").Enabled())
        StopChart();
    panel::ReleaseSubsystem(Get<ui::HostedControl>("mqAcqChart"));
}

}  // namespace larkspur
