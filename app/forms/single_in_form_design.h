// The single-value analog input panel's description.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign SingleInFormDesign();

}  // namespace larkspur
