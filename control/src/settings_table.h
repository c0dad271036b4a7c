// The settings properties as one family: each member's library calls, value map, cached field,
// capability gate, what a get answers when the library cannot, and the put's checks.
#pragma once

#include <cstdint>

#include "cached_settings.h"
#include "com/dispatch.h"
#include "hxdaapi32.h"
#include "mqacq32/mqacq32.h"
#include "value_map.h"

namespace mqacq32 {

// A capability the get reads first; below 1 the setting counts as not supported.
enum class Gate {
    kNone,
    kTriggeredScan,  // HXSSC_TRIGGEREDSCAN
    kSyncDio,        // HXSSC_SYNCDIO
    kPreTrigger,     // HXSSC_DATAFLOW_CONTPRETRIG or HXSSC_DATAFLOW_CONTABOUTTRIG
    kRetrigger,      // triggered scan, then an extra or internal retrigger
};

// What a get answers when the setting is not supported (the library answers HXNOTSUPPORTED, or
// the gate is closed).
enum class Unsupported {
    kCached,   // the cached value, no error
    kRaise,    // the library's HXNOTSUPPORTED, raised
    kValue,    // stores and answers the member's designValue
    kMarkerA,  // stores and answers -2, or -3 when it holds -2 already
    kMarkerB,  // stores and answers -2 when it holds -1, else -1
};

template <typename T, typename Library>
struct Setting {
    using LibraryValue = Library;
    DISPID id;
    HXSTATUS(HXAPI* get)(HDASS, Library*);
    HXSTATUS(HXAPI* set)(HDASS, Library);
    T CachedSettings::*cached;
    ValueMap map = ValueMap::kNone;
    std::uint32_t base = 0;
    Gate gate = Gate::kNone;
    Unsupported run = Unsupported::kCached;
    Unsupported design = Unsupported::kCached;
    T designValue = 0;
    bool binary = false;             // the put takes 0 and 1 only
    bool marksModified = false;      // the put marks the control modified
    bool putNeedsSubsystem = false;  // without a subsystem the put does nothing
};

using ShortSetting = Setting<SHORT, UINT>;
using LongSetting = Setting<LONG, UINT>;
using DoubleSetting = Setting<double, double>;

using U = Unsupported;
using S = CachedSettings;

inline constexpr DoubleSetting kFrequency{.id = dispid::Frequency,
                                          .get = hxDaGetClockFrequency,
                                          .set = hxDaSetClockFrequency,
                                          .cached = &S::frequency,
                                          .run = U::kRaise,
                                          .design = U::kValue};
inline constexpr ShortSetting kDmaUsage{.id = dispid::DmaUsage,
                                        .get = hxDaGetDmaUsage,
                                        .set = hxDaSetDmaUsage,
                                        .cached = &S::dmaUsage,
                                        .run = U::kRaise,
                                        .design = U::kValue};
inline constexpr ShortSetting kTriggeredScan{.id = dispid::TriggeredScan,
                                             .get = hxDaGetTriggeredScanUsage,
                                             .set = hxDaSetTriggeredScanUsage,
                                             .cached = &S::triggeredScan,
                                             .map = ValueMap::kBit0,
                                             .gate = Gate::kTriggeredScan,
                                             .design = U::kMarkerA,
                                             .binary = true};
inline constexpr ShortSetting kChannelType{.id = dispid::ChannelType,
                                           .get = hxDaGetChannelType,
                                           .set = hxDaSetChannelType,
                                           .cached = &S::channelType,
                                           .map = ValueMap::kOffset,
                                           .base = HXCHANTYPE_SINGLEENDED,
                                           .design = U::kMarkerA};
inline constexpr ShortSetting kEncoding{.id = dispid::Encoding,
                                        .get = hxDaGetEncoding,
                                        .set = hxDaSetEncoding,
                                        .cached = &S::encoding,
                                        .map = ValueMap::kOffset,
                                        .base = HXENCODING_BINARY,
                                        .design = U::kMarkerA};
inline constexpr ShortSetting kTrigger{.id = dispid::Trigger,
                                       .get = hxDaGetTrigger,
                                       .set = hxDaSetTrigger,
                                       .cached = &S::trigger,
                                       .map = ValueMap::kTrigger};
inline constexpr ShortSetting kClockSource{.id = dispid::ClockSource,
                                           .get = hxDaGetClockSource,
                                           .set = hxDaSetClockSource,
                                           .cached = &S::clockSource,
                                           .map = ValueMap::kOffset,
                                           .base = HXCLK_INTERNAL,
                                           .design = U::kMarkerA};
inline constexpr LongSetting kClockDivider{.id = dispid::ClockDivider,
                                           .get = hxDaGetExternalClockDivider,
                                           .set = hxDaSetExternalClockDivider,
                                           .cached = &S::clockDivider};
inline constexpr ShortSetting kResolution{.id = dispid::Resolution,
                                          .get = hxDaGetResolution,
                                          .set = hxDaSetResolution,
                                          .cached = &S::resolution,
                                          .run = U::kRaise,
                                          .design = U::kRaise};
inline constexpr ShortSetting kDataFlow{.id = dispid::DataFlow,
                                        .get = hxDaGetDataFlow,
                                        .set = hxDaSetDataFlow,
                                        .cached = &S::dataFlow,
                                        .map = ValueMap::kOffset,
                                        .base = HXDF_CONTINUOUS};
inline constexpr ShortSetting kWrapMode{.id = dispid::WrapMode,
                                        .get = hxDaGetWrapMode,
                                        .set = hxDaSetWrapMode,
                                        .cached = &S::wrapMode,
                                        .map = ValueMap::kOffset,
                                        .base = HXWRAP_NONE,
                                        .design = U::kMarkerA};
inline constexpr ShortSetting kGateType{.id = dispid::GateType,
                                        .get = hxDaGetGateType,
                                        .set = hxDaSetGateType,
                                        .cached = &S::gateType,
                                        .map = ValueMap::kOffset,
                                        .base = HXGATE_NONE,
                                        .design = U::kMarkerB};
inline constexpr ShortSetting kPulseType{.id = dispid::PulseType,
                                         .get = hxDaGetPulseType,
                                         .set = hxDaSetPulseType,
                                         .cached = &S::pulseType,
                                         .map = ValueMap::kOffset,
                                         .base = HXPULSE_ACTIVELOW,
                                         .design = U::kMarkerB};
inline constexpr DoubleSetting kPulseWidth{.id = dispid::PulseWidth,
                                           .get = hxDaGetPulseWidth,
                                           .set = hxDaSetPulseWidth,
                                           .cached = &S::pulseWidth,
                                           .run = U::kRaise,
                                           .design = U::kValue};
inline constexpr ShortSetting kCtMode{.id = dispid::CTMode,
                                      .get = hxDaGetCTMode,
                                      .set = hxDaSetCTMode,
                                      .cached = &S::ctMode,
                                      .map = ValueMap::kOffset,
                                      .base = HXCTMODE_COUNTEVENTS,
                                      .design = U::kMarkerA};
inline constexpr ShortSetting kCascadeMode{.id = dispid::CascadeMode,
                                           .get = hxDaGetCascadeMode,
                                           .set = hxDaSetCascadeMode,
                                           .cached = &S::cascadeMode,
                                           .map = ValueMap::kOffset,
                                           .base = HXCASCADE_WITHNEXT,
                                           .design = U::kMarkerA};
inline constexpr ShortSetting kSyncDioUsage{.id = dispid::SyncDIOUsage,
                                            .get = hxDaGetSynchronousDigitalIOUsage,
                                            .set = hxDaSetSynchronousDigitalIOUsage,
                                            .cached = &S::syncDioUsage,
                                            .map = ValueMap::kBit0,
                                            .gate = Gate::kSyncDio,
                                            .design = U::kMarkerA,
                                            .binary = true};
inline constexpr LongSetting kMqConnectXferSize{.id = dispid::MQConnectXferSize,
                                                .get = hxDaGetMQConnectTransferSize,
                                                .set = hxDaSetMQConnectTransferSize,
                                                .cached = &S::mqConnectXferSize,
                                                .run = U::kRaise,
                                                .design = U::kValue};
inline constexpr LongSetting kMqConnectXferCount{.id = dispid::MQConnectXferCount,
                                                 .get = hxDaGetMQConnectTransferCount,
                                                 .set = hxDaSetMQConnectTransferCount,
                                                 .cached = &S::mqConnectXferCount,
                                                 .run = U::kRaise,
                                                 .design = U::kValue};
inline constexpr LongSetting kListSize{.id = dispid::ListSize,
                                       .get = hxDaGetChannelListSize,
                                       .set = hxDaSetChannelListSize,
                                       .cached = &S::listSize,
                                       .run = U::kRaise,
                                       .design = U::kValue,
                                       .putNeedsSubsystem = true};
// A closed gate in run mode answers the cached value (the library has none to give).
inline constexpr ShortSetting kRetriggerMode{.id = dispid::RetriggerMode,
                                             .get = hxDaGetRetriggerMode,
                                             .set = hxDaSetRetriggerMode,
                                             .cached = &S::retriggerMode,
                                             .map = ValueMap::kOffset,
                                             .base = HXRETRIGGER_INTERNAL,
                                             .gate = Gate::kTriggeredScan,
                                             .design = U::kValue};
inline constexpr ShortSetting kRetrigger{.id = dispid::Retrigger,
                                         .get = hxDaGetRetrigger,
                                         .set = hxDaSetRetrigger,
                                         .cached = &S::retrigger,
                                         .map = ValueMap::kTrigger,
                                         .gate = Gate::kRetrigger,
                                         .design = U::kMarkerA,
                                         .marksModified = true};
inline constexpr LongSetting kMultiScanCount{.id = dispid::MultiScanCount,
                                             .get = hxDaGetMultiscanCount,
                                             .set = hxDaSetMultiscanCount,
                                             .cached = &S::multiScanCount,
                                             .run = U::kRaise,
                                             .design = U::kValue,
                                             .designValue = 1};
inline constexpr ShortSetting kPreTrigger{.id = dispid::PreTrigger,
                                          .get = hxDaGetPretriggerSource,
                                          .set = hxDaSetPretriggerSource,
                                          .cached = &S::preTrigger,
                                          .map = ValueMap::kTrigger,
                                          .gate = Gate::kPreTrigger,
                                          .design = U::kMarkerA,
                                          .marksModified = true};
inline constexpr ShortSetting kMeasureStartEdge{.id = dispid::MeasureStartEdge,
                                                .get = hxDaGetMeasureStartEdge,
                                                .set = hxDaSetMeasureStartEdge,
                                                .cached = &S::measureStartEdge,
                                                .map = ValueMap::kOffset,
                                                .base = HXEDGE_GATERISING,
                                                .design = U::kMarkerB,
                                                .marksModified = true};
inline constexpr ShortSetting kMeasureStopEdge{.id = dispid::MeasureStopEdge,
                                               .get = hxDaGetMeasureStopEdge,
                                               .set = hxDaSetMeasureStopEdge,
                                               .cached = &S::measureStopEdge,
                                               .map = ValueMap::kOffset,
                                               .base = HXEDGE_GATERISING,
                                               .design = U::kMarkerB,
                                               .marksModified = true};

}  // namespace mqacq32
