// The single-value analog output panel's description.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec SingleOutFormSpec();

}  // namespace larkspur
