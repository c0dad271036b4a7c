// Bitmaps: bitmap resources of a module, memory device contexts that hold a bitmap, and
// StretchBlt from such a context onto a drawing context.
//
// A module publishes its bitmap resources once, in one source file, each as the bytes of a packed
// device-independent bitmap (a BITMAPINFOHEADER, its colour table, then the pixel rows, each
// padded to a multiple of 4 bytes, bottom-up for a positive height):
//
//     MQ_BITMAPTABLE_BEGIN
//         MQ_BITMAP(219, kDesignBitmapBytes)   // any object with data() and size()
//     MQ_BITMAPTABLE_END
//
// and LoadBitmap reads them through the module's handle (a table of one of the module's
// dependencies does not count). 1, 4, 8, 24 and 32 bits per pixel are read, uncompressed
// (BI_RGB) only.
//
// What this stand-in leaves out: a memory context draws nothing itself (its line, rectangle and
// text calls fail) and serves as the source of StretchBlt only; StretchBlt copies (SRCCOPY),
// with positive extents and a source inside its bitmap, scaling by the nearest source pixel;
// GetObject describes bitmaps only.
#pragma once

#include <cstddef>

#include "gdi/gdi.h"

MQ_DECLARE_HANDLE(HBITMAP);

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: rows top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;  // 0: the whole table of 2^biBitCount colours (1, 4 and 8 bits)
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

#define BI_RGB 0u
#define SRCCOPY 0x00CC0020u

namespace gdi {

struct BitmapResource {
    UINT id;
    const BYTE* bytes;
    std::size_t size;
};

inline constexpr DWORD kBitmapTableMagic = 0x4D514254;  // "MQBT"

struct BitmapTable {
    DWORD magic;
    DWORD count;
    const BitmapResource* entries;
};

}  // namespace gdi

#define MQ_BITMAP_TABLE_SYMBOL mq_module_bitmap_table
#define MQ_BITMAP_TABLE_SYMBOL_NAME "mq_module_bitmap_table"

#define MQ_BITMAPTABLE_BEGIN \
    namespace {              \
    const ::gdi::BitmapResource mq_module_bitmap_entries[] = {
#define MQ_BITMAP(id, bytes) {static_cast<UINT>(id), (bytes).data(), (bytes).size()},
#define MQ_BITMAPTABLE_END                                                       \
    }                                                                            \
    ;                                                                            \
    }                                                                            \
    extern "C" [[gnu::visibility("default"),                                     \
                 gnu::used]] const ::gdi::BitmapTable MQ_BITMAP_TABLE_SYMBOL = { \
        ::gdi::kBitmapTableMagic,                                                \
        static_cast<DWORD>(sizeof(mq_module_bitmap_entries) /                    \
                           sizeof(mq_module_bitmap_entries[0])),                 \
        mq_module_bitmap_entries};

// The bitmap resource of the module (NULL: the program) named by MAKEINTRESOURCEA(id). NULL with
// ERROR_MOD_NOT_FOUND for a bad module, ERROR_RESOURCE_NAME_NOT_FOUND when it has no such bitmap
// (or for a name that is not an id), ERROR_INVALID_DATA when the bytes are not a bitmap this
// stand-in reads. DeleteObject frees it.
HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName);
static inline HBITMAP LoadBitmap(HINSTANCE hInstance, LPCSTR lpBitmapName) {
    return LoadBitmapA(hInstance, lpBitmapName);
}

// A memory context (hdc, when not NULL, must be a context), in MM_TEXT, holding a 1 by 1 black
// bitmap until another is selected. SelectObject puts a bitmap into it and answers the one it
// held; a bitmap is in one memory context at most, and never in a context over a surface. NULL
// for a bad hdc. DeleteDC frees it and lets go of its bitmap.
HDC WINAPI CreateCompatibleDC(HDC hdc);

// Copies the source rectangle of hdcSrc's bitmap onto the destination rectangle of hdcDest,
// stretched or shrunk to fit: each destination pixel takes the colour of the source pixel under
// its centre. Rectangles are in each context's logical units. FALSE for bad contexts, a source
// that is not a memory context, a destination that is one, a rop other than SRCCOPY, an extent
// not above 0 and a source rectangle not inside the bitmap.
BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc,
                       int xSrc, int ySrc, int wSrc, int hSrc, DWORD rop);

// A bitmap's description (24 bits a pixel, one plane, bmBits NULL). With pv NULL, the size of
// the description; 0 for another object, a bad handle or c below sizeof(BITMAP).
int WINAPI GetObjectA(HGDIOBJ h, int c, void* pv);
static inline int GetObject(HGDIOBJ h, int c, void* pv) {
    return GetObjectA(h, c, pv);
}

// What a device context's pixel (x, y) of its selected bitmap holds, in device units; CLR_INVALID
// for a context without a bitmap or a point outside it.
COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
