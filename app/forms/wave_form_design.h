// The waveform generator panel's description.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign WaveFormDesign();

}  // namespace larkspur
