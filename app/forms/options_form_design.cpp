// What the options dialog is at design time.
#include "forms/options_form_design.h"

namespace larkspur {
namespace {

using ui::ControlDesign;
using ui::Kind;

constexpr int kPageLeftShown = 600;
constexpr int kPageLeftHidden = -20000;
constexpr int kPageTop = 600;
constexpr int kPageWidth = 4500;
constexpr int kPageHeight = 2280;
constexpr int kButtonTop = 3360;
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kRowHeight = 300;

ControlDesign Make(Kind kind, const char* name, const char* container, int containerIndex,
                   const char* caption, int left, int top, int width, int height) {
    ControlDesign desc;
    desc.kind = kind;
    desc.name = name;
    desc.container = container;
    desc.containerIndex = containerIndex;
    desc.caption = caption;
    desc.left = left;
    desc.top = top;
    desc.width = width;
    desc.height = height;
    return desc;
}

ControlDesign Page(int index) {
    ControlDesign page =
        Make(Kind::PictureBox, "picOptions", "", -1, "",
             index == 0 ? kPageLeftShown : kPageLeftHidden, kPageTop, kPageWidth, kPageHeight);
    page.index = index;
    page.enabled = index == 0;
    return page;
}

ControlDesign Frame(const char* name, int page, const char* caption) {
    return Make(Kind::Frame, name, "picOptions", page, caption, 0, 0, kPageWidth, kPageHeight);
}

ControlDesign In(Kind kind, const char* name, const char* frame, const char* caption, int left,
                 int row, int width) {
    return Make(kind, name, frame, -1, caption, left, kRowHeight + row * (kRowHeight + 120), width,
                kRowHeight);
}

}  // namespace

ui::FormDesign OptionsFormDesign() {
    ui::FormDesign form;
    form.name = "frmOptions";
    form.caption = " Configuration Options";
    form.width = 5760;
    form.height = 4200;
    form.keyPreview = true;

    ControlDesign tabs = Make(Kind::TabStrip, "tbsOptions", "", -1, "", 120, 120, 5400, 3000);
    tabs.items = {"Device", "Clock", "ChannelType", "Range"};
    tabs.keys = {"Group1", "Group2", "Group3", "Group4"};
    form.controls.push_back(tabs);
    for (int i = 0; i < 4; ++i)
        form.controls.push_back(Page(i));

    form.controls.push_back(Frame("fraDevice", 0, "Device Selected"));
    form.controls.push_back(
        In(Kind::Label, "lblDeviceCaption", "fraDevice", "Device :", 240, 0, 1200));
    form.controls.push_back(In(Kind::Label, "lblBoard", "fraDevice", "", 1560, 0, 2700));
    form.controls.push_back(
        In(Kind::Label, "lblSSCaption", "fraDevice", "Sub-System :", 240, 1, 1200));
    form.controls.push_back(In(Kind::Label, "lblSS", "fraDevice", "", 1560, 1, 2700));

    form.controls.push_back(Frame("fraClocks", 1, "Clock Select"));
    form.controls.push_back(
        In(Kind::OptionButton, "optIntClk", "fraClocks", "Internal", 240, 0, 1500));
    form.controls.push_back(
        In(Kind::OptionButton, "optExtClk", "fraClocks", "External", 240, 1, 1500));
    form.controls.push_back(
        In(Kind::Label, "lblFreqCaption", "fraClocks", "Frequency :", 240, 2, 1200));
    ControlDesign freq = In(Kind::TextBox, "txtFreq", "fraClocks", "", 1560, 2, 1800);
    freq.toolTip = "Set the Freq.";
    form.controls.push_back(freq);

    form.controls.push_back(Frame("fraConn", 2, "Channel Type"));
    form.controls.push_back(
        In(Kind::OptionButton, "optSE", "fraConn", "Single Ended", 240, 0, 2000));
    form.controls.push_back(
        In(Kind::OptionButton, "optDiff", "fraConn", "Differential", 240, 1, 2000));

    form.controls.push_back(Frame("fraRange", 3, "Range"));
    form.controls.push_back(
        In(Kind::OptionButton, "optBipolar", "fraRange", "Bipolar", 240, 0, 2000));
    form.controls.push_back(
        In(Kind::OptionButton, "optUniPolar", "fraRange", "Unipolar", 240, 1, 2000));

    form.controls.push_back(Make(Kind::CommandButton, "cmdOK", "", -1, "OK", 1320, kButtonTop,
                                 kButtonWidth, kButtonHeight));
    form.controls.push_back(Make(Kind::CommandButton, "cmdCancel", "", -1, "Cancel", 2760,
                                 kButtonTop, kButtonWidth, kButtonHeight));
    form.controls.push_back(Make(Kind::CommandButton, "cmdApply", "", -1, "Apply", 4200, kButtonTop,
                                 kButtonWidth, kButtonHeight));
    return form;
}

int OptionsPageLeftShown() {
    return kPageLeftShown;
}

int OptionsPageLeftHidden() {
    return kPageLeftHidden;
}

}  // namespace larkspur
