// The enumerated properties as a property browser sees them: each one's options (0-based control
// value, text, and the capability that says whether the open subsystem has it), the extra
// clocks or triggers that follow them, what must hold before a list is offered, and what the
// display text checks first.
#pragma once

#include <span>

#include "hxdacodes.h"
#include "settings_table.h"
#include "string_ids.h"

namespace mqacq32::browsing {

inline constexpr UINT kAlwaysAvailable = static_cast<UINT>(-1);

struct Option {
    SHORT value;
    UINT text;
    UINT gate =
        kAlwaysAvailable;  // a capability, or (edge options) a bit of HXSSC_CTMODE_EDGETOEDGE
};

// Options numbered on after the fixed ones, as many as the subsystem's capability counts.
enum class Extras { kNone, kTriggers, kClocks };

// What must hold for a list to be offered at all.
enum class Precondition {
    kNone,
    kTriggeredScan,  // HXSSC_TRIGGEREDSCAN nonzero
    kSyncDio,        // HXSSC_SYNCDIO nonzero
    kRetrigger,      // triggered scan exactly 1, and an extra or internal retrigger
    kPreTrigger,     // a pre-trigger or about-trigger data flow
    kGetterAnswers,  // the getter does not answer HXNOTSUPPORTED (with a subsystem open)
};

// What the display text checks before the getter ("Not Supported" when it fails).
enum class DisplayCheck { kNone, kTriggeredScan, kSyncDio, kRetrigger, kPreTrigger };

struct BrowsedProperty {
    const ShortSetting* setting;
    std::span<const Option> options;
    Precondition precondition = Precondition::kNone;
    DisplayCheck check = DisplayCheck::kNone;
    Extras extras = Extras::kNone;
    bool gated = true;      // options carry availability, and none available means no list
    bool edgeBits = false;  // gates are bits of HXSSC_CTMODE_EDGETOEDGE
};

inline constexpr SHORT kFirstExtraTrigger = 7;
inline constexpr SHORT kFirstExtraClock = 2;

inline constexpr Option kBinaryOptions[] = {{0, text::kDisable}, {1, text::kEnable}};
inline constexpr Option kChannelTypes[] = {{0, text::kSingleEnded, HXSSC_CHANTYPE_SINGLEENDED},
                                           {1, text::kDifferential, HXSSC_CHANTYPE_DIFFERENTIAL}};
inline constexpr Option kEncodings[] = {{0, text::kBinary, HXSSC_ENCODING_BINARY},
                                        {1, text::kTwosComplement, HXSSC_ENCODING_TWOSCOMP}};
inline constexpr Option kTriggers[] = {{0, text::kTriggerSoftware, HXSSC_TRIGGER_SOFTWARE},
                                       {1, text::kTriggerExternal, HXSSC_TRIGGER_EXTERNAL},
                                       {2, text::kTriggerThresholdPos, HXSSC_TRIGGER_THRESHOLDPOS},
                                       {3, text::kTriggerThresholdNeg, HXSSC_TRIGGER_THRESHOLDNEG},
                                       {4, text::kTriggerAnalogEvent, HXSSC_TRIGGER_ANALOGEVENT},
                                       {5, text::kTriggerDigitalEvent, HXSSC_TRIGGER_DIGITALEVENT},
                                       {6, text::kTriggerTimerEvent, HXSSC_TRIGGER_TIMEREVENT}};
inline constexpr Option kClockSources[] = {{0, text::kClockInternal, HXSSC_CLOCK_INTERNAL},
                                           {1, text::kClockExternal, HXSSC_CLOCK_EXTERNAL}};
inline constexpr Option kDataFlows[] = {
    {0, text::kContinuous, HXSSC_DATAFLOW_CONTINUOUS},
    {1, text::kSingleValue, HXSSC_DATAFLOW_SINGLEVALUE},
    {4, text::kContinuousPreTrigger, HXSSC_DATAFLOW_CONTPRETRIG},
    {5, text::kContinuousAboutTrigger, HXSSC_DATAFLOW_CONTABOUTTRIG}};
inline constexpr Option kWrapModes[] = {{0, text::kNoBufferWrap, HXSSC_DATAFLOW_CONTINUOUS},
                                        {1, text::kWrapMultiple, HXSSC_WRAP_MULTIPLE},
                                        {2, text::kWrapSingle, HXSSC_WRAP_SINGLE}};
inline constexpr Option kGateTypes[] = {
    {0, text::kFirstGateType + 0, HXSSC_GATE_NONE},
    {1, text::kFirstGateType + 1, HXSSC_GATE_HIGHLEVEL},
    {2, text::kFirstGateType + 2, HXSSC_GATE_LOWLEVEL},
    {3, text::kFirstGateType + 3, HXSSC_GATE_RISINGEDGE},
    {4, text::kFirstGateType + 4, HXSSC_GATE_FALLINGEDGE},
    {5, text::kFirstGateType + 5, HXSSC_GATE_LEVELCHANGE},
    {6, text::kFirstGateType + 6, HXSSC_GATE_HIGHLEVELDEBOUNCE},
    {7, text::kFirstGateType + 7, HXSSC_GATE_LOWLEVELDEBOUNCE},
    {8, text::kFirstGateType + 8, HXSSC_GATE_RISINGEDGEDEBOUNCE},
    {9, text::kFirstGateType + 9, HXSSC_GATE_FALLINGEDGEDEBOUNCE},
    {10, text::kFirstGateType + 10, HXSSC_GATE_LEVELCHANGEDEBOUNCE}};
inline constexpr Option kPulseTypes[] = {{0, text::kActiveLow, HXSSC_PULSE_ACTIVELOW},
                                         {1, text::kActiveHigh, HXSSC_PULSE_ACTIVEHIGH}};
inline constexpr Option kCtModes[] = {{0, text::kFirstCtMode + 0, HXSSC_CTMODE_COUNTEVENTS},
                                      {1, text::kFirstCtMode + 1, HXSSC_CTMODE_RATE},
                                      {2, text::kFirstCtMode + 2, HXSSC_CTMODE_ONESHOT},
                                      {3, text::kFirstCtMode + 3, HXSSC_CTMODE_REPEATONESHOT},
                                      {4, text::kFirstCtMode + 4, HXSSC_CTMODE_UPDOWN},
                                      {5, text::kFirstCtMode + 5, HXSSC_CTMODE_EDGETOEDGE},
                                      {6, text::kFirstCtMode + 6, HXSSC_CTMODE_CONTMEASURE}};
// "Single CT" is offered where the counter can generate a rate.
inline constexpr Option kCascadeModes[] = {{0, text::kCascadeWithNext, HXSSC_CASCADE},
                                           {1, text::kSingleCt, HXSSC_CTMODE_RATE}};
inline constexpr Option kRetriggerModes[] = {
    {0, text::kInternalRetrigger, HXSSC_RETRIGGER_INTERNAL},
    {1, text::kScanPerTrigger, HXSSC_RETRIGGER_SCANPERTRIGGER},
    {2, text::kExtraRetrigger, HXSSC_RETRIGGER_EXTRA}};
inline constexpr UINT kGateRisingBit = 1;
inline constexpr UINT kGateFallingBit = 2;
inline constexpr UINT kClockRisingBit = 4;
inline constexpr UINT kClockFallingBit = 8;
inline constexpr Option kMeasureEdges[] = {{0, text::kGateRising, kGateRisingBit},
                                           {1, text::kGateFalling, kGateFallingBit},
                                           {2, text::kClockRising, kClockRisingBit},
                                           {3, text::kClockFalling, kClockFallingBit}};
inline constexpr Option kIndexInputs[] = {
    {0, text::kDisable}, {1, text::kIndexRisingEdge}, {2, text::kIndexFallingEdge}};

using P = Precondition;
using C = DisplayCheck;

inline constexpr BrowsedProperty kBrowsed[] = {
    {&kTriggeredScan, kBinaryOptions, P::kTriggeredScan, C::kTriggeredScan, Extras::kNone, false},
    {&kChannelType, kChannelTypes},
    {&kEncoding, kEncodings},
    {&kTrigger, kTriggers, P::kNone, C::kNone, Extras::kTriggers},
    {&kClockSource, kClockSources, P::kNone, C::kNone, Extras::kClocks},
    {&kDataFlow, kDataFlows},
    {&kWrapMode, kWrapModes, P::kGetterAnswers},
    {&kGateType, kGateTypes},
    {&kPulseType, kPulseTypes},
    {&kCtMode, kCtModes},
    {&kCascadeMode, kCascadeModes},
    {&kSyncDioUsage, kBinaryOptions, P::kSyncDio, C::kSyncDio, Extras::kNone, false},
    {&kRetriggerMode, kRetriggerModes, P::kNone, C::kTriggeredScan},
    {&kRetrigger, kTriggers, P::kRetrigger, C::kRetrigger, Extras::kTriggers},
    {&kPreTrigger, kTriggers, P::kPreTrigger, C::kPreTrigger, Extras::kTriggers},
    {&kMeasureStartEdge, kMeasureEdges, P::kGetterAnswers, C::kNone, Extras::kNone, true, true},
    {&kMeasureStopEdge, kMeasureEdges, P::kGetterAnswers, C::kNone, Extras::kNone, true, true},
};

}  // namespace mqacq32::browsing
