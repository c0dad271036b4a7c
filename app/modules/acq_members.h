// The acquisition control MQAcq32 as the application reaches it: its class and the dispatch
// identifiers of the members and events the panels use (dispatch interface _DMQAcq32 and event
// interface _DMQAcq32Events).
#pragma once

#include <cstdint>

namespace larkspur::acq {

inline constexpr const char* kProgId = "MQACQ32.MQAcq32Ctrl.1";
inline constexpr const char* kModuleName = "MQACQ32.dll";

namespace dispid {
inline constexpr std::int32_t hDass = 1;
inline constexpr std::int32_t Frequency = 2;
inline constexpr std::int32_t DmaUsage = 3;
inline constexpr std::int32_t ChannelType = 5;
inline constexpr std::int32_t Encoding = 6;
inline constexpr std::int32_t Trigger = 7;
inline constexpr std::int32_t ClockSource = 8;
inline constexpr std::int32_t Resolution = 11;
inline constexpr std::int32_t Range = 12;
inline constexpr std::int32_t MinRange = 13;
inline constexpr std::int32_t MaxRange = 14;
inline constexpr std::int32_t DataFlow = 15;
inline constexpr std::int32_t WrapMode = 16;
inline constexpr std::int32_t PulseType = 18;
inline constexpr std::int32_t PulseWidth = 19;
inline constexpr std::int32_t CTMode = 20;
inline constexpr std::int32_t numRanges = 24;
inline constexpr std::int32_t Queue = 27;
inline constexpr std::int32_t SubSysType = 33;
inline constexpr std::int32_t SubSysElement = 34;
inline constexpr std::int32_t numBoards = 36;
inline constexpr std::int32_t ListSize = 37;
inline constexpr std::int32_t Board = 38;
inline constexpr std::int32_t LastErrDescription = 41;
inline constexpr std::int32_t Config = 43;
inline constexpr std::int32_t Start = 44;
inline constexpr std::int32_t Stop = 45;
inline constexpr std::int32_t Abort = 46;
inline constexpr std::int32_t Pause = 47;
inline constexpr std::int32_t Continue = 48;
inline constexpr std::int32_t Flush = 49;
inline constexpr std::int32_t PutSingleValue = 51;  // (channel, gain, value)
inline constexpr std::int32_t GetSingleValue = 52;  // (channel, gain) -> value
inline constexpr std::int32_t MeasureFrequency = 54;
inline constexpr std::int32_t GetDevCaps = 60;  // (element kind) -> count
inline constexpr std::int32_t GetSSCaps = 61;
inline constexpr std::int32_t GetSSCapsEx = 62;
inline constexpr std::int32_t ChannelList = 63;
inline constexpr std::int32_t GainList = 64;
inline constexpr std::int32_t MinRangeValues = 67;
inline constexpr std::int32_t MaxRangeValues = 68;
inline constexpr std::int32_t BoardList = 74;
inline constexpr std::int32_t QueueSize = 75;
}  // namespace dispid

namespace event {
inline constexpr std::int32_t BufferDone = 1;
inline constexpr std::int32_t BufferReused = 3;
inline constexpr std::int32_t OverrunError = 5;
inline constexpr std::int32_t MeasureDone = 11;
}  // namespace event

// Capabilities asked with GetSSCaps.
namespace caps {
inline constexpr std::int16_t NumSeChannels = 0;
inline constexpr std::int16_t NumDiChannels = 1;
inline constexpr std::int16_t NumRanges = 5;
inline constexpr std::int16_t NumDmaChannels = 6;
inline constexpr std::int16_t NumChannels = 7;
inline constexpr std::int16_t ChanTypeSingleEnded = 12;
inline constexpr std::int16_t ChanTypeDifferential = 13;
inline constexpr std::int16_t Pause = 37;
inline constexpr std::int16_t MaxFreq = 61;
inline constexpr std::int16_t PulseActiveLow = 73;
inline constexpr std::int16_t PulseActiveHigh = 74;
}  // namespace caps

// Element counts of a board asked with GetDevCaps.
namespace devcaps {
inline constexpr std::int16_t DinElements = 2;
inline constexpr std::int16_t DoutElements = 3;
}  // namespace devcaps

// Subsystem types in the control's numbering.
inline constexpr std::int16_t kAnalogInput = 0;
inline constexpr std::int16_t kAnalogOutput = 1;
inline constexpr std::int16_t kDigitalInput = 2;
inline constexpr std::int16_t kDigitalOutput = 3;
inline constexpr std::int16_t kCounterTimer = 5;

// Queues counted by QueueSize.
inline constexpr std::int16_t kReadyQueue = 0;
inline constexpr std::int16_t kDoneQueue = 1;
inline constexpr std::int16_t kInProcessQueue = 2;

// The control raises the library's refusals as this base plus the library's status.
inline constexpr std::int32_t kStatusErrorBase = 22010;

}  // namespace larkspur::acq
