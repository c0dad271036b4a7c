// The board's 4-byte status messages as the data-acquisition device routes them: a 16-bit type and
// a 16-bit flags word. Type 0 carries condition flags; the digital-input change carries the new
// port value in its flags word; the D/A ready message starts the D/A.
#pragma once

#include "kernel/wdm.h"

namespace dalayer {

inline constexpr USHORT kStatusTypeFlags = 0x0000;
inline constexpr USHORT kStatusTypeDinChange = 0x2000;
inline constexpr USHORT kStatusTypeDaReady = 0x8001;

// Flags of type 0.
inline constexpr USHORT kFlagAdOverrun = 0x0001 | 0x0002;
inline constexpr USHORT kFlagDaUnderrun = 0x0004 | 0x0010;
inline constexpr USHORT kFlagDaComplete = 0x0008;
inline constexpr USHORT kFlagCounterOverrun = 0x0020 | 0x0040 | 0x0080 | 0x0100 | 0x0200;

inline constexpr ULONG kStatusMessageBytes = 4;

}  // namespace dalayer
