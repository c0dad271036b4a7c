// The spectrum panel's description.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign SpectrumFormDesign();

}  // namespace larkspur
