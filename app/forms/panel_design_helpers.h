// Building blocks of the instrument panels' descriptions.
#pragma once

#include <string>

#include "modules/acq_members.h"
#include "ui/design.h"

namespace larkspur::paneldesign {

inline ui::ControlDesign Make(ui::Kind kind, const char* name, const char* container,
                              const char* caption, int left, int top, int width, int height,
                              bool enabled = true) {
    ui::ControlDesign desc;
    desc.kind = kind;
    desc.name = name;
    desc.container = container;
    desc.caption = caption;
    desc.left = left;
    desc.top = top;
    desc.width = width;
    desc.height = height;
    desc.enabled = enabled;
    return desc;
}

inline ui::ControlDesign WithTip(ui::ControlDesign desc, const char* toolTip) {
    desc.toolTip = toolTip;
    return desc;
}

// The board frame every panel has, with its chooser.
inline void AddBoardFrame(ui::FormDesign& form, int left, int top, int width) {
    constexpr int kFrameHeight = 690;
    constexpr int kInset = 120;
    constexpr int kComboTop = 270;
    constexpr int kComboHeight = 315;
    form.controls.push_back(
        Make(ui::Kind::Frame, "fraBoard", "", "Board", left, top, width, kFrameHeight));
    form.controls.push_back(WithTip(Make(ui::Kind::ComboBox, "cboBoard", "fraBoard", "", kInset,
                                         kComboTop, width - 2 * kInset, kComboHeight),
                                    "Select a Board"));
}

// The panel's acquisition control, invisible.
inline ui::ControlDesign AcquisitionControl(const char* name) {
    ui::ControlDesign acq = Make(ui::Kind::Hosted, name, "", "", 0, 0, 0, 0);
    acq.progId = acq::kProgId;
    acq.visible = false;
    return acq;
}

}  // namespace larkspur::paneldesign
