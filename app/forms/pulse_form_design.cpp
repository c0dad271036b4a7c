// What the pulse generator panel is at design time.
#include "forms/pulse_form_design.h"

#include <vector>

#include "forms/panel_design_helpers.h"
#include "ui/forms.h"

namespace larkspur {
namespace {

using paneldesign::Make;
using paneldesign::WithTip;
using ui::ControlDesign;
using ui::Kind;

constexpr int kColumnWidth = 3000;
constexpr int kButtonWidth = 1335;
constexpr int kButtonHeight = 375;
constexpr int kRowHeight = 285;
constexpr int kPicturePixels = 64;
constexpr int kPictureHeightPixels = 32;
constexpr int kPictureTwips = kPicturePixels * ui::kTwipsPerPixel;
constexpr int kPictureHeightTwips = kPictureHeightPixels * ui::kTwipsPerPixel;
constexpr int kPulsePeriodPixels = 16;
constexpr int kPulseHighPixels = 8;
constexpr int kPulseTop = 6;
constexpr int kPulseBottom = 26;
constexpr int kPenWidth = 2;

ControlDesign Option(const char* name, const char* frame, const char* caption, int row) {
    return Make(Kind::OptionButton, name, frame, caption, 120, 240 + row * 300, 2520, kRowHeight);
}

ControlDesign Picture(int index) {
    ControlDesign picture =
        Make(Kind::PictureBox, "picPulse", "", "", 3300 + index * (kPictureTwips + 120), 1020,
             kPictureTwips, kPictureHeightTwips);
    picture.index = index;
    picture.visible = index == 0;
    return picture;
}

}  // namespace

ui::FormDesign PulseFormDesign() {
    ui::FormDesign form;
    form.name = "frmPulse";
    form.caption = "Pulse Generator";
    form.mdiChild = true;
    form.width = 5880;
    form.height = 5100;
    auto& c = form.controls;
    paneldesign::AddBoardFrame(form, 120, 60, kColumnWidth);
    c.push_back(WithTip(Make(Kind::CommandButton, "cmdStart", "", "Start", 3300, 120, kButtonWidth,
                             kButtonHeight, false),
                        "Start the Generator"));
    c.push_back(WithTip(Make(Kind::CommandButton, "cmdStop", "", "Stop", 3300, 540, kButtonWidth,
                             kButtonHeight, false),
                        "Stop the Generator"));
    c.push_back(Picture(0));
    c.push_back(Picture(1));

    c.push_back(Make(Kind::Frame, "fraPulse", "", "Options", 120, 840, kColumnWidth, 3600, false));
    c.push_back(WithTip(Make(Kind::TextBox, "txtFreq", "fraPulse", "", 120, 270, 2760, 315),
                        "Enter a Frequency"));
    c.push_back(Make(Kind::Frame, "fraWidth", "fraPulse", "Pulse Width", 120, 690, 2760, 900));
    ControlDesign width = Make(Kind::HScrollBar, "hsbWidth", "fraWidth", "", 120, 270, 1800, 255);
    c.push_back(width);
    c.push_back(Make(Kind::ListBox, "lstWidth", "fraWidth", "", 2040, 240, 600, 285));
    c.push_back(Make(Kind::Frame, "fraType", "fraPulse", "Pulse Type", 120, 1680, 2760, 900));
    c.push_back(Option("optHiLow", "fraType", "High-to-low", 0));
    c.push_back(Option("optLowHi", "fraType", "Low-to-high", 1));
    c.push_back(Make(Kind::Frame, "fraMode", "fraPulse", "Pulse Mode", 120, 2670, 2760, 900));
    c.push_back(Option("optOneShot", "fraMode", "One Shot", 0));
    c.push_back(Option("optCont", "fraMode", "Continuous", 1));

    ControlDesign timer = Make(Kind::Timer, "tmrPulse", "", "", 0, 0, 0, 0, false);
    timer.interval = 120;
    c.push_back(timer);
    c.push_back(paneldesign::AcquisitionControl("mqAcqPulse"));
    return form;
}

ui::Picture PulsePicture(int phase) {
    ui::Picture picture(kPicturePixels, kPictureHeightPixels, ui::kWhite);
    auto surface = picture.Paint();
    surface->SetPen(ui::kBlack, kPenWidth);
    std::vector<ui::Point> trace;
    const int shift = phase == 0 ? 0 : kPulsePeriodPixels / 2;
    for (int start = shift - kPulsePeriodPixels; start < kPicturePixels;
         start += kPulsePeriodPixels) {
        trace.push_back({start, kPulseBottom});
        trace.push_back({start, kPulseTop});
        trace.push_back({start + kPulseHighPixels, kPulseTop});
        trace.push_back({start + kPulseHighPixels, kPulseBottom});
    }
    surface->Polyline(trace);
    return picture;
}

}  // namespace larkspur
