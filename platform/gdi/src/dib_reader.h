// Reading a packed device-independent bitmap from bytes a module carries. Private to
// platform/gdi.
#pragma once

#include <cstddef>
#include <optional>

#include "object_table.h"

namespace gdi::detail {

// The bitmap the bytes hold, or nothing when they are not a bitmap this stand-in reads (see
// gdi/bitmap.h): every size and offset is checked against the bytes given.
std::optional<Bitmap> ReadPackedDib(const BYTE* bytes, std::size_t size);

}  // namespace gdi::detail
