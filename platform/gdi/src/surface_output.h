// Handing a context's drawing to its surface. Private to platform/gdi; called with the table's
// lock held.
#pragma once

#include "object_table.h"

namespace gdi::detail {

ui::Colour SurfaceColour(COLORREF colour);
// Sets the surface's pen unless it already is that pen.
void UsePen(Dc& dc, ui::Colour colour, int width);
// The selected pen as the surface draws it, or nothing for a pen that draws nothing.
std::optional<std::pair<ui::Colour, int>> SelectedPen(const Dc& dc);

}  // namespace gdi::detail
