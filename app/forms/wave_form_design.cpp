// What the waveform generator panel is at design time.
#include "forms/wave_form_design.h"

#include "forms/panel_design_helpers.h"
#include "mqplot32.h"

namespace larkspur {
namespace {

using paneldesign::Make;
using ui::ControlDesign;
using ui::Kind;

constexpr int kSide = 7200;  // the column of settings right of the plot
constexpr int kColumnWidth = 2880;
constexpr int kButtonWidth = 1335;
constexpr int kButtonHeight = 375;
constexpr int kRowHeight = 285;

ControlDesign Option(const char* name, const char* caption, int row, bool selected = false) {
    ControlDesign option =
        Make(Kind::OptionButton, name, "fraWave", caption, 120, 270 + row * 330, 2400, kRowHeight);
    option.value = selected;
    return option;
}

}  // namespace

ui::FormDesign WaveFormDesign() {
    ui::FormDesign form;
    form.name = "frmWave";
    form.caption = "Wave Generator";
    form.mdiChild = true;
    form.width = 10320;
    form.height = 6600;
    auto& c = form.controls;
    paneldesign::AddBoardFrame(form, kSide, 60, kColumnWidth);

    c.push_back(
        Make(Kind::Frame, "fraWave", "", "Waveform", kSide, 840, kColumnWidth, 1320, false));
    c.push_back(Option("optSine", "Sine", 0, true));
    c.push_back(Option("optSquare", "Square", 1));
    c.push_back(Option("optTri", "Triangle", 2));

    c.push_back(Make(Kind::Frame, "fraOutput", "", "Output Options", kSide, 2250, kColumnWidth,
                     1710, false));
    c.push_back(
        Make(Kind::CheckBox, "chkUseDma", "fraOutput", "Use DMA", 120, 270, 2400, kRowHeight));
    c.push_back(
        Make(Kind::Label, "lblPeak", "fraOutput", "Peak Voltage", 120, 660, 1500, kRowHeight));
    c.push_back(Make(Kind::TextBox, "txtPeak", "fraOutput", "", 1620, 630, 720, kRowHeight + 30));
    c.push_back(Make(Kind::Label, "lblPeakUnit", "fraOutput", "Volts", 2400, 660, 450, kRowHeight));
    c.push_back(Make(Kind::Label, "lblWaveFrq", "fraOutput", "Wave Frequency", 120, 1140, 1500,
                     kRowHeight));
    c.push_back(
        Make(Kind::TextBox, "txtWaveFrq", "fraOutput", "", 1620, 1110, 720, kRowHeight + 30));
    c.push_back(Make(Kind::Label, "lblWaveUnit", "fraOutput", "Hz", 2400, 1140, 450, kRowHeight));

    const int buttonsTop = 4080;
    c.push_back(Make(Kind::CommandButton, "cmdStart", "", "Start", kSide, buttonsTop, kButtonWidth,
                     kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdStop", "", "Stop", kSide + 1545, buttonsTop,
                     kButtonWidth, kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdPause", "", "Pause", kSide, buttonsTop + 480,
                     kButtonWidth, kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdConfig", "", "Config", kSide + 1545, buttonsTop + 480,
                     kButtonWidth, kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdHelp", "", "Help", kSide, buttonsTop + 960,
                     kButtonWidth, kButtonHeight));

    c.push_back(Make(Kind::Label, "lblHigh", "", "", 60, 60, 900, 255));
    c.push_back(Make(Kind::Label, "lblLow", "", "", 60, 5700, 900, 255));
    ControlDesign plot = Make(Kind::Hosted, "mqPlotWave", "", "", 960, 60, 6120, 5895);
    plot.progId = std::string(mqplot32::kProgId);
    c.push_back(plot);
    c.push_back(paneldesign::AcquisitionControl("mqAcqWave"));
    c.push_back(Make(Kind::CommonDialog, "dlgWave", "", "", 0, 0, 0, 0));
    return form;
}

}  // namespace larkspur
