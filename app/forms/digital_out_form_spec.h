// The single-value digital output panel's description.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec DigitalOutFormSpec();

}  // namespace larkspur
