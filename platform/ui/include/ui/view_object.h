// What a hosted control gives its form: a picture of itself drawn into a rectangle of the form,
// and the user's clicks. The form paints the control's rectangle through the drawing surface
// whenever it paints.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/surface.h"
#include "uilang/automation.h"

namespace ui {

class ViewObject {
  public:
    virtual ~ViewObject() = default;
    // Draws the control filling the surface.
    virtual void Draw(Surface& surface) = 0;
    // The user clicked the control.
    virtual void OnClick() {}
    // The control's members, late-bound by dispatch identifier; nullptr when it has none.
    virtual uilang::Automation* Dispatch() { return nullptr; }
    // Set by the host: asks for a repaint of the control's rectangle.
    std::function<void()> invalidate;
    // Set by the host: fires one of the control's events (its DISPID and by-reference arguments)
    // into the form's handler, synchronously.
    std::function<void(std::int32_t dispid, uilang::Arguments& arguments)> fireEvent;
};

// The classes of hosted controls by their ProgIDs, as the machine has them registered.
using ControlFactory = std::function<std::shared_ptr<ViewObject>()>;
void RegisterControlClass(const std::string& progId, ControlFactory factory);
void UnregisterControlClass(const std::string& progId);
// A new instance; raises 429 ("ActiveX component can't create object") for an unknown class.
std::shared_ptr<ViewObject> CreateControl(const std::string& progId);

}  // namespace ui
