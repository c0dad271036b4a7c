// Dialog templates laid out in dialog units of the dialogs' 8-point font: a horizontal unit is
// 1.5 pixels, a vertical one 1.625; the runtime's sizes are twips.
#pragma once

#include "ui/forms.h"

namespace ui {

constexpr int DluX(int units) {
    return units * 3 * kTwipsPerPixel / 2;
}

constexpr int DluY(int units) {
    return units * 13 * kTwipsPerPixel / 8;
}

// A control of a dialog template at its place in dialog units.
inline ControlDesign DialogItem(Kind kind, const char* name, const char* caption, int x, int y,
                                int width, int height) {
    ControlDesign desc;
    desc.kind = kind;
    desc.name = name;
    desc.caption = caption;
    desc.left = DluX(x);
    desc.top = DluY(y);
    desc.width = DluX(width);
    desc.height = DluY(height);
    return desc;
}

}  // namespace ui
