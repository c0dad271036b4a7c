#include "forms/freq_form.h"

#include <cmath>

#include "forms/freq_form_design.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

namespace id = acq::dispid;

constexpr const char* kTitle = "Freq. Measure";
constexpr const char* kNotAvailable = "Counter/Timer Subsystem not available on ";
constexpr const char* kDefaultDuration = " 1";
constexpr int kPanelWidth = 4800;
constexpr int kPanelHeight = 3900;
constexpr std::int16_t kCountEvents = 0;
constexpr std::int16_t kExternalClock = 1;
constexpr double kShortestDuration = 1;  // seconds, after rounding to whole seconds

ui::DefaultInstance<FreqForm>& Instance() {
    static ui::DefaultInstance<FreqForm> instance;
    return instance;
}

}  // namespace

std::shared_ptr<FreqForm> Freq() {
    return Instance().Get();
}

std::shared_ptr<FreqForm> FreqIfLoaded() {
    return Instance().IfLoaded();
}

void ResetFreq() {
    Instance().Reset();
}

FreqForm::FreqForm() : ui::Form(FreqFormDesign()) {}

uilang::Automation& FreqForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqFreq").Members();
}

void FreqForm::Bind() {
    onLoad = [this] {
        SetWidth(kPanelWidth);
        SetHeight(kPanelHeight);
        FillBoards();
    };
    onUnload = [this] { UnloadStep(); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    Get<ui::TextBox>("txtDuration").onValidate = [this](bool&) { ValidateDuration(); };
    Get<ui::CommandButton>("cmdStart").onClick = [this] { StartMeasure(); };
    Get<ui::CommandButton>("cmdStop").onClick = [this] { StopMeasure(); };
    Get<ui::HostedControl>("mqAcqFreq").onEvent = [this](std::int32_t event,
                                                         uilang::Arguments& arguments) {
        if (event == acq::event::MeasureDone && !arguments.empty())
            MeasureDone(uilang::ToSingle(arguments[0]));
    };
}

void FreqForm::FillBoards() {
    auto& boards = Get<ui::ComboBox>("cboBoard");
    std::int16_t count = uilang::ToShort(Acq().Get(id::numBoards));
    boards.Clear();
    for (int i = 0; i < count; ++i)
        boards.AddItem(uilang::ToText(Acq().Get(id::BoardList, {std::int16_t(i)})));
}

void FreqForm::SetupBoard(const std::string& board) {
    try {
        for (const char* name : {"fraOptions", "fraMeasure", "cmdStart"})
            Find(name).SetEnabled(false);
        Get<ui::ListBox>("lstFreq").Clear();
        uilang::Automation& acq = Acq();
        acq.Put(id::Board, board);
        acq.Put(id::SubSysType, acq::kCounterTimer);
        acq.Put(id::SubSysElement, std::int16_t{0});
        acq.Put(id::CTMode, kCountEvents);
        acq.Put(id::ClockSource, kExternalClock);
        Get<ui::TextBox>("txtDuration").SetText(kDefaultDuration);
        for (const char* name : {"fraOptions", "fraMeasure", "cmdStart"})
            Find(name).SetEnabled(true);
        SetCaption("Frequency Counter - " + board);
    } catch (const uilang::RuntimeError&) {
        ui::Runtime::Current().MsgBox(kNotAvailable + board, ui::kMbExclamation, kTitle);
    }
}

void FreqForm::StartMeasure() {
    measuring_ = true;
    uilang::Automation& acq = Acq();
    acq.Call(id::Config, {});
    acq.Call(id::MeasureFrequency, {uilang::Val(Get<ui::TextBox>("txtDuration").Text())});
    auto& stop = Get<ui::CommandButton>("cmdStop");
    stop.SetEnabled(true);
    stop.SetFocus();
    Get<ui::CommandButton>("cmdStart").SetEnabled(false);
    Get<ui::ComboBox>("cboBoard").SetEnabled(false);
}

// A result that comes after the user stopped the measurement belongs to no measurement: the
// count stopped early but is divided by the whole gate time.
void FreqForm::MeasureDone(float hertz) {
    if (!measuring_)
        return;
    measuring_ = false;
    auto& results = Get<ui::ListBox>("lstFreq");
    results.Clear();
    results.AddItem(uilang::Str(hertz));
    StopMeasure();
}

void FreqForm::StopMeasure() {
    if (measuring_) {
        measuring_ = false;
        Acq().Call(id::Stop, {});
    }
    auto& start = Get<ui::CommandButton>("cmdStart");
    start.SetEnabled(true);
    start.SetFocus();
    Get<ui::CommandButton>("cmdStop").SetEnabled(false);
    Get<ui::ComboBox>("cboBoard").SetEnabled(true);
}

// Whole seconds, halves to even: below one the box shows the default again. Compared without
// narrowing, so a long duration is no overflow.
void FreqForm::ValidateDuration() {
    auto& duration = Get<ui::TextBox>("txtDuration");
    if (std::nearbyint(uilang::Val(duration.Text())) < kShortestDuration)
        duration.SetText(kDefaultDuration);
}

void FreqForm::UnloadStep() {
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
