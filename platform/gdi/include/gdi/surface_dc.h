// Device contexts over a drawing surface, and the fixed font every context has.
#pragma once

#include <cstddef>

#include "gdi/gdi.h"
#include "ui/surface.h"

namespace gdi {

// The fixed font, in device pixels: every character is a cell of kFontCharWidth by kFontHeight.
inline constexpr int kFontHeight = 16;
inline constexpr int kFontAscent = 12;
inline constexpr int kFontDescent = kFontHeight - kFontAscent;
inline constexpr int kFontExternalLeading = 2;
inline constexpr int kFontCharWidth = 8;

// A device context that draws on the surface, in MM_TEXT with its origin at the surface's top
// left, the black pen, the white brush, black text on an opaque white background. The surface
// must outlive the context; DeleteDC frees it. NULL when no handle is left.
HDC CreateSurfaceDC(ui::Surface& surface);

// Device contexts, pens and brushes not yet deleted (stock objects aside), for leak checks.
std::size_t LiveObjectCount();

}  // namespace gdi
