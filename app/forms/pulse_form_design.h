// The pulse generator panel's description, and the two phases of its running picture.
#pragma once

#include "ui/design.h"
#include "ui/surface.h"

namespace larkspur {

ui::FormDesign PulseFormDesign();
// A pulse train; phase 1 is phase 0 moved on by half a period.
ui::Picture PulsePicture(int phase);

}  // namespace larkspur
