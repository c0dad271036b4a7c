// The single-value digital input panel's description.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign DigitalInFormDesign();

}  // namespace larkspur
