// What the single-value analog output panel is at design time.
#include "forms/single_out_form_design.h"

#include "forms/panel_layout.h"

namespace larkspur {

using panel_layout::Make;
using ui::Kind;

ui::FormDesign SingleOutFormDesign() {
    ui::FormDesign form;
    form.name = "frmSingleOut";
    form.caption = "Single Analog Output";
    form.mdiChild = true;
    form.width = 5200;
    form.height = 4800;
    panel_layout::AddBoardChooser(form);
    auto& c = form.controls;
    c.push_back(
        Make(Kind::Frame, "fraChannel", "", "Channel Select", "", {120, 840, 2880, 1200}, false));
    c.push_back(Make(Kind::Label, "lblChan", "fraChannel", "Channel:", "", {120, 330, 900, 255}));
    c.push_back(
        Make(Kind::ComboBox, "cboChan", "fraChannel", "", "", {1080, 270, 1680, 315}, false));
    c.push_back(Make(Kind::Label, "lblRange", "fraChannel", "Range:", "", {120, 750, 900, 255}));
    c.push_back(Make(Kind::ComboBox, "cboRange", "fraChannel", "", "", {1080, 690, 1680, 315}));
    c.push_back(Make(Kind::VScrollBar, "vsbAOut", "", "", "", {3360, 360, 300, 3600}, false));
    c.push_back(Make(Kind::Label, "lblMaxRange", "", "", "", {3780, 360, 1200, 255}));
    c.push_back(Make(Kind::Label, "lblMinRange", "", "", "", {3780, 3705, 1200, 255}));
    c.push_back(Make(Kind::TextBox, "txtOut", "", "", "", {120, 2280, 1335, 315}));
    c.push_back(Make(Kind::Label, "lblVolts", "", "Volts", "", {1575, 2310, 900, 255}));
    c.push_back(Make(Kind::CommandButton, "cmdSend", "", "Send", "Send the Voltage",
                     {120, 2760, 1335, 375}, false));
    c.push_back(panel_layout::AcquisitionControl("mqAcqAOut"));
    return form;
}

}  // namespace larkspur
