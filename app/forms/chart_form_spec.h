// What the strip-chart panel is at design time.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec ChartFormSpec();

}  // namespace larkspur
