// The frequency counter panel's description.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign FreqFormDesign();

}  // namespace larkspur
