// Building blocks of the instrument panels' descriptions.
#pragma once

#include <string>

#include "modules/acq_members.h"
#include "ui/spec.h"

namespace larkspur::panelspec {

inline ui::ControlSpec Make(ui::Kind kind, const char* name, const char* container,
                            const char* caption, int left, int top, int width, int height,
                            bool enabled = true) {
    ui::ControlSpec spec;
    spec.kind = kind;
    spec.name = name;
    spec.container = container;
    spec.caption = caption;
    spec.left = left;
    spec.top = top;
    spec.width = width;
    spec.height = height;
    spec.enabled = enabled;
    return spec;
}

inline ui::ControlSpec WithTip(ui::ControlSpec spec, const char* toolTip) {
    spec.toolTip = toolTip;
    return spec;
}

// The board frame every panel has, with its chooser.
inline void AddBoardFrame(ui::FormSpec& form, int left, int top, int width) {
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
inline ui::ControlSpec AcquisitionControl(const char* name) {
    ui::ControlSpec acq = Make(ui::Kind::Hosted, name, "", "", 0, 0, 0, 0);
    acq.progId = acq::kProgId;
    acq.visible = false;
    return acq;
}

}  // namespace larkspur::panelspec
