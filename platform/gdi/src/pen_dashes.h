// The dashes of the styled pens one pixel wide. Private to platform/gdi.
#pragma once

#include <span>
#include <utility>
#include <vector>

#include "ui/surface.h"

namespace gdi::detail {

// Whether the style draws dashes (PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT).
bool IsDashed(int style);

// The pixel runs a styled pen draws along the path, each from its first pixel to its last, the
// pattern running on across the corners: PS_DASH 18 on and 6 off, PS_DOT 3 and 3, PS_DASHDOT
// 9, 6, 3, 6, PS_DASHDOTDOT 9, 3, 3, 3, 3, 3. Each segment covers the pixels along its longer axis
// from its start up to, not including, its end.
std::vector<std::pair<ui::Point, ui::Point>> DashesAlong(std::span<const ui::Point> path,
                                                         int style);

}  // namespace gdi::detail
