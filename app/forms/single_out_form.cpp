#include "forms/single_out_form.h"

#include <algorithm>

#include "forms/single_out_form_design.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "modules/panel_pattern.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

namespace id = acq::dispid;

constexpr const char* kTitle = "Single Value Out";
constexpr const char* kErrorTitle = "Analog Out Error";
constexpr const char* kNotAvailable = "D/A Subsystem not available on ";
constexpr const char* kCaptionPrefix = "Single Value Analog Output - ";
constexpr std::int16_t kSingleValueFlow = 1;
constexpr double kUnityGain = 1.0;
constexpr double kTenthsPerVolt = 10;
constexpr std::int32_t kSmallStep = 1;   // 0.1 V
constexpr std::int32_t kLargeStep = 10;  // 1 V

ui::DefaultInstance<SingleOutForm>& Instance() {
    static ui::DefaultInstance<SingleOutForm> instance;
    return instance;
}

}  // namespace

std::shared_ptr<SingleOutForm> SingleOut() {
    return Instance().Get();
}

void ResetSingleOut() {
    Instance().Reset();
}

SingleOutForm::SingleOutForm() : ui::Form(SingleOutFormDesign()) {}

uilang::Automation& SingleOutForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqAOut").Members();
}

void SingleOutForm::Bind() {
    auto& bar = Get<ui::ScrollBar>("vsbAOut");
    onLoad = [this, &bar] {
        bar.SetSmallChange(kSmallStep);
        bar.SetLargeChange(kLargeStep);
        panel::FillBoards(Acq(), Get<ui::ComboBox>("cboBoard"));
    };
    onUnload = [this] { panel::ReleaseSubsystem(Get<ui::HostedControl>("mqAcqAOut")); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    Get<ui::ComboBox>("cboRange").onClick = [this] { RangeClick(); };
    bar.onChange = [this] { ScrollMoved(); };
    bar.onScroll = [this] { ScrollMoved(); };
    Get<ui::TextBox>("txtOut").onChange = [this] { TextTyped(); };
    Get<ui::CommandButton>("cmdSend").onClick = [this] { SendClick(); };
}

void SingleOutForm::SetupBoard(const std::string& board) {
    panel::SetupInProgress setup(settingUp_);
    try {
        for (const char* name : {"fraChannel", "vsbAOut", "cboChan", "cmdSend"})
            Find(name).SetEnabled(false);
        Get<ui::ComboBox>("cboChan").Clear();
        Get<ui::ComboBox>("cboRange").Clear();

        uilang::Automation& acq = Acq();
        panel::OpenSubsystem(acq, board, acq::kAnalogOutput);
        acq.Put(id::DataFlow, kSingleValueFlow);
        panel::FillChannels(Get<ui::ComboBox>("cboChan"),
                            uilang::ToLong(acq.Call(id::GetSSCaps, {acq::caps::NumChannels})));
        panel::FillRanges(acq, Get<ui::ComboBox>("cboRange"));
        ApplyRange();
        auto& bar = Get<ui::ScrollBar>("vsbAOut");
        Get<ui::TextBox>("txtOut").SetText(uilang::CStr(bar.Value() / kTenthsPerVolt));

        for (const char* name : {"fraChannel", "vsbAOut", "cboChan", "cmdSend"})
            Find(name).SetEnabled(true);
        SetCaption(kCaptionPrefix + board);
    } catch (const uilang::RuntimeError&) {
        panel::ShowSetupFailure(kNotAvailable, board, kTitle);
    }
}

void SingleOutForm::RangeClick() {
    try {
        ApplyRange();
    } catch (const uilang::RuntimeError& error) {
        if (settingUp_)
            throw;
        panel::ShowOperationError(Acq(), error, kErrorTitle);
    }
}

// The labels and the bar follow the chosen range: the bar's Min (its top) the upper limit and
// its Max the lower limit, in tenths of a volt, and its value 0 V.
void SingleOutForm::ApplyRange() {
    uilang::Automation& acq = Acq();
    acq.Put(id::Range, static_cast<std::int16_t>(Get<ui::ComboBox>("cboRange").ListIndex()));
    float maxRange = uilang::ToSingle(acq.Get(id::MaxRange));
    float minRange = uilang::ToSingle(acq.Get(id::MinRange));
    Get<ui::Label>("lblMaxRange").SetCaption(uilang::CStr(maxRange));
    Get<ui::Label>("lblMinRange").SetCaption(uilang::CStr(minRange));
    std::int16_t top = uilang::CInt(maxRange * kTenthsPerVolt);
    std::int16_t bottom = uilang::CInt(minRange * kTenthsPerVolt);
    auto& bar = Get<ui::ScrollBar>("vsbAOut");
    bar.SetMin(top);
    bar.SetMax(bottom);
    bar.SetValue(0);
}

void SingleOutForm::ScrollMoved() {
    Get<ui::TextBox>("txtOut").SetText(
        uilang::CStr(Get<ui::ScrollBar>("vsbAOut").Value() / kTenthsPerVolt));
}

void SingleOutForm::TextTyped() {
    auto& bar = Get<ui::ScrollBar>("vsbAOut");
    double tenths = uilang::Val(Get<ui::TextBox>("txtOut").Text()) * kTenthsPerVolt;
    std::int16_t value = 0;
    bool inside = false;
    try {
        value = uilang::CInt(tenths);
        inside = value >= std::min(bar.Min(), bar.Max()) && value <= std::max(bar.Min(), bar.Max());
    } catch (const uilang::RuntimeError&) {
        inside = false;  // beyond a 16-bit value
    }
    if (!inside) {
        ui::Runtime::Current().MsgBox(kVoltageOutOfRangeText, ui::kMbExclamation, kTitle);
        return;
    }
    bar.SetValue(value);
}

void SingleOutForm::SendClick() {
    uilang::Automation& acq = Acq();
    try {
        std::int32_t channel = uilang::CLng(uilang::Val(Get<ui::ComboBox>("cboChan").Text()));
        float volts = static_cast<float>(Get<ui::ScrollBar>("vsbAOut").Value() / kTenthsPerVolt);
        std::int32_t code = hxdadefs::VoltsToCode(acq, volts);
        acq.Call(id::Config, {});
        acq.Call(id::PutSingleValue, {channel, kUnityGain, code});
    } catch (const uilang::RuntimeError& error) {
        panel::ShowOperationError(acq, error, kErrorTitle);
    }
}

}  // namespace larkspur
