#include "registry/encoding.h"

#include "registry/constants.h"

namespace registry {

bool IsStringType(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::u16string WidenText(std::string_view narrow) {
    std::u16string wide;
    wide.reserve(narrow.size());
    for (char c : narrow)
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return wide;
}

std::string NarrowText(std::u16string_view wide) {
    std::string narrow;
    narrow.reserve(wide.size());
    for (char16_t c : wide)
        narrow.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return narrow;
}

std::vector<std::uint8_t> WideDataFromNarrow(std::span<const std::uint8_t> narrow) {
    std::vector<std::uint8_t> wide;
    wide.reserve(narrow.size() * 2);
    for (std::uint8_t byte : narrow) {
        wide.push_back(byte);
        wide.push_back(0);
    }
    return wide;
}

std::vector<std::uint8_t> NarrowDataFromWide(std::span<const std::uint8_t> wide) {
    std::vector<std::uint8_t> narrow;
    narrow.reserve(wide.size() / 2);
    for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
        const unsigned unit = wide[i] | (static_cast<unsigned>(wide[i + 1]) << 8);
        narrow.push_back(unit <= 0xFF ? static_cast<std::uint8_t>(unit) : '?');
    }
    return narrow;
}

}  // namespace registry
