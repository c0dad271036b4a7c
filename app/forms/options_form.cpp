#include "forms/options_form.h"

#include "forms/options_form_design.h"
#include "modules/shared_settings.h"
#include "ui/runtime.h"
#include "uilang/conversions.h"

namespace larkspur {
namespace {

constexpr int kKeyTab = 9;
constexpr int kCtrlMask = 2;

ui::DefaultInstance<OptionsForm>& Instance() {
    static ui::DefaultInstance<OptionsForm> instance;
    return instance;
}

}  // namespace

std::shared_ptr<OptionsForm> Options() {
    return Instance().Get();
}

void ResetOptions() {
    Instance().Reset();
}

OptionsForm::OptionsForm() : ui::Form(OptionsFormDesign()) {}

void OptionsForm::Bind() {
    onLoad = [this] { LoadStep(); };
    Get<ui::OptionButton>("optIntClk").onClick = [this] {
        Get<ui::TextBox>("txtFreq").SetEnabled(true);
    };
    Get<ui::OptionButton>("optExtClk").onClick = [this] {
        Get<ui::TextBox>("txtFreq").SetEnabled(false);
    };
    Get<ui::CommandButton>("cmdApply").onClick = [this] { Apply(); };
    Get<ui::CommandButton>("cmdOK").onClick = [this] {
        Apply();
        Unload();
    };
    Get<ui::CommandButton>("cmdCancel").onClick = [this] { Unload(); };
    Get<ui::TabStrip>("tbsOptions").onClick = [this] { ShowSelectedPage(); };
    onKeyDown = [this](int& keyCode, int shift) {
        if (keyCode == kKeyTab && shift == kCtrlMask)
            NextTab();
    };
}

void OptionsForm::LoadStep() {
    ui::Runtime& runtime = ui::Runtime::Current();
    SetLeft((runtime.ScreenWidth() - Width()) / 2);
    SetTop((runtime.ScreenHeight() - Height()) / 2);
    const SharedSettings& shared = Shared();
    Get<ui::OptionButton>(shared.gDifferential == 0 ? "optSE" : "optDiff").SetValue(true);
    Get<ui::OptionButton>(shared.gClockSource == 0 ? "optIntClk" : "optExtClk").SetValue(true);
}

void OptionsForm::Apply() {
    // Every value is worked out before any is written, so that a frequency that does not fit
    // changes nothing.
    std::int32_t frequency = uilang::CLng(uilang::Val(Get<ui::TextBox>("txtFreq").Text()));
    std::int16_t clock = Get<ui::OptionButton>("optIntClk").Value() ? 0 : 1;
    std::int16_t differential = Get<ui::OptionButton>("optSE").Value() ? 0 : 1;
    std::int16_t bipolar = Get<ui::OptionButton>("optBipolar").Value() ? kTrue : kFalse;
    SharedSettings& shared = Shared();
    shared.gFrequency = frequency;
    shared.gClockSource = clock;
    shared.gDifferential = differential;
    shared.gBipolar = bipolar;
}

void OptionsForm::ShowSelectedPage() {
    auto& tabs = Get<ui::TabStrip>("tbsOptions");
    for (int i = 0; i < tabs.Count(); ++i) {
        auto& page = Get<ui::PictureBox>("picOptions", i);
        bool selected = i == tabs.SelectedIndex() - 1;
        page.SetLeft(selected ? OptionsPageLeftShown() : OptionsPageLeftHidden());
        page.SetEnabled(selected);
    }
    Get<ui::PictureBox>("picOptions", 0).SetVisible(true);
}

void OptionsForm::NextTab() {
    auto& tabs = Get<ui::TabStrip>("tbsOptions");
    int next = tabs.SelectedIndex() == tabs.Count() ? 1 : tabs.SelectedIndex() + 1;
    tabs.SetSelectedIndex(next);
}

}  // namespace larkspur
