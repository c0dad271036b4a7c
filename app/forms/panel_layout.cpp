#include "forms/panel_layout.h"

#include "modules/acq_members.h"

namespace larkspur::panel_layout {
namespace {

constexpr Place kBoardFrame{120, 60, 2880, kBoardFrameHeight};
constexpr Place kBoardCombo{120, 270, 2640, 315};

}  // namespace

ui::ControlSpec Make(ui::Kind kind, const char* name, const char* container, const char* caption,
                     const char* toolTip, Place place, bool enabled) {
    ui::ControlSpec spec;
    spec.kind = kind;
    spec.name = name;
    spec.container = container;
    spec.caption = caption;
    spec.toolTip = toolTip;
    spec.left = place.left;
    spec.top = place.top;
    spec.width = place.width;
    spec.height = place.height;
    spec.enabled = enabled;
    return spec;
}

void AddBoardChooser(ui::FormSpec& form) {
    form.controls.push_back(Make(ui::Kind::Frame, "fraBoard", "", "Board", "", kBoardFrame));
    form.controls.push_back(
        Make(ui::Kind::ComboBox, "cboBoard", "fraBoard", "", "Select a Board", kBoardCombo));
}

ui::ControlSpec AcquisitionControl(const char* name) {
    ui::ControlSpec acq = Make(ui::Kind::Hosted, name, "", "", "", {0, 0, 0, 0});
    acq.progId = acq::kProgId;
    acq.visible = false;
    return acq;
}

}  // namespace larkspur::panel_layout
