// The module's string table: its identifiers, and reading a text of it at run time.
#pragma once

#include <string>

#include "win32/types.h"

namespace mqacq32 {

inline constexpr UINT kTypeNameText = 1;
inline constexpr UINT kDesignTimeText = 22000;

// The property pages' captions.
namespace text {
inline constexpr UINT kDeviceCaption = 101;
inline constexpr UINT kHardwareCaption = 102;
inline constexpr UINT kListsCaption = 103;
inline constexpr UINT kClocksCaption = 104;
inline constexpr UINT kDataIoCaption = 105;
inline constexpr UINT kCounterTimerCaption = 106;
inline constexpr UINT kTriggersCaption = 107;
inline constexpr UINT kQuadratureCaption = 108;
}  // namespace text

// The option texts of the enumerated properties (each begins with the 0-based value it stands
// for) and the property browser's own texts.
namespace text {
inline constexpr UINT kDisable = 400;
inline constexpr UINT kEnable = 401;
inline constexpr UINT kSingleEnded = 402;
inline constexpr UINT kDifferential = 403;
inline constexpr UINT kBinary = 404;
inline constexpr UINT kTwosComplement = 405;
inline constexpr UINT kTriggerSoftware = 406;
inline constexpr UINT kTriggerExternal = 407;
inline constexpr UINT kTriggerThresholdPos = 408;
inline constexpr UINT kTriggerThresholdNeg = 409;
inline constexpr UINT kTriggerAnalogEvent = 410;
inline constexpr UINT kTriggerDigitalEvent = 411;
inline constexpr UINT kTriggerTimerEvent = 412;
inline constexpr UINT kExtraTrigger = 413;  // a format: the control value, the extra's number
inline constexpr UINT kClockInternal = 414;
inline constexpr UINT kClockExternal = 415;
inline constexpr UINT kExtraClock = 416;  // a format: the control value, the extra's number
inline constexpr UINT kContinuous = 417;
inline constexpr UINT kSingleValue = 418;
inline constexpr UINT kContinuousPreTrigger = 419;
inline constexpr UINT kContinuousAboutTrigger = 420;
inline constexpr UINT kNoBufferWrap = 421;
inline constexpr UINT kWrapMultiple = 422;
inline constexpr UINT kWrapSingle = 423;
inline constexpr UINT kFirstGateType = 424;  // eleven: "0 - None" .. "10- Level Change debounce"
inline constexpr UINT kActiveLow = 435;
inline constexpr UINT kActiveHigh = 436;
inline constexpr UINT kFirstCtMode = 437;  // seven: "0 - Count Events" .. "6 - Continuous Measure"
inline constexpr UINT kCascadeWithNext = 444;
inline constexpr UINT kSingleCt = 445;
inline constexpr UINT kInternalRetrigger = 446;
inline constexpr UINT kScanPerTrigger = 447;
inline constexpr UINT kExtraRetrigger = 448;
inline constexpr UINT kGateRising = 449;
inline constexpr UINT kGateFalling = 450;
inline constexpr UINT kClockRising = 451;
inline constexpr UINT kClockFalling = 452;
inline constexpr UINT kIndexRisingEdge = 453;
inline constexpr UINT kIndexFallingEdge = 454;
inline constexpr UINT kNotSupported = 455;
inline constexpr UINT kError = 456;
inline constexpr UINT kUnavailable = 457;  // appended to an option the subsystem lacks
}  // namespace text

// The text of string `id` of this module ("" when it has none).
std::string ModuleText(UINT id);

}  // namespace mqacq32
