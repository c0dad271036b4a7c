// What a hosted control gives its form: a picture of itself drawn into a rectangle of the form,
// and the user's clicks. The form paints the control's rectangle through the drawing surface
// whenever it paints.
#pragma once

#include <functional>

#include "ui/surface.h"

namespace ui {

class ViewObject {
  public:
    virtual ~ViewObject() = default;
    // Draws the control filling the surface.
    virtual void Draw(Surface& surface) = 0;
    // The user clicked the control.
    virtual void OnClick() {}
    // Set by the host: asks for a repaint of the control's rectangle.
    std::function<void()> invalidate;
};

}  // namespace ui
