#include "data_mapping.h"

#include <cmath>
#include <limits>

namespace plot32 {

LONG TruncateToLogical(long double value) {
    constexpr long double kLowest = std::numeric_limits<LONG>::min();
    constexpr long double kHighest = std::numeric_limits<LONG>::max();
    if (std::isnan(value))
        return 0;
    if (value <= kLowest)
        return std::numeric_limits<LONG>::min();
    if (value >= kHighest)
        return std::numeric_limits<LONG>::max();
    return static_cast<LONG>(std::trunc(value));
}

}  // namespace plot32
