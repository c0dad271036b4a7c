// A module that carries the tests' bitmap resources.
#include "test_bitmaps.h"

namespace {

using namespace gdi::testing;

const std::vector<BYTE> kTopDown = TopDownTrueColour();
const std::vector<BYTE> kOne = OneBit();
const std::vector<BYTE> kShort = Truncated();
const std::vector<BYTE> kPacked =
    FourBitWith([](BITMAPINFOHEADER& h) { h.biCompression = BI_RGB + 1; });
const std::vector<BYTE> kOutside = IndexOutsideTable();
const std::vector<BYTE> kManyColours =
    FourBitWith([](BITMAPINFOHEADER& h) { h.biClrUsed = gdi::kPackedDibColours + 1; });
const std::vector<BYTE> kNoWidth = FourBitWith([](BITMAPINFOHEADER& h) { h.biWidth = 0; });
const std::vector<BYTE> kPlanes = FourBitWith([](BITMAPINFOHEADER& h) { h.biPlanes = 2; });

}  // namespace

MQ_BITMAPTABLE_BEGIN
MQ_BITMAP(kFourBitId, kFourBit)
MQ_BITMAP(kTopDownTrueColourId, kTopDown)
MQ_BITMAP(kOneBitId, kOne)
MQ_BITMAP(kTruncatedId, kShort)
MQ_BITMAP(kCompressedId, kPacked)
MQ_BITMAP(kIndexOutsideTableId, kOutside)
MQ_BITMAP(kTooManyColoursId, kManyColours)
MQ_BITMAP(kZeroWidthId, kNoWidth)
MQ_BITMAP(kTwoPlanesId, kPlanes)
MQ_BITMAPTABLE_END
