#include "forms/single_in_form.h"

#include <algorithm>

#include "forms/single_in_form_design.h"
#include "modules/acq_members.h"
#include "modules/hxdadefs.h"
#include "modules/panel_pattern.h"
#include "modules/shared_settings.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

namespace id = acq::dispid;

constexpr const char* kTitle = "Single Value Analog In";
constexpr const char* kNotAvailable = "A/D Subsystem not available on ";
constexpr const char* kCaptionPrefix = "Single Value Analog Input - ";
constexpr std::int32_t kSetupFrequency = 100000;
constexpr std::int16_t kSingleEnded = 0;
constexpr std::int16_t kDifferential = 1;
constexpr std::int16_t kSingleValueFlow = 1;
constexpr double kUnityGain = 1.0;

ui::DefaultInstance<SingleInForm>& Instance() {
    static ui::DefaultInstance<SingleInForm> instance;
    return instance;
}

// The bar picture: twice the box's height, white above and the bar below, so that painting it
// at minus the filled fraction of the box's height shows a bar rising from the bottom.
ui::Picture BarPicture(const ui::PictureBox& box) {
    int width = std::max(1, box.Width() / ui::kTwipsPerPixel);
    int height = std::max(1, box.Height() / ui::kTwipsPerPixel);
    ui::Picture picture(width, 2 * height, ui::kWhite);
    picture.Paint()->FillRect({0, height, width, height}, kVoltageBarColour);
    return picture;
}

}  // namespace

std::shared_ptr<SingleInForm> SingleIn() {
    return Instance().Get();
}

void ResetSingleIn() {
    Instance().Reset();
}

SingleInForm::SingleInForm() : ui::Form(SingleInFormDesign()) {}

uilang::Automation& SingleInForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqAIn").Members();
}

void SingleInForm::Bind() {
    onLoad = [this] {
        Get<ui::Image>("imgBar").SetPicture(BarPicture(Get<ui::PictureBox>("picBar")));
        panel::FillBoards(Acq(), Get<ui::ComboBox>("cboBoard"));
    };
    onUnload = [this] { panel::ReleaseSubsystem(Get<ui::HostedControl>("mqAcqAIn")); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    Get<ui::ComboBox>("cboRange").onClick = [this] { RangeClick(); };
    Get<ui::OptionButton>("optSE").onClick = [this] { ChannelTypeClick(kSingleEnded); };
    Get<ui::OptionButton>("optDiff").onClick = [this] { ChannelTypeClick(kDifferential); };
    Get<ui::CommandButton>("cmdGet").onClick = [this] { GetClick(); };
}

void SingleInForm::SetupBoard(const std::string& board) {
    panel::SetupInProgress setup(settingUp_);
    try {
        Find("fraChannel").SetEnabled(false);
        Find("cmdGet").SetEnabled(false);
        Get<ui::ComboBox>("cboChan").Clear();
        Get<ui::ComboBox>("cboRange").Clear();

        uilang::Automation& acq = Acq();
        panel::OpenSubsystem(acq, board, acq::kAnalogInput);
        acq.Put(id::Frequency, static_cast<double>(kSetupFrequency));
        acq.Put(id::ClockSource, std::int16_t{0});
        acq.Put(id::Trigger, std::int16_t{0});
        acq.Put(id::Range, std::int16_t{0});
        acq.Call(id::Config, {});

        SharedSettings& shared = Shared();
        shared.gFrequency = uilang::CLng(uilang::ToDouble(acq.Get(id::Frequency)));
        shared.gTrigger = uilang::ToShort(acq.Get(id::Trigger));
        shared.gMaxRange = uilang::ToSingle(acq.Get(id::MaxRange));
        shared.gBipolar = kTrue;
        shared.gClockSource = uilang::ToShort(acq.Get(id::ClockSource));

        auto caps = [&](std::int16_t cap) {
            return uilang::ToLong(acq.Call(id::GetSSCaps, {cap}));
        };
        std::int32_t count = 0;
        if (uilang::ToShort(acq.Get(id::ChannelType)) == kSingleEnded) {
            count = caps(acq::caps::NumSeChannels);
            Get<ui::OptionButton>("optSE").SetValue(true);
        } else {
            count = caps(acq::caps::NumDiChannels);
            Get<ui::OptionButton>("optDiff").SetValue(true);
        }
        panel::FillChannels(Get<ui::ComboBox>("cboChan"), count);
        panel::FillRanges(acq, Get<ui::ComboBox>("cboRange"));
        acq.Put(id::DataFlow, kSingleValueFlow);
        if (caps(acq::caps::ChanTypeDifferential) != 0)
            Find("optDiff").SetEnabled(true);
        if (caps(acq::caps::ChanTypeSingleEnded) != 0)
            Find("optSE").SetEnabled(true);

        Get<ui::ListBox>("lstAin").Clear();
        Find("cmdGet").SetEnabled(true);
        Find("fraChannel").SetEnabled(true);
        SetCaption(kCaptionPrefix + board);
    } catch (const uilang::RuntimeError&) {
        panel::ShowSetupFailure(kNotAvailable, board, kTitle);
    }
}

void SingleInForm::RangeClick() {
    try {
        uilang::Automation& acq = Acq();
        acq.Put(id::Range, static_cast<std::int16_t>(Get<ui::ComboBox>("cboRange").ListIndex()));
        Get<ui::Label>("lblMaxRange")
            .SetCaption(uilang::CStr(uilang::ToSingle(acq.Get(id::MaxRange))));
        Get<ui::Label>("lblMinRange")
            .SetCaption(uilang::CStr(uilang::ToSingle(acq.Get(id::MinRange))));
    } catch (const uilang::RuntimeError& error) {
        if (settingUp_)
            throw;
        panel::ShowOperationError(Acq(), error, kTitle);
    }
}

void SingleInForm::ChannelTypeClick(std::int16_t channelType) {
    try {
        uilang::Automation& acq = Acq();
        acq.Put(id::ChannelType, channelType);
        std::int16_t cap =
            channelType == kSingleEnded ? acq::caps::NumSeChannels : acq::caps::NumDiChannels;
        panel::FillChannels(Get<ui::ComboBox>("cboChan"),
                            uilang::ToLong(acq.Call(id::GetSSCaps, {cap})));
    } catch (const uilang::RuntimeError& error) {
        if (settingUp_)
            throw;
        panel::ShowOperationError(Acq(), error, kTitle);
    }
}

void SingleInForm::GetClick() {
    uilang::Automation& acq = Acq();
    try {
        std::int32_t channel = uilang::CLng(uilang::Val(Get<ui::ComboBox>("cboChan").Text()));
        acq.Call(id::Config, {});
        std::int32_t code = uilang::ToLong(acq.Call(id::GetSingleValue, {channel, kUnityGain}));
        float volts = hxdadefs::CodeToVolts(acq, code);
        auto& results = Get<ui::ListBox>("lstAin");
        results.Clear();
        results.AddItem(uilang::CStr(volts));
        ShowBar(volts);
    } catch (const uilang::RuntimeError& error) {
        panel::ShowOperationError(acq, error, kTitle);
    }
}

void SingleInForm::ShowBar(float volts) {
    uilang::Automation& acq = Acq();
    float minRange = uilang::ToSingle(acq.Get(id::MinRange));
    float maxRange = uilang::ToSingle(acq.Get(id::MaxRange));
    if (maxRange == minRange)
        uilang::Raise(uilang::kErrDivisionByZero);
    auto& box = Get<ui::PictureBox>("picBar");
    float scaleHeight = static_cast<float>(box.ScaleHeight());
    float y = -scaleHeight * (volts - minRange) / (maxRange - minRange);
    std::int32_t top = uilang::CLng(y);
    box.Cls();
    box.PaintPicture(Get<ui::Image>("imgBar").GetPicture(), 0, top);
}

}  // namespace larkspur
