// The single-value analog output panel's description.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign SingleOutFormDesign();

}  // namespace larkspur
