#include "dib_reader.h"

#include <cstring>

#include "gdi/bitmap.h"

namespace gdi::detail {

namespace {

constexpr DWORD kInfoHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr std::size_t kRowAlignment = 4;
constexpr int kBitsPerByte = 8;
// Larger bitmaps are refused rather than allocated: no resource here comes near it.
constexpr LONG kLargestSide = 1 << 14;

COLORREF FromQuad(const RGBQUAD& quad) {
    return RGB(quad.rgbRed, quad.rgbGreen, quad.rgbBlue);
}

bool ReadsBitCount(WORD bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
}

// The colour of pixel x of a row, for the depths of ReadsBitCount.
COLORREF PixelOf(const BYTE* row, int x, WORD bits, const std::vector<COLORREF>& table,
                 bool* outOfTable) {
    if (bits == 24 || bits == 32) {
        const BYTE* p = row + static_cast<std::size_t>(x) * (bits / kBitsPerByte);
        return RGB(p[2], p[1], p[0]);
    }
    const std::size_t bit = static_cast<std::size_t>(x) * bits;
    const int shift = kBitsPerByte - bits - static_cast<int>(bit % kBitsPerByte);
    const unsigned index = (row[bit / kBitsPerByte] >> shift) & ((1u << bits) - 1);
    if (index >= table.size()) {
        *outOfTable = true;
        return 0;
    }
    return table[index];
}

}  // namespace

std::optional<Bitmap> ReadPackedDib(const BYTE* bytes, std::size_t size) {
    BITMAPINFOHEADER header;
    if (bytes == nullptr || size < kInfoHeaderSize)
        return std::nullopt;
    std::memcpy(&header, bytes, kInfoHeaderSize);
    if (header.biSize < kInfoHeaderSize || header.biSize > size || header.biPlanes != 1 ||
        !ReadsBitCount(header.biBitCount) || header.biCompression != BI_RGB ||
        header.biWidth <= 0 || header.biWidth > kLargestSide || header.biHeight == 0 ||
        header.biHeight < -kLargestSide || header.biHeight > kLargestSide)
        return std::nullopt;
    const WORD bits = header.biBitCount;
    const std::size_t fullTable = bits <= kBitsPerByte ? std::size_t{1} << bits : 0;
    const std::size_t colours = header.biClrUsed != 0 ? header.biClrUsed : fullTable;
    if (colours > fullTable && bits <= kBitsPerByte)
        return std::nullopt;
    // A deeper bitmap may carry a table too (biClrUsed entries), which its pixels do not use.
    const std::size_t tableBytes = colours * sizeof(RGBQUAD);
    const int width = header.biWidth;
    const int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const std::size_t rowBytes =
        (static_cast<std::size_t>(width) * bits + kBitsPerByte * kRowAlignment - 1) /
        (kBitsPerByte * kRowAlignment) * kRowAlignment;
    const std::size_t bitsOffset = header.biSize + tableBytes;
    if (bitsOffset > size || (size - bitsOffset) / rowBytes < static_cast<std::size_t>(height))
        return std::nullopt;
    std::vector<COLORREF> table(bits <= kBitsPerByte ? colours : 0);
    for (std::size_t i = 0; i < table.size(); ++i) {
        RGBQUAD quad;
        std::memcpy(&quad, bytes + header.biSize + i * sizeof(RGBQUAD), sizeof(quad));
        table[i] = FromQuad(quad);
    }
    Bitmap bitmap{width, height, {}};
    bitmap.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    bool outOfTable = false;
    for (int y = 0; y < height; ++y) {
        const int stored = header.biHeight > 0 ? height - 1 - y : y;  // bottom-up when positive
        const BYTE* row = bytes + bitsOffset + static_cast<std::size_t>(stored) * rowBytes;
        for (int x = 0; x < width; ++x)
            bitmap.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(x)] = PixelOf(row, x, bits, table, &outOfTable);
    }
    if (outOfTable)
        return std::nullopt;
    return bitmap;
}

}  // namespace gdi::detail
