// Text encodings at the registry's edges. The store keeps names as narrow text and string values
// (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) as UTF-16LE bytes, as the platform's registry does. Narrow
// text is Latin-1 on both sides, one byte per character: the narrow (A) calls pass their bytes as
// they are, the kernel's counted wide strings convert character by character (wide characters
// above 0xFF become '?'), and the store compares names case-insensitively by one folding of the
// Latin-1 letters, whichever side wrote or asks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

bool IsStringType(std::uint32_t type);

std::u16string WidenText(std::string_view narrow);
std::string NarrowText(std::u16string_view wide);

// Value data of a string type: narrow bytes to UTF-16LE bytes and back (an odd last byte of wide
// data is dropped). The length changes by exactly a factor of two.
std::vector<std::uint8_t> WideDataFromNarrow(std::span<const std::uint8_t> narrow);
std::vector<std::uint8_t> NarrowDataFromWide(std::span<const std::uint8_t> wide);

}  // namespace registry
