// The frequency counter panel's description.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec FreqFormSpec();

}  // namespace larkspur
