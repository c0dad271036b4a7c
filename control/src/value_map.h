// How the control's 0-based setting values become the API library's values and back.
#pragma once

#include <cstdint>

#include "hxdacodes.h"

namespace mqacq32 {

enum class ValueMap {
    kNone,     // the same number
    kOffset,   // library = value + base
    kBit0,     // 0 or 1 as bit 0 of the library's value
    kTrigger,  // 0, 1 -> 300, 301; 2, 3 -> 1200, 1201; n >= 4 -> n + 299 (302 never sent)
};

inline constexpr std::int32_t kTriggerThresholdValue = 2;  // first control value sent as 1200
inline constexpr std::int32_t kTriggerEventValue = 4;      // first control value sent as n + 299
inline constexpr std::uint32_t kLibraryTriggerGap = 302;   // the library value no control value has

constexpr std::uint32_t ToLibrary(ValueMap map, std::uint32_t base, std::int32_t value) {
    switch (map) {
        case ValueMap::kNone:
            return static_cast<std::uint32_t>(value);
        case ValueMap::kOffset:
            return static_cast<std::uint32_t>(value + static_cast<std::int32_t>(base));
        case ValueMap::kBit0:
            return static_cast<std::uint32_t>(value) & 1u;
        case ValueMap::kTrigger:
            if (value < kTriggerThresholdValue)
                return static_cast<std::uint32_t>(value +
                                                  static_cast<std::int32_t>(HXTRIG_SOFTWARE));
            if (value < kTriggerEventValue)
                return static_cast<std::uint32_t>(value - kTriggerThresholdValue +
                                                  static_cast<std::int32_t>(HXTRIG_THRESHOLDPOS));
            return static_cast<std::uint32_t>(value + static_cast<std::int32_t>(HXTRIG_SOFTWARE) -
                                              1);
    }
    return 0;
}

constexpr std::int32_t FromLibrary(ValueMap map, std::uint32_t base, std::uint32_t value) {
    const auto signedValue = static_cast<std::int32_t>(value);
    switch (map) {
        case ValueMap::kNone:
            return signedValue;
        case ValueMap::kOffset:
            return signedValue - static_cast<std::int32_t>(base);
        case ValueMap::kBit0:
            return signedValue & 1;
        case ValueMap::kTrigger:
            if (value < kLibraryTriggerGap)
                return signedValue - static_cast<std::int32_t>(HXTRIG_SOFTWARE);
            if (value >= HXTRIG_THRESHOLDPOS)
                return signedValue - static_cast<std::int32_t>(HXTRIG_THRESHOLDPOS) +
                       kTriggerThresholdValue;
            return signedValue - static_cast<std::int32_t>(HXTRIG_SOFTWARE) + 1;
    }
    return 0;
}

}  // namespace mqacq32
