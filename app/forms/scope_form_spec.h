// The oscilloscope panel's description.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec ScopeFormSpec();

}  // namespace larkspur
