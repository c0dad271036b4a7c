// What the strip-chart panel is at design time: the plot with its volt labels and scroll bar on
// the left, the board, channel list, rate and scale, and the buttons in a column on the right.
#include "forms/chart_form_design.h"

#include <tuple>

#include "forms/panel_layout.h"
#include "mqplot32.h"

namespace larkspur {
namespace {

using panel_layout::Make;
using ui::Kind;

constexpr int kSide = 8520;  // the column of settings right of the plot
constexpr int kSideWidth = 2760;
constexpr int kHalf = 1320;  // a button of the column's two
constexpr int kButtonHeight = 375;
constexpr int kRight = kSide + kSideWidth - kHalf;
constexpr int kPlotLeft = 960;
constexpr int kPlotWidth = 7440;
constexpr int kPlotHeight = 5880;

}  // namespace

ui::FormDesign ChartFormDesign() {
    ui::FormDesign form;
    form.name = "frmChart";
    form.caption = "Strip Chart";
    form.mdiChild = true;
    form.width = 11500;
    form.height = 7500;
    auto& c = form.controls;
    c.push_back(Make(Kind::Frame, "fraBoard", "", "Board", "", {kSide, 60, kSideWidth, 690}));
    c.push_back(
        Make(Kind::ComboBox, "cboBoard", "fraBoard", "", "Select a Board", {120, 270, 2520, 315}));

    c.push_back(
        Make(Kind::Frame, "fraChannel", "", "Channel", "", {kSide, 780, kHalf, 900}, false));
    c.push_back(Make(Kind::Label, "lblChan", "fraChannel", "Channel:", "", {90, 270, 1140, 195}));
    ui::ControlDesign channel =
        Make(Kind::ComboBox, "cboChan", "fraChannel", "", "Select a Channel", {90, 480, 1140, 315});
    channel.editable = true;
    c.push_back(channel);
    c.push_back(Make(Kind::CommandButton, "cmdAdd", "", "Add", "Add a Channel",
                     {kRight, 840, kHalf, 300}, false));
    c.push_back(Make(Kind::CommandButton, "cmdDelete", "", "Delete", "Delete a Channel",
                     {kRight, 1170, kHalf, 300}, false));

    c.push_back(Make(Kind::Label, "lblList", "", "Channel List", "", {kSide, 1740, 1380, 195}));
    c.push_back(Make(Kind::Label, "lblListChan", "", "Channel:", "", {kSide, 1950, 900, 195}));
    c.push_back(Make(Kind::Label, "lblListRange", "", "Input Range: ", "",
                     {kSide + 1100, 1950, 1500, 195}));
    c.push_back(Make(Kind::Grid, "grdChart", "", "", "DClick to Change the Range",
                     {kSide, 2160, kSideWidth, 1140}));

    c.push_back(Make(Kind::Frame, "fraDeflect", "", "Deflection", "",
                     {kSide, 3360, kSideWidth, 1020}, false));
    c.push_back(Make(Kind::Label, "lblSec", "fraDeflect", "Rate (sec)", "", {120, 240, 1140, 195}));
    c.push_back(Make(Kind::ComboBox, "cboSec", "fraDeflect", "", "Select a Sample Rate",
                     {120, 480, 1140, 315}));
    c.push_back(Make(Kind::Label, "lblVoltDiv", "fraDeflect", "V/Div", "", {1440, 240, 1140, 195}));
    c.push_back(Make(Kind::ComboBox, "cboVolt", "fraDeflect", "", "Select a Volt/Div",
                     {1440, 480, 1140, 315}));

    c.push_back(Make(Kind::CommandButton, "cmdStart", "", "Start", "Start the Capture",
                     {kSide, 4470, kHalf, kButtonHeight}, false));
    c.push_back(Make(Kind::CommandButton, "cmdStop", "", "Stop", "Stop the Capture",
                     {kRight, 4470, kHalf, kButtonHeight}, false));
    c.push_back(Make(Kind::CommandButton, "cmdSave", "", "Save", "Save to a Log File",
                     {kSide, 4920, kHalf, kButtonHeight}, false));
    c.push_back(Make(Kind::CommandButton, "cmdOpen", "", "Open", "Open a Log File",
                     {kRight, 4920, kHalf, kButtonHeight}, false));
    c.push_back(Make(Kind::CommandButton, "cmdSheet", "", "Excel", "Save to an Excel File",
                     {kSide, 5370, kHalf, kButtonHeight}, false));
    c.push_back(Make(Kind::CommandButton, "cmdConfig", "", "Config", "Configure the Board",
                     {kRight, 5370, kHalf, kButtonHeight}, false));
    c.push_back(Make(Kind::CommandButton, "cmdHelp", "", "Help", "Help ",
                     {kSide, 5820, kHalf, kButtonHeight}));
    c.push_back(Make(Kind::CommandButton, "cmdPrint", "", "Print", "Print the Chart",
                     {kRight, 5820, kHalf, kButtonHeight}));

    c.push_back(Make(Kind::Label, "lblMaxVolts", "", "", "", {60, 60, 880, 255}));
    c.push_back(Make(Kind::Label, "lblCenter", "", "", "", {60, 2880, 880, 255}));
    c.push_back(Make(Kind::Label, "lblMinVolts", "", "", "", {60, 5700, 880, 255}));
    ui::ControlDesign plot =
        Make(Kind::Hosted, "mqPlotChart", "", "", "", {kPlotLeft, 60, kPlotWidth, kPlotHeight});
    plot.progId = std::string(mqplot32::kProgId);
    c.push_back(plot);
    ui::ControlDesign scroll =
        Make(Kind::HScrollBar, "hsbChart", "", "", "", {kPlotLeft, 6000, kPlotWidth, 255});
    scroll.visible = false;
    c.push_back(scroll);
    c.push_back(Make(Kind::Label, "lblxDivCaption", "", "x Div:", "", {kPlotLeft, 6330, 600, 255}));
    c.push_back(Make(Kind::Label, "lblxDiv", "", "", "", {kPlotLeft + 600, 6330, 700, 255}));
    c.push_back(
        Make(Kind::Label, "lblxDivSec", "", "Sec.", "", {kPlotLeft + 1300, 6330, 500, 255}));
    for (auto [name, caption, left, width] :
         {std::tuple{"lblTimeFrame", "Time Frame:", 2400, 1100},
          std::tuple{"lblTFfrom", " ", 3500, 1000}, std::tuple{"lblTo", "to", 4500, 300},
          std::tuple{"lblTFto", "", 4800, 1500}}) {
        ui::ControlDesign label =
            Make(Kind::Label, name, "", caption, "", {kPlotLeft + left, 6330, width, 255});
        label.visible = false;
        c.push_back(label);
    }
    c.push_back(Make(Kind::Label, "lblFile", "", "File:", "", {kPlotLeft, 6660, 500, 255}));
    c.push_back(Make(Kind::Label, "lblFileName", "", "", "", {kPlotLeft + 500, 6660, 6900, 255}));
    ui::ControlDesign progress =
        Make(Kind::ProgressBar, "progSave", "", "", "", {kSide, 6330, kSideWidth, 255});
    progress.visible = false;
    c.push_back(progress);
    ui::ControlDesign saving =
        Make(Kind::Label, "lblSaveFile", "", "", "", {kSide, 6630, kSideWidth, 255});
    saving.visible = false;
    c.push_back(saving);

    c.push_back(Make(Kind::Timer, "tmrChart", "", "", "", {0, 0, 0, 0}, false));
    c.push_back(panel_layout::AcquisitionControl("mqAcqChart"));
    c.push_back(Make(Kind::CommonDialog, "dlgChart", "", "", "", {0, 0, 0, 0}));
    return form;
}

}  // namespace larkspur
