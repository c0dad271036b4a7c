// The bitmap resources of the tests' module (gdi_test_bitmaps.dll): the bytes, good and malformed,
// and the pixels the good ones hold.
#pragma once

#include <array>
#include <cstring>
#include <vector>

#include "gdi/packed_dib.h"

namespace gdi::testing {

inline constexpr char kBitmapModule[] = "gdi_test_bitmaps.dll";

enum BitmapId : UINT {
    kFourBitId = 101,
    kTopDownTrueColourId = 102,
    kOneBitId = 103,
    kTruncatedId = 110,
    kCompressedId = 111,
    kIndexOutsideTableId = 112,
    kTooManyColoursId = 113,
    kZeroWidthId = 114,
    kTwoPlanesId = 115,
    kMissingId = 199,
};

inline constexpr COLORREF kCyan = RGB(0, 255, 255);
inline constexpr COLORREF kNavy = RGB(0, 0, 128);
inline constexpr COLORREF kOrange = RGB(255, 128, 0);
inline constexpr std::array<COLORREF, kPackedDibColours> kColours = {
    RGB(0, 0, 0), RGB(255, 255, 255), kCyan, kNavy, kOrange};

inline constexpr int kFourBitWidth = 4;
inline constexpr int kFourBitHeight = 3;
inline constexpr const char* kFourBitRows[kFourBitHeight] = {"0123", "1234", "2340"};
inline constexpr auto kFourBit = PackedDib<kFourBitWidth, kFourBitHeight>(kFourBitRows, kColours);

// The colour of pixel (x, y) of kFourBit, from its rows.
constexpr COLORREF FourBitPixel(int x, int y) {
    return kColours[static_cast<std::size_t>(kFourBitRows[y][x] - '0')];
}

inline BITMAPINFOHEADER HeaderOf(const std::vector<BYTE>& bytes) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes.data(), sizeof(header));
    return header;
}

inline void PutHeader(std::vector<BYTE>& bytes, const BITMAPINFOHEADER& header) {
    std::memcpy(bytes.data(), &header, sizeof(header));
}

// kFourBit with its header changed by `change`.
template <typename Change>
std::vector<BYTE> FourBitWith(Change change) {
    std::vector<BYTE> bytes(kFourBit.begin(), kFourBit.end());
    BITMAPINFOHEADER header = HeaderOf(bytes);
    change(header);
    PutHeader(bytes, header);
    return bytes;
}

inline std::vector<BYTE> Truncated() {
    return std::vector<BYTE>(kFourBit.begin(), kFourBit.end() - 1);
}

// A table of two colours while the rows use indices up to 4.
inline std::vector<BYTE> IndexOutsideTable() {
    constexpr DWORD kTwoColours = 2;
    std::vector<BYTE> bytes = FourBitWith([](BITMAPINFOHEADER& h) { h.biClrUsed = kTwoColours; });
    const auto rows =
        bytes.begin() + sizeof(BITMAPINFOHEADER) + kPackedDibColours * sizeof(RGBQUAD);
    bytes.erase(bytes.begin() + sizeof(BITMAPINFOHEADER) + kTwoColours * sizeof(RGBQUAD), rows);
    return bytes;
}

// 2 by 2 pixels at 24 bits, rows top-down (a negative height), each padded to 8 bytes.
inline constexpr int kTrueColourSide = 2;
inline constexpr COLORREF kTrueColourPixels[kTrueColourSide][kTrueColourSide] = {
    {RGB(10, 20, 30), RGB(40, 50, 60)}, {RGB(70, 80, 90), RGB(100, 110, 120)}};
inline std::vector<BYTE> TopDownTrueColour() {
    constexpr std::size_t kRowBytes = 8;
    constexpr WORD kTrueColourBits = 24;
    std::vector<BYTE> bytes(sizeof(BITMAPINFOHEADER) + kTrueColourSide * kRowBytes);
    PutHeader(bytes, {sizeof(BITMAPINFOHEADER), kTrueColourSide, -kTrueColourSide, 1,
                      kTrueColourBits, BI_RGB, 0, 0, 0, 0, 0});
    for (int y = 0; y < kTrueColourSide; ++y) {
        for (int x = 0; x < kTrueColourSide; ++x) {
            const COLORREF c = kTrueColourPixels[y][x];
            BYTE* p = &bytes[sizeof(BITMAPINFOHEADER) + static_cast<std::size_t>(y) * kRowBytes +
                             static_cast<std::size_t>(x) * 3];
            p[0] = static_cast<BYTE>(c >> 16);  // blue, green, red
            p[1] = static_cast<BYTE>(c >> 8);
            p[2] = static_cast<BYTE>(c);
        }
    }
    return bytes;
}

// 3 by 2 pixels at 1 bit, bottom-up: navy on orange. Top row 1 0 1, bottom row 0 1 1.
inline constexpr int kOneBitWidth = 3;
inline constexpr int kOneBitHeight = 2;
inline constexpr COLORREF kOneBitPixels[kOneBitHeight][kOneBitWidth] = {{kNavy, kOrange, kNavy},
                                                                        {kOrange, kNavy, kNavy}};
inline std::vector<BYTE> OneBit() {
    constexpr std::size_t kRowBytes = 4;
    constexpr WORD kOneBitBits = 1;
    constexpr DWORD kTwoColours = 2;
    std::vector<BYTE> bytes(sizeof(BITMAPINFOHEADER) + kTwoColours * sizeof(RGBQUAD) +
                            kOneBitHeight * kRowBytes);
    PutHeader(bytes, {sizeof(BITMAPINFOHEADER), kOneBitWidth, kOneBitHeight, 1, kOneBitBits, BI_RGB,
                      0, 0, 0, kTwoColours, 0});
    const RGBQUAD table[kTwoColours] = {{0, 128, 255, 0}, {128, 0, 0, 0}};  // orange, navy
    std::memcpy(&bytes[sizeof(BITMAPINFOHEADER)], table, sizeof(table));
    const std::size_t rows = sizeof(BITMAPINFOHEADER) + sizeof(table);
    bytes[rows] = 0b01100000;              // the bottom row, stored first
    bytes[rows + kRowBytes] = 0b10100000;  // the top row
    return bytes;
}

}  // namespace gdi::testing
