// The settings a control instance holds for its subsystem: what a get answers while no subsystem
// is open, what design time shows when the library cannot answer, and what is saved.
#pragma once

#include "win32/types.h"

namespace mqacq32 {

// A setting never read or set holds kUnset.
inline constexpr SHORT kUnset = -1;
inline constexpr SHORT kDefaultClockPrescale = 255;

struct CachedSettings {
    double frequency = 0.0;
    double retriggerFreq = 0.0;
    double pulseWidth = 0.0;
    SHORT dmaUsage = 0;
    SHORT triggeredScan = kUnset;
    SHORT retriggerMode = kUnset;
    SHORT channelType = kUnset;
    SHORT encoding = kUnset;
    SHORT trigger = kUnset;
    SHORT clockSource = kUnset;
    SHORT resolution = 0;
    SHORT range = kUnset;  // index into the range table
    SHORT dataFlow = kUnset;
    SHORT wrapMode = kUnset;
    SHORT gateType = kUnset;
    SHORT pulseType = kUnset;
    SHORT measureStartEdge = kUnset;
    SHORT measureStopEdge = kUnset;
    SHORT ctMode = kUnset;
    SHORT cascadeMode = kUnset;
    SHORT syncDioUsage = kUnset;
    SHORT retrigger = kUnset;
    SHORT preTrigger = kUnset;
    SHORT clockPrescale = kDefaultClockPrescale;
    SHORT x4Scaling = 0;
    SHORT indexInput = 0;
    LONG clockDivider = 0;
    LONG mqConnectXferSize = 0;
    LONG mqConnectXferCount = 0;
    LONG listSize = 0;
    LONG multiScanCount = 0;

    // Back to the values above, on opening or closing a subsystem and on a failed board open;
    // the transfer-connection size and count keep theirs.
    void Reset() {
        CachedSettings fresh;
        fresh.mqConnectXferSize = mqConnectXferSize;
        fresh.mqConnectXferCount = mqConnectXferCount;
        *this = fresh;
    }
};

}  // namespace mqacq32
