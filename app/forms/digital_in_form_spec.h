// The single-value digital input panel's description.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec DigitalInFormSpec();

}  // namespace larkspur
