// Data coordinates to the graph's logical units: the distance from the axis times the scale,
// truncated toward zero.
#pragma once

#include "graph_record.h"

namespace plot32 {

// trunc(value), held to the 32-bit range; a value that is not a number maps to 0. (A plain
// conversion of such values would be undefined.)
LONG TruncateToLogical(long double value);

inline LONG LogicalX(const GraphRecord& record, double x) {
    return TruncateToLogical((x - record.xMin) * record.xScale);
}

inline LONG LogicalY(const GraphRecord& record, double y) {
    return TruncateToLogical((y - record.yMin) * record.yScale);
}

}  // namespace plot32
