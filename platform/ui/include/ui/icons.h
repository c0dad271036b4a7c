// Icons as the window system hands them out: a 32-bit handle names a picture for every module of
// the process until it is destroyed. Handles are never reused, so a destroyed one stays refused.
#pragma once

#include <cstdint>

#include "ui/surface.h"

namespace ui {

std::uint32_t CreateIconHandle(const Picture& picture);
// The icon's picture; empty for 0, a destroyed handle or one never made.
Picture IconPicture(std::uint32_t icon);
// False for a handle that is not live.
bool DestroyIconHandle(std::uint32_t icon);

}  // namespace ui
