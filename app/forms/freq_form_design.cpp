// What the frequency counter panel is at design time.
#include "forms/freq_form_design.h"

#include "forms/panel_design_helpers.h"

namespace larkspur {

ui::FormDesign FreqFormDesign() {
    using paneldesign::Make;
    using paneldesign::WithTip;
    using ui::Kind;
    constexpr int kColumnWidth = 3000;
    constexpr int kButtonWidth = 1335;
    constexpr int kButtonHeight = 375;
    constexpr int kRowHeight = 285;

    ui::FormDesign form;
    form.name = "frmFreq";
    form.caption = "Frequency Counter";
    form.mdiChild = true;
    form.width = 4800;
    form.height = 3900;
    auto& c = form.controls;
    paneldesign::AddBoardFrame(form, 120, 60, kColumnWidth);
    c.push_back(Make(Kind::Frame, "fraOptions", "", "Options", 120, 840, kColumnWidth, 780, false));
    c.push_back(Make(Kind::Label, "lblDuration", "fraOptions", "Count Duration", 120, 330, 1500,
                     kRowHeight));
    c.push_back(WithTip(Make(Kind::TextBox, "txtDuration", "fraOptions", "", 1680, 300, 720, 315),
                        "Enter a Duration"));
    c.push_back(Make(Kind::Label, "lblSeconds", "fraOptions", "Sec.", 2460, 330, 480, kRowHeight));
    c.push_back(
        Make(Kind::Frame, "fraMeasure", "", "Measurement", 120, 1710, kColumnWidth, 780, false));
    c.push_back(Make(Kind::ListBox, "lstFreq", "fraMeasure", "", 120, 270, 2160, 315));
    c.push_back(Make(Kind::Label, "lblHertz", "fraMeasure", "Hz.", 2340, 300, 540, kRowHeight));
    c.push_back(WithTip(Make(Kind::CommandButton, "cmdStart", "", "Start", 3300, 960, kButtonWidth,
                             kButtonHeight, false),
                        "Start the Generator"));
    c.push_back(WithTip(Make(Kind::CommandButton, "cmdStop", "", "Stop", 3300, 1440, kButtonWidth,
                             kButtonHeight, false),
                        "Stop the Counter"));
    c.push_back(paneldesign::AcquisitionControl("mqAcqFreq"));
    return form;
}

}  // namespace larkspur
