#include "forms/panel_layout.h"

#include "modules/acq_members.h"

namespace larkspur::panel_layout {
namespace {

constexpr Place kBoardFrame{120, 60, 2880, kBoardFrameHeight};
constexpr Place kBoardCombo{120, 270, 2640, 315};

}  // namespace

ui::ControlDesign Make(ui::Kind kind, const char* name, const char* container, const char* caption,
                       const char* toolTip, Place place, bool enabled) {
    ui::ControlDesign desc;
    desc.kind = kind;
    desc.name = name;
    desc.container = container;
    desc.caption = caption;
    desc.toolTip = toolTip;
    desc.left = place.left;
    desc.top = place.top;
    desc.width = place.width;
    desc.height = place.height;
    desc.enabled = enabled;
    return desc;
}

void AddBoardChooser(ui::FormDesign& form) {
    form.controls.push_back(Make(ui::Kind::Frame, "fraBoard", "", "Board", "", kBoardFrame));
    form.controls.push_back(
        Make(ui::Kind::ComboBox, "cboBoard", "fraBoard", "", "Select a Board", kBoardCombo));
}

ui::ControlDesign AcquisitionControl(const char* name) {
    ui::ControlDesign acq = Make(ui::Kind::Hosted, name, "", "", "", {0, 0, 0, 0});
    acq.progId = acq::kProgId;
    acq.visible = false;
    return acq;
}

}  // namespace larkspur::panel_layout
