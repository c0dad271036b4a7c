// The single-value analog input panel's description.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec SingleInFormSpec();

}  // namespace larkspur
