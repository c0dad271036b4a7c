// The single-value digital output panel's description.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign DigitalOutFormDesign();

}  // namespace larkspur
