// What the single-value digital output panel is at design time.
#include "forms/digital_out_form_design.h"

#include "forms/panel_layout.h"
#include "modules/bit_lamps.h"
#include "ui/forms.h"

namespace larkspur {

using panel_layout::Make;
using ui::Kind;

ui::FormDesign DigitalOutFormDesign() {
    ui::FormDesign form;
    form.name = "frmDigitalOut";
    form.caption = "Digital Output";
    form.mdiChild = true;
    form.width = 5400;
    form.height = 4200;
    panel_layout::AddBoardChooser(form);
    auto& c = form.controls;
    c.push_back(Make(Kind::Frame, "fraDigitalOut", "", "Digital Output", "", {120, 840, 5040, 2760},
                     false));
    c.push_back(Make(Kind::Label, "lblPort", "fraDigitalOut", "Port", "", {120, 270, 720, 255}));
    c.push_back(Make(Kind::Label, "lblData", "fraDigitalOut", "Data", "", {720, 270, 1080, 255}));
    c.push_back(
        Make(Kind::Grid, "grdDout", "fraDigitalOut", "", "Select a Port", {120, 540, 1800, 2040}));
    constexpr int kButtonTwips = (kLampPixels + 8) * ui::kTwipsPerPixel;
    constexpr int kButtonPitch = 360;
    constexpr int kBits = 8;
    for (int bit = 0; bit < kBits; ++bit) {
        // Bit 7 at the left, as the number is written.
        ui::ControlDesign button =
            Make(Kind::CommandButton, "cmdDo", "fraDigitalOut", "", "On | Off",
                 {2040 + (kBits - 1 - bit) * kButtonPitch, 540, kButtonTwips, kButtonTwips}, false);
        button.index = bit;
        button.graphical = true;
        c.push_back(button);
    }
    c.push_back(Make(Kind::TextBox, "txtDout", "fraDigitalOut", "", "", {2040, 1080, 1335, 315}));
    c.push_back(Make(Kind::CommandButton, "cmdSend", "fraDigitalOut", "Send", "",
                     {2040, 1560, 1335, 375}, false));
    constexpr int kLampTwips = kLampPixels * ui::kTwipsPerPixel;
    for (const char* name : {"picOn", "picOff"}) {
        ui::ControlDesign picture =
            Make(Kind::PictureBox, name, "", "", "", {0, 0, kLampTwips, kLampTwips});
        picture.visible = false;
        c.push_back(picture);
    }
    c.push_back(panel_layout::AcquisitionControl("mqAcqDout"));
    return form;
}

}  // namespace larkspur
