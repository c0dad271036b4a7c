// The logical-to-device transform of a context's state. Private to platform/gdi.
#pragma once

#include "object_table.h"

namespace gdi::detail {

// a x b / c rounded to the nearest integer, a half away from zero, in exact integer arithmetic;
// held to the 32-bit range.
LONG MulDivRound(LONG a, LONG b, LONG c);

POINT ToDevice(const DcState& state, POINT logical);
POINT ToLogical(const DcState& state, POINT device);
// A length along x or y in device pixels (its size, without sign).
int DeviceWidth(const DcState& state, int logicalWidth);
// A device length along x or y in logical units (its size, without sign).
int LogicalWidth(const DcState& state, int deviceWidth);
int LogicalHeight(const DcState& state, int deviceHeight);

}  // namespace gdi::detail
