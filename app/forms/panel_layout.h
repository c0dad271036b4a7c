// Pieces of the single-value panels' descriptions: a control at its place, the board chooser
// every panel has, and the panel's hidden acquisition control.
#pragma once

#include "ui/design.h"

namespace larkspur::panel_layout {

// Positions and sizes in twips.
struct Place {
    int left;
    int top;
    int width;
    int height;
};

ui::ControlDesign Make(ui::Kind kind, const char* name, const char* container, const char* caption,
                       const char* toolTip, Place place, bool enabled = true);

// The frame fraBoard "Board" at the panel's top left with the chooser cboBoard.
void AddBoardChooser(ui::FormDesign& form);
inline constexpr int kBoardFrameHeight = 690;

// The panel's acquisition control, hidden.
ui::ControlDesign AcquisitionControl(const char* name);

}  // namespace larkspur::panel_layout
