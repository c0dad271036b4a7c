// The control's design-time picture: its rectangle filled white, the design bitmap stretched over
// all of it and the Caption centred on one line over that, on a transparent background. At run
// time the control is invisible and draws nothing.
#pragma once

#include <string>

#include "gdi/gdi.h"

namespace mqacq32 {

inline constexpr UINT kDesignBitmapId = 219;

// Draws the picture into `bounds` (logical units of the context) and leaves the context's
// objects and modes as they were. False for a context it cannot draw on.
bool DrawDesignPicture(HDC hdc, const RECT& bounds, const std::string& caption);

}  // namespace mqacq32
