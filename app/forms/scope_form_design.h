// The oscilloscope panel's description.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign ScopeFormDesign();

}  // namespace larkspur
