// The waveform generator panel's description.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec WaveFormSpec();

}  // namespace larkspur
