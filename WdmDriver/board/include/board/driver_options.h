// The driver's options: the five read from the maker's software key at every start, and the two
// service parameters read when the driver loads. Missing keys or values leave the defaults.
#pragma once

#include "kernel/wdm.h"

namespace board {

inline constexpr PCWSTR kSoftwareKeyPath =
    u"\\Registry\\Machine\\Software\\Marquell\\MQ-Halcyon Data Acquisition Software";

struct DriverOptions {
    bool delayedStopCompletion = false;
    bool driverDoesMultipleWrap = false;
    bool clearDataToggleOnAbort = false;
    ULONG dacFifoSize = 0;
    ULONG adFifoSize = 0;
    bool operator==(const DriverOptions&) const = default;
};

struct ServiceParameters {
    ULONG eepromValidationOverride = 0;
    ULONG messageOverrunOverride = 1;
    bool operator==(const ServiceParameters&) const = default;
};

// Resets the options to their defaults, then reads them as REG_DWORD values of the software key
// (the three flags are true when present and non-zero).
void ReadDriverOptions(DriverOptions* options);
// Reads the "Parameters" subkey of the driver's service key.
void ReadServiceParameters(PCUNICODE_STRING serviceKey, ServiceParameters* parameters);

}  // namespace board
