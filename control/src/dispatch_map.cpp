// The members of _DMQAcq32 and of _DMQAcq32Events, with the functions behind them.
#include "dispatch_map.h"

#include "acq_control.h"
#include "mqacq32/mqacq32.h"
#include "setting_members.h"

namespace mqacq32 {
namespace {

using com::server::DispatchTable;
using com::server::Event;
using com::server::Method;
using com::server::ReadOnly;
using com::server::ReadWrite;
using C = AcqControl;

template <const auto& Entry>
com::server::Member SettingMember(std::string_view name) {
    return ReadWrite<&C::GetSetting<Entry>, &C::PutSetting<Entry>>(Entry.id, name);
}

}  // namespace

const DispatchTable& ControlTable() {
    namespace d = dispid;
    static const DispatchTable table(
        kDispatchIid, "_DMQAcq32",
        {
            ReadOnly<&C::GetHDass>(d::hDass, "hDass"),
            SettingMember<kFrequency>("Frequency"),
            SettingMember<kDmaUsage>("DmaUsage"),
            SettingMember<kTriggeredScan>("TriggeredScan"),
            SettingMember<kChannelType>("ChannelType"),
            SettingMember<kEncoding>("Encoding"),
            SettingMember<kTrigger>("Trigger"),
            SettingMember<kClockSource>("ClockSource"),
            ReadWrite<&C::GetRetriggerFreq, &C::PutRetriggerFreq>(d::RetriggerFreq,
                                                                  "RetriggerFreq"),
            SettingMember<kClockDivider>("ClockDivider"),
            SettingMember<kResolution>("Resolution"),
            ReadWrite<&C::GetRange, &C::PutRange>(d::Range, "Range"),
            ReadOnly<&C::GetMinRange>(d::MinRange, "MinRange"),
            ReadOnly<&C::GetMaxRange>(d::MaxRange, "MaxRange"),
            SettingMember<kDataFlow>("DataFlow"),
            SettingMember<kWrapMode>("WrapMode"),
            SettingMember<kGateType>("GateType"),
            SettingMember<kPulseType>("PulseType"),
            SettingMember<kPulseWidth>("PulseWidth"),
            SettingMember<kCtMode>("CTMode"),
            SettingMember<kCascadeMode>("CascadeMode"),
            ReadOnly<&C::GetReserved>(d::RESERVED, "RESERVED"),
            ReadOnly<&C::GetNumResolutions>(d::numResolutions, "numResolutions"),
            ReadOnly<&C::GetNumRanges>(d::numRanges, "numRanges"),
            ReadOnly<&C::GetNumGains>(d::numGains, "numGains"),
            ReadOnly<&C::GetNumFilters>(d::numFilters, "numFilters"),
            ReadWrite<&C::GetQueue, &C::PutQueue>(d::Queue, "Queue"),
            SettingMember<kSyncDioUsage>("SyncDIOUsage"),
            SettingMember<kMqConnectXferSize>("MQConnectXferSize"),
            SettingMember<kMqConnectXferCount>("MQConnectXferCount"),
            ReadOnly<&C::GetNumSubSystems>(d::numSubSystems, "numSubSystems"),
            ReadWrite<&C::GetSubSystem, &C::PutSubSystem>(d::SubSystem, "SubSystem"),
            ReadWrite<&C::GetSubSysType, &C::PutSubSysType>(d::SubSysType, "SubSysType"),
            ReadWrite<&C::GetSubSysElement, &C::PutSubSysElement>(d::SubSysElement,
                                                                  "SubSysElement"),
            ReadOnly<&C::GetHDev>(d::hDev, "hDev"),
            ReadOnly<&C::GetNumBoards>(d::numBoards, "numBoards"),
            SettingMember<kListSize>("ListSize"),
            ReadWrite<&C::GetBoard, &C::PutBoard>(d::Board, "Board"),
            SettingMember<kRetriggerMode>("RetriggerMode"),
            ReadOnly<&C::GetLastError>(d::LastError, "LastError"),
            ReadOnly<&C::GetLastErrDescription>(d::LastErrDescription, "LastErrDescription"),
            ReadOnly<&C::GetDeviceName>(d::DeviceName, "DeviceName"),
            Method<&C::Config>(d::Config, "Config"),
            Method<&C::Start>(d::Start, "Start"),
            Method<&C::Stop>(d::Stop, "Stop"),
            Method<&C::Abort>(d::Abort, "Abort"),
            Method<&C::Pause>(d::Pause, "Pause"),
            Method<&C::Continue>(d::Continue, "Continue"),
            Method<&C::Flush>(d::Flush, "Flush"),
            Method<&C::Reset>(d::Reset, "Reset"),
            Method<&C::PutSingleValue>(d::PutSingleValue, "PutSingleValue",
                                       {"uiChannel", "dGain", "lValue"}),
            Method<&C::GetSingleValue>(d::GetSingleValue, "GetSingleValue", {"uiChannel", "dGain"}),
            Method<&C::CTReadEvents>(d::CTReadEvents, "CTReadEvents"),
            Method<&C::MeasureFrequency>(d::MeasureFrequency, "MeasureFrequency",
                                         {"dCountDuration"}),
            Method<&C::EnumBoards>(d::EnumBoards, "EnumBoards"),
            Method<&C::EnumSS>(d::EnumSS, "EnumSS"),
            Method<&C::EnumSSCaps>(d::EnumSSCaps, "EnumSSCaps", {"uiCap"}),
            Method<&C::ClearError>(d::ClearError, "ClearError"),
            Method<&C::MQConnectBurst>(d::MQConnectBurst, "MQConnectBurst",
                                       {"TransferSize", "TransferCount"}),
            Method<&C::GetDevCaps>(d::GetDevCaps, "GetDevCaps", {"hxDc"}),
            Method<&C::GetSSCaps>(d::GetSSCaps, "GetSSCaps", {"HxSSc"}),
            Method<&C::GetSSCapsEx>(d::GetSSCapsEx, "GetSSCapsEx", {"HxSSc"}),
            ReadWrite<&C::GetChannelList, &C::PutChannelList>(d::ChannelList, "ChannelList",
                                                              {"index"}),
            ReadWrite<&C::GetGainList, &C::PutGainList>(d::GainList, "GainList", {"index"}),
            ReadWrite<&C::GetFilterList, &C::PutFilterList>(d::FilterList, "FilterList", {"index"}),
            ReadOnly<&C::GetResolutionValues>(d::ResolutionValues, "ResolutionValues", {"index"}),
            ReadOnly<&C::GetMinRangeValues>(d::MinRangeValues, "MinRangeValues", {"index"}),
            ReadOnly<&C::GetMaxRangeValues>(d::MaxRangeValues, "MaxRangeValues", {"index"}),
            ReadOnly<&C::GetGainValues>(d::GainValues, "GainValues", {"index"}),
            ReadOnly<&C::GetFilterValues>(d::FilterValues, "FilterValues", {"index"}),
            ReadWrite<&C::GetInhibitList, &C::PutInhibitList>(d::InhibitList, "InhibitList",
                                                              {"index"}),
            ReadWrite<&C::GetDioList, &C::PutDioList>(d::DIOList, "DIOList", {"index"}),
            ReadOnly<&C::GetSubSystemList>(d::SubSystemList, "SubSystemList", {"index"}),
            ReadOnly<&C::GetBoardList>(d::BoardList, "BoardList", {"index"}),
            ReadOnly<&C::GetQueueSize>(d::QueueSize, "QueueSize", {"uiQueue"}),
            Method<&C::PowerOn>(d::PowerOn, "PowerOn"),
            Method<&C::PowerOff>(d::PowerOff, "PowerOff"),
            SettingMember<kRetrigger>("Retrigger"),
            SettingMember<kMultiScanCount>("MultiScanCount"),
            SettingMember<kPreTrigger>("PreTrigger"),
            SettingMember<kMeasureStartEdge>("MeasureStartEdge"),
            SettingMember<kMeasureStopEdge>("MeasureStopEdge"),
            ReadWrite<&C::GetClockPrescale, &C::PutClockPrescale>(d::ClockPrescale,
                                                                  "ClockPrescale"),
            ReadWrite<&C::GetX4Scaling, &C::PutX4Scaling>(d::X4Scaling, "X4Scaling"),
            ReadWrite<&C::GetIndexInput, &C::PutIndexInput>(d::IndexInput, "IndexInput"),
            ReadOnly<&C::GetHWnd>(d::hWnd, "hWnd"),
            ReadWrite<&C::GetCaption, &C::PutCaption>(d::Caption, "Caption"),
            Method<&C::AboutBox>(d::AboutBox, "AboutBox"),
        });
    return table;
}

const DispatchTable& EventTable() {
    namespace e = event;
    constexpr VARTYPE kText = VT_BSTR | VT_BYREF;
    constexpr VARTYPE kShort = VT_I2 | VT_BYREF;
    constexpr VARTYPE kSingle = VT_R4 | VT_BYREF;
    constexpr VARTYPE kLong = VT_I4 | VT_BYREF;
    static const DispatchTable table(
        kEventsIid, "_DMQAcq32Events",
        {
            Event(e::BufferDone, "BufferDone"),
            Event(e::QueueDone, "QueueDone"),
            Event(e::BufferReused, "BufferReused"),
            Event(e::TriggerError, "TriggerError"),
            Event(e::OverrunError, "OverrunError"),
            Event(e::UnderrunError, "UnderrunError"),
            Event(e::EnumSubsystems, "EnumSubsystems", {kText, kShort, kShort},
                  {"Description", "SSType", "SSElement"}),
            Event(e::EnumSSCaps, "EnumSSCaps", {kShort, kSingle, kSingle},
                  {"Capability", "Param1", "Param2"}),
            Event(e::EnumBoards, "EnumBoards", {kText, kText}, {"BoardName", "DriverEntry"}),
            Event(e::QueueStopped, "QueueStopped"),
            Event(e::MeasureDone, "MeasureDone", {kSingle}, {"Frequency"}),
            Event(e::MQConnectDone, "MQConnectDone"),
            Event(e::SSEventDone, "SSEventDone", {kLong}, {"lStatus"}),
            Event(e::SSEventError, "SSEventError"),
            Event(e::MQConnectStopped, "MQConnectStopped"),
            Event(e::PreTrigBufferDone, "PreTrigBufferDone"),
            Event(e::DeviceRemoval, "DeviceRemoval"),
            Event(e::IoComplete, "IoComplete"),
        });
    return table;
}

}  // namespace mqacq32
