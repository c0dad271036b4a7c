// What the strip-chart panel is at design time.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign ChartFormDesign();

}  // namespace larkspur
