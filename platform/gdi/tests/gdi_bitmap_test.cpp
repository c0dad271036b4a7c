// Bitmap resources, memory contexts and StretchBlt: what LoadBitmap reads and refuses, the
// selection rules of a bitmap, and the pixels a stretched copy puts on a surface.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "gdi/bitmap.h"
#include "gdi_test_support.h"
#include "test_bitmaps.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/module.h"

namespace gdi::testing {
namespace {

constexpr COLORREF kBackground = RGB(200, 200, 200);

class BitmapTest : public RecordedDc {
  protected:
    BitmapTest() : module_(LoadLibraryA(kBitmapModule)) {}
    ~BitmapTest() override {
        if (module_)
            FreeLibrary(module_);
    }

    HBITMAP Load(UINT id) const { return LoadBitmapA(module_, MAKEINTRESOURCEA(id)); }

    HMODULE module_;
};

TEST_F(BitmapTest, ReadsEachDepthRowOrderAndColourTable) {
    ASSERT_NE(module_, nullptr);
    struct Case {
        const char* name;
        UINT id;
        int width;
        int height;
        std::function<COLORREF(int, int)> pixel;
    };
    const Case cases[] = {
        {"4 bits, bottom-up", kFourBitId, kFourBitWidth, kFourBitHeight, FourBitPixel},
        {"24 bits, top-down", kTopDownTrueColourId, kTrueColourSide, kTrueColourSide,
         [](int x, int y) { return kTrueColourPixels[y][x]; }},
        {"1 bit, short table", kOneBitId, kOneBitWidth, kOneBitHeight,
         [](int x, int y) { return kOneBitPixels[y][x]; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HBITMAP bitmap = Load(c.id);
        ASSERT_NE(bitmap, nullptr);
        BITMAP description{};
        EXPECT_EQ(GetObjectA(bitmap, sizeof(description), &description),
                  static_cast<int>(sizeof(BITMAP)));
        EXPECT_EQ(description.bmWidth, c.width);
        EXPECT_EQ(description.bmHeight, c.height);
        HDC memory = CreateCompatibleDC(dc_);
        HGDIOBJ before = SelectObject(memory, bitmap);
        ASSERT_NE(before, nullptr);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(GetPixel(memory, x, y), c.pixel(x, y)) << x << "," << y;
        }
        EXPECT_EQ(GetPixel(memory, c.width, 0), CLR_INVALID);
        SelectObject(memory, before);
        EXPECT_TRUE(DeleteDC(memory));
        EXPECT_TRUE(DeleteObject(bitmap));
    }
}

TEST_F(BitmapTest, RefusesWhatIsNotABitmapItReadsAndSaysWhy) {
    ASSERT_NE(module_, nullptr);
    struct Case {
        const char* name;
        HMODULE module;
        LPCSTR bitmapName;
        DWORD error;
    };
    const Case cases[] = {
        {"truncated rows", module_, MAKEINTRESOURCEA(kTruncatedId), ERROR_INVALID_DATA},
        {"compressed", module_, MAKEINTRESOURCEA(kCompressedId), ERROR_INVALID_DATA},
        {"index outside the table", module_, MAKEINTRESOURCEA(kIndexOutsideTableId),
         ERROR_INVALID_DATA},
        {"more colours than the depth has", module_, MAKEINTRESOURCEA(kTooManyColoursId),
         ERROR_INVALID_DATA},
        {"no width", module_, MAKEINTRESOURCEA(kZeroWidthId), ERROR_INVALID_DATA},
        {"two planes", module_, MAKEINTRESOURCEA(kTwoPlanesId), ERROR_INVALID_DATA},
        {"no such id", module_, MAKEINTRESOURCEA(kMissingId), ERROR_RESOURCE_NAME_NOT_FOUND},
        {"a name, not an id", module_, "DESIGN", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"the program has no table", nullptr, MAKEINTRESOURCEA(kFourBitId),
         ERROR_RESOURCE_NAME_NOT_FOUND},
        {"a module that is not loaded", reinterpret_cast<HMODULE>(0x7FFF1234),
         MAKEINTRESOURCEA(kFourBitId), ERROR_MOD_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(LoadBitmapA(c.module, c.bitmapName), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(BitmapTest, ABitmapIsInOneMemoryContextAtATimeAndDeletedOnlyWhenFree) {
    HBITMAP bitmap = Load(kFourBitId);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(SelectObject(dc_, bitmap), nullptr) << "a context over a surface took a bitmap";
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(first);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    HGDIOBJ stock = SelectObject(first, bitmap);
    EXPECT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(first, stock), bitmap);
    EXPECT_EQ(SelectObject(second, bitmap), stock);
    EXPECT_TRUE(DeleteDC(second));  // lets go of the bitmap
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(GetObjectA(bitmap, sizeof(BITMAP), nullptr), 0);
    EXPECT_TRUE(DeleteDC(first));
    EXPECT_EQ(CreateCompatibleDC(reinterpret_cast<HDC>(0x7FFF1234)), nullptr);
}

TEST_F(BitmapTest, AMemoryContextDrawsNothingItself) {
    HDC memory = CreateCompatibleDC(dc_);
    RECT box{0, 0, 100, 20};
    EXPECT_FALSE(Rectangle(memory, 0, 0, 4, 4));
    EXPECT_FALSE(LineTo(memory, 4, 4));
    const POINT points[] = {{0, 0}, {4, 4}};
    EXPECT_FALSE(Polyline(memory, points, 2));
    EXPECT_EQ(DrawTextA(memory, "text", -1, &box, DT_SINGLELINE), 0);
    EXPECT_GT(DrawTextA(memory, "text", -1, &box, DT_CALCRECT), 0);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(surface_.Calls().empty());
}

// The stretched picture checked pixel by pixel on an image.
class StretchTest : public BitmapTest {
  protected:
    static constexpr int kImageWidth = 64;
    static constexpr int kImageHeight = 48;

    StretchTest() : image_(kImageWidth, kImageHeight, kBackground) {
        paint_ = image_.Paint();
        target_ = CreateSurfaceDC(*paint_);
        memory_ = CreateCompatibleDC(target_);
        bitmap_ = Load(kFourBitId);
        previous_ = SelectObject(memory_, bitmap_);
    }
    ~StretchTest() override {
        SelectObject(memory_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(memory_);
        DeleteDC(target_);
    }

    // Ends the drawing and reads the image.
    COLORREF At(int x, int y) {
        paint_.reset();
        return image_.Pixel(x, y);
    }

    ui::Picture image_;
    std::unique_ptr<ui::Surface> paint_;
    HDC target_;
    HDC memory_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
};

TEST_F(StretchTest, EachDestinationPixelTakesTheSourcePixelUnderItsCentre) {
    struct Case {
        const char* name;
        int left, top, width, height;  // destination
        int xSrc, ySrc, wSrc, hSrc;
    };
    const Case cases[] = {
        {"twice the size", 10, 20, 8, 6, 0, 0, kFourBitWidth, kFourBitHeight},
        {"three by five", 0, 0, 12, 15, 0, 0, kFourBitWidth, kFourBitHeight},
        {"shrunk to half the width", 30, 5, 2, 3, 0, 0, kFourBitWidth, kFourBitHeight},
        {"a sub-rectangle at its own size", 40, 30, 2, 2, 1, 1, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteDC(target_);
        paint_.reset();  // one painter at a time
        paint_ = image_.Paint();
        target_ = CreateSurfaceDC(*paint_);
        ASSERT_TRUE(StretchBlt(target_, c.left, c.top, c.width, c.height, memory_, c.xSrc, c.ySrc,
                               c.wSrc, c.hSrc, SRCCOPY));
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const int sx = c.xSrc + (2 * x + 1) * c.wSrc / (2 * c.width);
                const int sy = c.ySrc + (2 * y + 1) * c.hSrc / (2 * c.height);
                EXPECT_EQ(At(c.left + x, c.top + y), FourBitPixel(sx, sy)) << x << "," << y;
            }
        }
        EXPECT_EQ(At(c.left + c.width, c.top), kBackground) << "drawn past the right edge";
        EXPECT_EQ(At(c.left, c.top + c.height), kBackground) << "drawn past the bottom edge";
    }
}

TEST_F(StretchTest, TheDestinationGoesThroughTheContextsMapping) {
    ASSERT_NE(SetMapMode(target_, MM_ANISOTROPIC), 0);
    ASSERT_TRUE(SetViewportExtEx(target_, 2, 2, nullptr));  // a logical unit is 2 pixels
    ASSERT_TRUE(SetWindowExtEx(target_, 1, 1, nullptr));
    ASSERT_TRUE(SetViewportOrgEx(target_, 4, 6, nullptr));
    ASSERT_TRUE(StretchBlt(target_, 0, 0, kFourBitWidth, kFourBitHeight, memory_, 0, 0,
                           kFourBitWidth, kFourBitHeight, SRCCOPY));
    EXPECT_EQ(At(4, 6), FourBitPixel(0, 0));
    EXPECT_EQ(At(4 + 2 * kFourBitWidth - 1, 6 + 2 * kFourBitHeight - 1),
              FourBitPixel(kFourBitWidth - 1, kFourBitHeight - 1));
    EXPECT_EQ(At(3, 6), kBackground);
}

TEST_F(StretchTest, RefusesWhatItCannotCopyAndDrawsNothingThen) {
    HDC stale = CreateCompatibleDC(nullptr);
    DeleteDC(stale);
    struct Case {
        const char* name;
        HDC dest;
        HDC source;
        int w, h, wSrc, hSrc, xSrc;
        DWORD rop;
    };
    constexpr DWORD kSourceInvert = 0x00660046;
    const Case cases[] = {
        {"a rop other than a copy", target_, memory_, 8, 6, 4, 3, 0, kSourceInvert},
        {"no destination width", target_, memory_, 0, 6, 4, 3, 0, SRCCOPY},
        {"a negative source height", target_, memory_, 8, 6, 4, -3, 0, SRCCOPY},
        {"a source past the bitmap", target_, memory_, 8, 6, 4, 3, 1, SRCCOPY},
        {"a source over a surface", target_, target_, 8, 6, 4, 3, 0, SRCCOPY},
        {"a destination in memory", memory_, memory_, 8, 6, 4, 3, 0, SRCCOPY},
        {"a deleted source", target_, stale, 8, 6, 4, 3, 0, SRCCOPY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(
            StretchBlt(c.dest, 0, 0, c.w, c.h, c.source, c.xSrc, 0, c.wSrc, c.hSrc, c.rop));
    }
    EXPECT_EQ(At(0, 0), kBackground);
}

}  // namespace
}  // namespace gdi::testing
