// The acquisition control MQAcq32 as its containers see it: class and interface identifiers, the
// dispatch identifiers of the dispatch interface _DMQAcq32 and of the event interface
// _DMQAcq32Events, and the error codes its members raise.
//
// A container makes the control with CoCreateInstance(kClsid) once the module (MQACQ32.dll,
// libMQACQ32.so) has registered itself, gives it its client site (IOleObject::SetClientSite:
// the control reads the ambient user mode there), advises an IDispatch sink on the connection
// point kEventsIid and drives it by these identifiers. Events are fired on the thread that made
// the control, from its message loop.
//
// Persistence: IPersistStreamInit, IPersistPropertyBag and IPersistStorage save and load the
// control's settings (a binary record of format version kRecordFormatVersion; by name in a
// property bag). Loading reopens the saved board and subsystem and re-applies every setting; a
// record that ends early is refused with STG_E_READFAULT and changes nothing. IPerPropertyBrowsing
// answers a property browser for the enumerated properties.
//
// Errors: a member raises DISP_E_EXCEPTION with EXCEPINFO::scode
// - kStatusErrorBase + status when the API library refused a call (its text as description);
// - kDesignTimeError in a design-mode container for the members that need run mode;
// - CTL_E_INVALIDPROPERTYVALUE ("Invalid Property Value") for an argument out of range;
// - CTL_E_SETNOTSUPPORTED for a put on a read-only property.
#pragma once

#include <cstdint>

#include "com/base.h"
#include "com/dispatch.h"

namespace mqacq32 {

inline constexpr CLSID kClsid = {
    0xd7c3e7a7, 0x8ca1, 0x4336, {0xb1, 0x57, 0x68, 0x7c, 0x43, 0x10, 0x00, 0x2b}};
inline constexpr IID kDispatchIid = {
    0x70ff875d, 0xe1d8, 0x4abc, {0x90, 0x24, 0x9a, 0xc4, 0xf0, 0x3b, 0x07, 0x78}};
inline constexpr IID kEventsIid = {
    0xab810ef5, 0x9f4c, 0x459e, {0xbe, 0x21, 0x96, 0x98, 0xae, 0x48, 0xa5, 0x28}};
inline constexpr GUID kTypeLibraryId = {
    0xf3158acc, 0x1874, 0x49ba, {0x97, 0xab, 0xfc, 0xbe, 0x47, 0x58, 0x5a, 0x4b}};

inline constexpr const char* kProgId = "MQACQ32.MQAcq32Ctrl.1";
inline constexpr const char* kModuleName = "MQACQ32.dll";
inline constexpr const char* kTypeName = "MQAcq32 Control";
inline constexpr std::uint16_t kTypeLibraryMajor = 2;
inline constexpr std::uint16_t kTypeLibraryMinor = 6;
// The saved record's format version: major in the high 16 bits, minor in the low ones.
inline constexpr std::uint32_t kRecordFormatVersion = 0x00020006u;

// Error codes (EXCEPINFO::scode) of the control's own errors.
inline constexpr HRESULT kDesignTimeError = 22000;
inline constexpr HRESULT kStatusErrorBase = 22010;

// Dispatch identifiers of _DMQAcq32.
namespace dispid {
// Properties.
inline constexpr DISPID hDass = 1;
inline constexpr DISPID Frequency = 2;
inline constexpr DISPID DmaUsage = 3;
inline constexpr DISPID TriggeredScan = 4;
inline constexpr DISPID ChannelType = 5;
inline constexpr DISPID Encoding = 6;
inline constexpr DISPID Trigger = 7;
inline constexpr DISPID ClockSource = 8;
inline constexpr DISPID RetriggerFreq = 9;
inline constexpr DISPID ClockDivider = 10;
inline constexpr DISPID Resolution = 11;
inline constexpr DISPID Range = 12;
inline constexpr DISPID MinRange = 13;
inline constexpr DISPID MaxRange = 14;
inline constexpr DISPID DataFlow = 15;
inline constexpr DISPID WrapMode = 16;
inline constexpr DISPID GateType = 17;
inline constexpr DISPID PulseType = 18;
inline constexpr DISPID PulseWidth = 19;
inline constexpr DISPID CTMode = 20;
inline constexpr DISPID CascadeMode = 21;
inline constexpr DISPID RESERVED = 22;
inline constexpr DISPID numResolutions = 23;
inline constexpr DISPID numRanges = 24;
inline constexpr DISPID numGains = 25;
inline constexpr DISPID numFilters = 26;
inline constexpr DISPID Queue = 27;
inline constexpr DISPID SyncDIOUsage = 28;
inline constexpr DISPID MQConnectXferSize = 29;
inline constexpr DISPID MQConnectXferCount = 30;
inline constexpr DISPID numSubSystems = 31;
inline constexpr DISPID SubSystem = 32;
inline constexpr DISPID SubSysType = 33;
inline constexpr DISPID SubSysElement = 34;
inline constexpr DISPID hDev = 35;
inline constexpr DISPID numBoards = 36;
inline constexpr DISPID ListSize = 37;
inline constexpr DISPID Board = 38;
inline constexpr DISPID RetriggerMode = 39;
inline constexpr DISPID LastError = 40;
inline constexpr DISPID LastErrDescription = 41;
inline constexpr DISPID DeviceName = 42;
// Methods.
inline constexpr DISPID Config = 43;
inline constexpr DISPID Start = 44;
inline constexpr DISPID Stop = 45;
inline constexpr DISPID Abort = 46;
inline constexpr DISPID Pause = 47;
inline constexpr DISPID Continue = 48;
inline constexpr DISPID Flush = 49;
inline constexpr DISPID Reset = 50;
inline constexpr DISPID PutSingleValue = 51;    // (long uiChannel, double dGain, long lValue)
inline constexpr DISPID GetSingleValue = 52;    // (long uiChannel, double dGain) -> long
inline constexpr DISPID CTReadEvents = 53;      // () -> long
inline constexpr DISPID MeasureFrequency = 54;  // (double dCountDuration); result: MeasureDone
inline constexpr DISPID EnumBoards = 55;
inline constexpr DISPID EnumSS = 56;
inline constexpr DISPID EnumSSCaps = 57;  // (short uiCap)
inline constexpr DISPID ClearError = 58;
inline constexpr DISPID MQConnectBurst = 59;  // (long TransferSize, long TransferCount)
inline constexpr DISPID GetDevCaps = 60;      // (short hxDc) -> short
inline constexpr DISPID GetSSCaps = 61;       // (short HxSSc) -> long
inline constexpr DISPID GetSSCapsEx = 62;     // (short HxSSc) -> double
// Indexed properties (short index).
inline constexpr DISPID ChannelList = 63;
inline constexpr DISPID GainList = 64;
inline constexpr DISPID FilterList = 65;
inline constexpr DISPID ResolutionValues = 66;
inline constexpr DISPID MinRangeValues = 67;
inline constexpr DISPID MaxRangeValues = 68;
inline constexpr DISPID GainValues = 69;
inline constexpr DISPID FilterValues = 70;
inline constexpr DISPID InhibitList = 71;
inline constexpr DISPID DIOList = 72;
inline constexpr DISPID SubSystemList = 73;
inline constexpr DISPID BoardList = 74;
inline constexpr DISPID QueueSize = 75;  // (short uiQueue): 0 ready, 1 done, 2 in process
inline constexpr DISPID PowerOn = 76;
inline constexpr DISPID PowerOff = 77;
inline constexpr DISPID Retrigger = 78;
inline constexpr DISPID MultiScanCount = 79;
inline constexpr DISPID PreTrigger = 80;
inline constexpr DISPID MeasureStartEdge = 81;
inline constexpr DISPID MeasureStopEdge = 82;
inline constexpr DISPID ClockPrescale = 83;
inline constexpr DISPID X4Scaling = 84;
inline constexpr DISPID IndexInput = 85;
// Stock members.
inline constexpr DISPID hWnd = -515;
inline constexpr DISPID Caption = -518;
inline constexpr DISPID AboutBox = -552;
}  // namespace dispid

// Dispatch identifiers of _DMQAcq32Events. Arguments are passed by reference.
namespace event {
inline constexpr DISPID BufferDone = 1;
inline constexpr DISPID QueueDone = 2;
inline constexpr DISPID BufferReused = 3;
inline constexpr DISPID TriggerError = 4;
inline constexpr DISPID OverrunError = 5;
inline constexpr DISPID UnderrunError = 6;
inline constexpr DISPID EnumSubsystems = 7;  // (BSTR* Description, short* SSType, short* SSElement)
inline constexpr DISPID EnumSSCaps = 8;      // (short* Capability, float* Param1, float* Param2)
inline constexpr DISPID EnumBoards = 9;      // (BSTR* BoardName, BSTR* DriverEntry)
inline constexpr DISPID QueueStopped = 10;
inline constexpr DISPID MeasureDone = 11;  // (float* Frequency)
inline constexpr DISPID MQConnectDone = 12;
inline constexpr DISPID SSEventDone = 13;  // (long* lStatus)
inline constexpr DISPID SSEventError = 14;
inline constexpr DISPID MQConnectStopped = 15;
inline constexpr DISPID PreTrigBufferDone = 16;
inline constexpr DISPID DeviceRemoval = 17;
inline constexpr DISPID IoComplete = 18;
}  // namespace event

}  // namespace mqacq32
