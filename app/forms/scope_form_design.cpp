// What the oscilloscope panel is at design time.
#include "forms/scope_form_design.h"

#include "modules/acq_members.h"
#include "mqplot32.h"

namespace larkspur {
namespace {

using ui::ControlDesign;
using ui::Kind;

ControlDesign Make(Kind kind, const char* name, const char* container, const char* caption,
                   const char* toolTip, int left, int top, int width, int height,
                   bool enabled = true) {
    ControlDesign desc;
    desc.kind = kind;
    desc.name = name;
    desc.container = container;
    desc.caption = caption;
    desc.toolTip = toolTip;
    desc.left = left;
    desc.top = top;
    desc.width = width;
    desc.height = height;
    desc.enabled = enabled;
    return desc;
}

constexpr int kSide = 8640;  // the column of settings right of the plot
constexpr int kButtonWidth = 1335;
constexpr int kButtonHeight = 375;

}  // namespace

ui::FormDesign ScopeFormDesign() {
    ui::FormDesign form;
    form.name = "frmScope";
    form.caption = "Scope";
    form.mdiChild = true;
    form.width = 11700;
    form.height = 7500;
    auto& c = form.controls;
    c.push_back(Make(Kind::Frame, "fraBoard", "", "Board", "", kSide, 60, 2880, 690));
    c.push_back(
        Make(Kind::ComboBox, "cboBoard", "fraBoard", "", "Select a Board", 120, 270, 2640, 315));
    c.push_back(Make(Kind::Frame, "fraChannel", "", "Channel", "", kSide, 780, 1380, 690, false));
    ControlDesign channel =
        Make(Kind::ComboBox, "cboChan", "fraChannel", "", "Select a Channel", 120, 270, 1140, 315);
    channel.editable = true;
    c.push_back(channel);
    c.push_back(Make(Kind::CommandButton, "cmdAdd", "", "Add", "Add a Channel", kSide + 1500, 840,
                     1380, 300, false));
    c.push_back(Make(Kind::CommandButton, "cmdDelete", "", "Delete", "Delete a Channel",
                     kSide + 1500, 1170, 1380, 300, false));
    c.push_back(
        Make(Kind::Grid, "grdScope", "", "", "DClick to Change the Range", kSide, 1530, 2880, 900));
    c.push_back(
        Make(Kind::Frame, "fraDeflect", "", "Volt / Time", "", kSide, 2490, 2880, 1080, false));
    c.push_back(Make(Kind::Label, "lblSecDiv", "fraDeflect", "Sec/Div", "", 120, 300, 900, 255));
    c.push_back(
        Make(Kind::ComboBox, "cboSec", "fraDeflect", "", "Select a Sec/Div", 1080, 270, 1680, 315));
    c.push_back(Make(Kind::Label, "lblVoltDiv", "fraDeflect", "Volt/Div", "", 120, 690, 900, 255));
    c.push_back(Make(Kind::Label, "lblVolt", "fraDeflect", "", "", 1080, 690, 1680, 255));
    c.push_back(Make(Kind::Frame, "fraTrig", "", "Trigger", "", kSide, 3630, 2880, 690, false));
    c.push_back(Make(Kind::OptionButton, "optManTrig", "fraTrig", "Manual", "One Shot", 120, 300,
                     1200, 255));
    ControlDesign autoTrig = Make(Kind::OptionButton, "optAutoTrig", "fraTrig", "Auto",
                                  "Continuous", 1440, 300, 1200, 255);
    autoTrig.value = true;
    c.push_back(autoTrig);
    c.push_back(Make(Kind::CommandButton, "cmdStart", "", "Start", "Start Scope", kSide, 4440,
                     kButtonWidth, kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdStop", "", "Stop", "", kSide + 1545, 4440,
                     kButtonWidth, kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdPause", "", "Pause", "", kSide, 4920, kButtonWidth,
                     kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdConfig", "", "Config", "Configure ", kSide + 1545,
                     4920, kButtonWidth, kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdHelp", "", "Help", "", kSide, 5400, kButtonWidth,
                     kButtonHeight));
    c.push_back(Make(Kind::CommandButton, "cmdPrint", "", "Print", "Print the Scope", kSide + 1545,
                     5400, kButtonWidth, kButtonHeight));
    c.push_back(Make(Kind::Label, "lblMaxVolts", "", "", "", 60, 60, 900, 255));
    c.push_back(Make(Kind::Label, "lblCenter", "", "0 V", "", 60, 3180, 900, 255));
    c.push_back(Make(Kind::Label, "lblMinVolts", "", "", "", 60, 6300, 900, 255));
    ControlDesign plot = Make(Kind::Hosted, "mqPlotScope", "", "", "", 960, 60, 7560, 6495);
    plot.progId = std::string(mqplot32::kProgId);
    c.push_back(plot);
    ControlDesign acq = Make(Kind::Hosted, "mqAcqScope", "", "", "", 0, 0, 0, 0);
    acq.progId = acq::kProgId;
    acq.visible = false;
    c.push_back(acq);
    c.push_back(Make(Kind::CommonDialog, "dlgScope", "", "", "", 0, 0, 0, 0));
    return form;
}

}  // namespace larkspur
