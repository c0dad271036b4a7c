// What a resource compiler makes of a small picture: the bytes of a packed device-independent
// bitmap of 4 bits a pixel (gdi/bitmap.h), built at compile time from rows of hexadecimal digits,
// each digit a pixel's index into the 16 colours given. Rows are given top first; the bytes hold
// them bottom-up, as bitmap files do.
#pragma once

#include <array>
#include <cstddef>

#include "gdi/bitmap.h"

namespace gdi {

inline constexpr std::size_t kPackedDibColours = 16;
inline constexpr std::size_t kPackedDibBits = 4;

constexpr std::size_t PackedDibRowBytes(std::size_t width) {
    constexpr std::size_t kAlignBits = 32;
    constexpr std::size_t kBitsPerByte = 8;
    return (width * kPackedDibBits + kAlignBits - 1) / kAlignBits * (kAlignBits / kBitsPerByte);
}

constexpr std::size_t PackedDibSize(std::size_t width, std::size_t height) {
    return sizeof(BITMAPINFOHEADER) + kPackedDibColours * sizeof(RGBQUAD) +
           height * PackedDibRowBytes(width);
}

namespace dib_detail {

template <std::size_t N>
constexpr void PutLittleEndian(std::array<BYTE, N>& bytes, std::size_t at, unsigned long long value,
                               std::size_t count) {
    constexpr unsigned kByteBits = 8;
    constexpr unsigned kByteMask = 0xFF;
    for (std::size_t i = 0; i < count; ++i)
        bytes[at + i] = static_cast<BYTE>((value >> (kByteBits * i)) & kByteMask);
}

constexpr BYTE DigitValue(char digit) {
    constexpr BYTE kTen = 10;
    if (digit >= '0' && digit <= '9')
        return static_cast<BYTE>(digit - '0');
    if (digit >= 'A' && digit <= 'F')
        return static_cast<BYTE>(digit - 'A' + kTen);
    throw "a pixel is not a hexadecimal digit";  // fails the constant evaluation
}

}  // namespace dib_detail

// The rows must each hold `Width` digits.
template <std::size_t Width, std::size_t Height>
constexpr std::array<BYTE, PackedDibSize(Width, Height)> PackedDib(
    const char* const (&rows)[Height], const std::array<COLORREF, kPackedDibColours>& colours) {
    using dib_detail::PutLittleEndian;
    std::array<BYTE, PackedDibSize(Width, Height)> bytes{};
    constexpr std::size_t kHeader = sizeof(BITMAPINFOHEADER);
    PutLittleEndian(bytes, offsetof(BITMAPINFOHEADER, biSize), kHeader, sizeof(DWORD));
    PutLittleEndian(bytes, offsetof(BITMAPINFOHEADER, biWidth), Width, sizeof(LONG));
    PutLittleEndian(bytes, offsetof(BITMAPINFOHEADER, biHeight), Height, sizeof(LONG));
    PutLittleEndian(bytes, offsetof(BITMAPINFOHEADER, biPlanes), 1, sizeof(WORD));
    PutLittleEndian(bytes, offsetof(BITMAPINFOHEADER, biBitCount), kPackedDibBits, sizeof(WORD));
    PutLittleEndian(bytes, offsetof(BITMAPINFOHEADER, biCompression), BI_RGB, sizeof(DWORD));
    PutLittleEndian(bytes, offsetof(BITMAPINFOHEADER, biClrUsed), kPackedDibColours, sizeof(DWORD));
    constexpr unsigned kRedShift = 0;
    constexpr unsigned kGreenShift = 8;
    constexpr unsigned kBlueShift = 16;
    constexpr unsigned kByteMask = 0xFF;
    for (std::size_t i = 0; i < kPackedDibColours; ++i) {
        const std::size_t at = kHeader + i * sizeof(RGBQUAD);
        bytes[at] = static_cast<BYTE>((colours[i] >> kBlueShift) & kByteMask);
        bytes[at + 1] = static_cast<BYTE>((colours[i] >> kGreenShift) & kByteMask);
        bytes[at + 2] = static_cast<BYTE>((colours[i] >> kRedShift) & kByteMask);
    }
    const std::size_t pixels = kHeader + kPackedDibColours * sizeof(RGBQUAD);
    constexpr unsigned kHighNibble = 4;
    for (std::size_t y = 0; y < Height; ++y) {
        const std::size_t row = pixels + (Height - 1 - y) * PackedDibRowBytes(Width);
        for (std::size_t x = 0; x < Width; ++x) {
            if (rows[y][x] == 0)
                throw "a row is shorter than the width";
            const BYTE value = dib_detail::DigitValue(rows[y][x]);
            bytes[row + x / 2] |= static_cast<BYTE>(x % 2 == 0 ? value << kHighNibble : value);
        }
        if (rows[y][Width] != 0)
            throw "a row is longer than the width";
    }
    return bytes;
}

}  // namespace gdi
