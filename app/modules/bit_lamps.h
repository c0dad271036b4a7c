// The pictures of the digital panels' bits: a lit lamp for a bit that is set, a dark one for a
// bit that is clear.
#pragma once

#include "ui/surface.h"

namespace larkspur {

inline constexpr ui::Colour kLampOnColour = 0x0000E0;   // red
inline constexpr ui::Colour kLampOffColour = 0x404040;  // dark grey
inline constexpr int kLampPixels = 15;

// A square lamp with a black rim, kLampPixels on each side.
ui::Picture LampPicture(bool on);

}  // namespace larkspur
