// What the single-value digital input panel is at design time.
#include "forms/digital_in_form_design.h"

#include "forms/panel_layout.h"
#include "modules/bit_lamps.h"
#include "ui/forms.h"

namespace larkspur {

using panel_layout::Make;
using ui::Kind;

ui::FormDesign DigitalInFormDesign() {
    ui::FormDesign form;
    form.name = "frmDigitalIn";
    form.caption = "Digital Input";
    form.mdiChild = true;
    form.width = 5400;
    form.height = 4200;
    panel_layout::AddBoardChooser(form);
    auto& c = form.controls;
    c.push_back(
        Make(Kind::Frame, "fraDigitalIn", "", "Digital Input", "", {120, 840, 5040, 2760}, false));
    c.push_back(Make(Kind::Label, "lblPort", "fraDigitalIn", "Port", "", {120, 270, 720, 255}));
    c.push_back(Make(Kind::Label, "lblData", "fraDigitalIn", "Data", "", {720, 270, 1080, 255}));
    c.push_back(
        Make(Kind::Grid, "grdDin", "fraDigitalIn", "", "Select a Port", {120, 540, 1800, 2040}));
    c.push_back(Make(Kind::CommandButton, "cmdGet", "fraDigitalIn", "Get", "Get the Port Data",
                     {2160, 540, 1335, 375}));
    c.push_back(Make(Kind::ListBox, "lstDin", "fraDigitalIn", "", "", {2160, 1020, 1335, 375}));
    constexpr int kLampTwips = kLampPixels * ui::kTwipsPerPixel;
    constexpr int kLampPitch = 330;
    constexpr int kBits = 8;
    for (int bit = 0; bit < kBits; ++bit) {
        // Bit 7 at the left, as the number is written.
        ui::ControlDesign lamp =
            Make(Kind::Image, "imgDi", "fraDigitalIn", "", "On | Off",
                 {2160 + (kBits - 1 - bit) * kLampPitch, 1560, kLampTwips, kLampTwips});
        lamp.index = bit;
        c.push_back(lamp);
    }
    for (const char* name : {"picOn", "picOff"}) {
        ui::ControlDesign picture =
            Make(Kind::PictureBox, name, "", "", "", {0, 0, kLampTwips, kLampTwips});
        picture.visible = false;
        c.push_back(picture);
    }
    c.push_back(panel_layout::AcquisitionControl("mqAcqDin"));
    return form;
}

}  // namespace larkspur
