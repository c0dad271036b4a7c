// The spectrum panel's description.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec SpectrumFormSpec();

}  // namespace larkspur
