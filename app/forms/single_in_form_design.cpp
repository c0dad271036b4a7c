// What the single-value analog input panel is at design time.
#include "forms/single_in_form_design.h"

#include "forms/panel_layout.h"

namespace larkspur {

using panel_layout::Make;
using ui::Kind;

ui::FormDesign SingleInFormDesign() {
    ui::FormDesign form;
    form.name = "frmSingleIn";
    form.caption = "Single Analog Input";
    form.mdiChild = true;
    form.width = 6000;
    form.height = 4800;
    panel_layout::AddBoardChooser(form);
    auto& c = form.controls;
    c.push_back(
        Make(Kind::Frame, "fraChannel", "", "Channel Select", "", {120, 840, 2880, 1860}, false));
    c.push_back(Make(Kind::Label, "lblChan", "fraChannel", "Channel:", "", {120, 330, 900, 255}));
    c.push_back(Make(Kind::ComboBox, "cboChan", "fraChannel", "", "Select a Channel",
                     {1080, 270, 1680, 315}));
    c.push_back(Make(Kind::Label, "lblRange", "fraChannel", "Range:", "", {120, 750, 900, 255}));
    c.push_back(Make(Kind::ComboBox, "cboRange", "fraChannel", "", "Select a Range",
                     {1080, 690, 1680, 315}));
    ui::ControlDesign singleEnded =
        Make(Kind::OptionButton, "optSE", "fraChannel", "Single Ended", "", {120, 1140, 2640, 255});
    singleEnded.value = true;
    c.push_back(singleEnded);
    c.push_back(Make(Kind::OptionButton, "optDiff", "fraChannel", "Differential", "",
                     {120, 1470, 2640, 255}));
    c.push_back(Make(Kind::CommandButton, "cmdGet", "", "Get", "Get the Voltage",
                     {120, 2820, 1335, 375}, false));
    c.push_back(Make(Kind::ListBox, "lstAin", "", "", "", {1575, 2820, 1425, 375}));
    c.push_back(Make(Kind::PictureBox, "picBar", "", "", "Voltage Bar", {3480, 360, 900, 3600}));
    ui::ControlDesign bar = Make(Kind::Image, "imgBar", "picBar", "", "", {0, 0, 900, 3600});
    bar.visible = false;
    c.push_back(bar);
    c.push_back(Make(Kind::Label, "lblMaxRange", "", "", "", {4500, 360, 1200, 255}));
    c.push_back(Make(Kind::Label, "lblMinRange", "", "", "", {4500, 3705, 1200, 255}));
    c.push_back(panel_layout::AcquisitionControl("mqAcqAIn"));
    return form;
}

}  // namespace larkspur
