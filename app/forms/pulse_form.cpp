#include "forms/pulse_form.h"

#include "forms/pulse_form_design.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

namespace id = acq::dispid;

constexpr const char* kTitle = "Pulse Gen";
constexpr const char* kErrorTitle = "Pulse Output Error";
constexpr const char* kNotAvailable = "Counter/Timer Subsystem not available on ";
constexpr int kPanelWidth = 5880;
constexpr int kPanelHeight = 5100;
// The control's counter modes and pulse types.
constexpr std::int16_t kRateMode = 1;
constexpr std::int16_t kOneShotMode = 2;
constexpr std::int16_t kActiveLow = 0;
constexpr std::int16_t kActiveHigh = 1;
constexpr double kSetupWidthPercent = 50;
constexpr std::int32_t kMinWidth = 1;
constexpr std::int32_t kMaxWidth = 100;

ui::DefaultInstance<PulseForm>& Instance() {
    static ui::DefaultInstance<PulseForm> instance;
    return instance;
}

}  // namespace

std::shared_ptr<PulseForm> Pulse() {
    return Instance().Get();
}

std::shared_ptr<PulseForm> PulseIfLoaded() {
    return Instance().IfLoaded();
}

void ResetPulse() {
    Instance().Reset();
}

PulseForm::PulseForm() : ui::Form(PulseFormDesign()) {}

uilang::Automation& PulseForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqPulse").Members();
}

void PulseForm::Bind() {
    onLoad = [this] {
        SetWidth(kPanelWidth);
        SetHeight(kPanelHeight);
        for (int phase = 0; phase < 2; ++phase)
            Get<ui::PictureBox>("picPulse", phase).SetPicture(PulsePicture(phase));
        FillBoards();
    };
    onUnload = [this] { UnloadStep(); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    Get<ui::OptionButton>("optCont").onClick = [this] { OptionClick(id::CTMode, kRateMode); };
    Get<ui::OptionButton>("optOneShot").onClick = [this] { OptionClick(id::CTMode, kOneShotMode); };
    Get<ui::OptionButton>("optHiLow").onClick = [this] { OptionClick(id::PulseType, kActiveLow); };
    Get<ui::OptionButton>("optLowHi").onClick = [this] { OptionClick(id::PulseType, kActiveHigh); };
    auto& width = Get<ui::ScrollBar>("hsbWidth");
    width.onChange = [this] { ShowWidth(); };
    width.onScroll = [this] { ShowWidth(); };
    Get<ui::CommandButton>("cmdStart").onClick = [this] { StartPulse(); };
    Get<ui::CommandButton>("cmdStop").onClick = [this] { StopPulse(); };
    Get<ui::Timer>("tmrPulse").onTimer = [this] { Tick(); };
}

void PulseForm::FillBoards() {
    auto& boards = Get<ui::ComboBox>("cboBoard");
    std::int16_t count = uilang::ToShort(Acq().Get(id::numBoards));
    boards.Clear();
    for (int i = 0; i < count; ++i)
        boards.AddItem(uilang::ToText(Acq().Get(id::BoardList, {std::int16_t(i)})));
}

void PulseForm::SetupBoard(const std::string& board) {
    try {
        for (const char* name : {"cmdStart", "fraPulse"})
            Find(name).SetEnabled(false);
        uilang::Automation& acq = Acq();
        acq.Put(id::Board, board);
        acq.Put(id::SubSysType, acq::kCounterTimer);
        acq.Put(id::SubSysElement, std::int16_t{0});
        acq.Put(id::CTMode, kRateMode);
        Get<ui::OptionButton>("optCont").SetValue(true);

        auto& highToLow = Get<ui::OptionButton>("optHiLow");
        auto& lowToHigh = Get<ui::OptionButton>("optLowHi");
        highToLow.SetEnabled(false);
        lowToHigh.SetEnabled(false);
        auto caps = [&](std::int16_t cap) {
            return uilang::ToLong(acq.Call(id::GetSSCaps, {cap}));
        };
        if (caps(acq::caps::PulseActiveHigh) != 0) {
            lowToHigh.SetEnabled(true);
            lowToHigh.SetValue(true);
        }
        if (caps(acq::caps::PulseActiveLow) != 0) {
            highToLow.SetEnabled(true);
            highToLow.SetValue(true);
        }

        acq.Put(id::PulseWidth, kSetupWidthPercent);
        auto& width = Get<ui::ScrollBar>("hsbWidth");
        width.SetMax(kMaxWidth);
        width.SetMin(kMinWidth);
        width.SetValue(uilang::CInt(uilang::ToDouble(acq.Get(id::PulseWidth))));
        ShowWidth();
        Get<ui::TextBox>("txtFreq").SetText(uilang::Str(
            static_cast<double>(uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency))))));

        for (const char* name : {"fraPulse", "cmdStart"})
            Find(name).SetEnabled(true);
        SetCaption("Pulse Generator - " + board);
    } catch (const uilang::RuntimeError&) {
        ui::Runtime::Current().MsgBox(kNotAvailable + board, ui::kMbExclamation, kTitle);
    }
}

void PulseForm::OptionClick(std::int32_t member, std::int16_t value) {
    uilang::Automation& acq = Acq();
    try {
        acq.Put(member, value);
    } catch (const uilang::RuntimeError& error) {
        std::string text = error.Description();
        try {
            text = uilang::ToText(acq.Get(id::LastErrDescription));
        } catch (const uilang::RuntimeError&) {
        }
        ui::Runtime::Current().MsgBox(text, ui::kMbExclamation, kErrorTitle);
    }
}

void PulseForm::ShowWidth() {
    auto& list = Get<ui::ListBox>("lstWidth");
    list.Clear();
    list.AddItem(uilang::Str(static_cast<double>(Get<ui::ScrollBar>("hsbWidth").Value())));
}

void PulseForm::SetIdleControls(bool idle) {
    for (const char* name : {"cboBoard", "txtFreq", "hsbWidth", "fraMode", "fraType", "lstWidth"})
        Find(name).SetEnabled(idle);
}

void PulseForm::StartPulse() {
    uilang::Automation& acq = Acq();
    acq.Put(id::Frequency, uilang::Val(Get<ui::TextBox>("txtFreq").Text()));
    Get<ui::TextBox>("txtFreq").SetText(uilang::Str(uilang::ToDouble(acq.Get(id::Frequency))));
    acq.Put(id::PulseWidth, static_cast<double>(Get<ui::ScrollBar>("hsbWidth").Value()));
    auto& stop = Get<ui::CommandButton>("cmdStop");
    stop.SetEnabled(true);
    stop.SetFocus();
    Get<ui::CommandButton>("cmdStart").SetEnabled(false);
    SetIdleControls(false);
    Get<ui::Timer>("tmrPulse").SetTimerEnabled(true);
    acq.Call(id::Config, {});
    acq.Call(id::Start, {});
    if (Get<ui::OptionButton>("optOneShot").Value())
        StopPulse();
}

void PulseForm::StopPulse() {
    auto& start = Get<ui::CommandButton>("cmdStart");
    start.SetEnabled(true);
    start.SetFocus();
    Get<ui::CommandButton>("cmdStop").SetEnabled(false);
    SetIdleControls(true);
    Acq().Call(id::Stop, {});
    Get<ui::Timer>("tmrPulse").SetTimerEnabled(false);
}

void PulseForm::Tick() {
    Get<ui::PictureBox>("picPulse", 0).SetVisible(!phase_);
    Get<ui::PictureBox>("picPulse", 1).SetVisible(phase_);
    phase_ = !phase_;
}

void PulseForm::UnloadStep() {
    std::int32_t hdass = 0;
    try {
        uilang::Automation& acq = Acq();
        hdass = uilang::ToLong(acq.Get(id::hDass));
        if (Get<ui::CommandButton>("cmdStop").Enabled() && hdass != 0)
            acq.Call(id::Stop, {});
    } catch (const uilang::RuntimeError&) {
        return;  // the control's own teardown releases the subsystem
    }
    hxdadefs::ReleaseDASS(hdass);
}

}  // namespace larkspur
