// The MQ5120 board as the driver speaks to it: endpoints, command codes, registers and their bits,
// status messages, FIFO sizes and the clock. Every number of the board protocol is named here
// once; the driver's code and its tests use these names.
#pragma once

#include "dalayer/status_message.h"
#include "kernel/wdm.h"

namespace board {

// ---- Endpoints of configuration 1
// ----------------------------------------------------------------
inline constexpr UCHAR kConfigurationValue = 1;
inline constexpr UCHAR kEndpointCommand = 0x01;  // bulk out: command messages
inline constexpr UCHAR kEndpointReply = 0x81;    // bulk in: replies to command messages
inline constexpr UCHAR kEndpointStatus = 0x86;   // in: 4-byte status messages
inline constexpr UCHAR kEndpointAd = 0x88;       // bulk in: A/D samples
inline constexpr UCHAR kEndpointDa = 0x04;       // bulk out: D/A messages
inline constexpr UCHAR kEndpointSpare = 0x02;    // bulk out: opened, never used
// The A/D pipe's maximum packet size tells the bus speed.
inline constexpr USHORT kHighSpeedPacket = 512;
inline constexpr USHORT kFullSpeedPacket = 64;

// ---- Command messages
// ----------------------------------------------------------------------------
inline constexpr ULONG kMessageSize = 512;
// Pairs of a register list write go out at most this many to a message.
inline constexpr ULONG kMaxListPairs = 60;
// Registers of one list read: the reply holds their values from word 2 on.
inline constexpr ULONG kMaxListReads = (kMessageSize - 4) / 2;

enum CommandCode : UCHAR {
    kCmdHardwareInfo = 0x11,
    kCmdSerialNumber = 0x23,
    kCmdTermination = 0x25,
    kCmdRegister = 0x26,
    kCmdRegisterList = 0x27,
    kCmdRegisterMasked = 0x28,
    kCmdDaArmWords = 0x29,
    kCmdDaAbort = 0x2A,
    kCmdAdStart = 0x2B,
    kCmdAdStop = 0x2C,
    kCmdDinMask = 0x2F,
    kCmdDaArm = 0x30,
    kCmdAdTransferSize = 0x31,
    kCmdAnalogOut = 0x32,
    kCmdAdSingle = 0x33,
    kCmdPotOrByte = 0x54,
    kCmdPot = 0x55,
    kCmdRawCount = 0x58,  // the raw path's one command with a word 2 of its own
    kCmdApplyTermination = 0x59,
    kCmdClearDataToggle = 0x5B,
};
// Byte 2 of a hardware-information write: the three words carry values.
inline constexpr UCHAR kHardwareWordsPresent = 0xC0;
// Command 0x54 to the byte output: word 2.
inline constexpr USHORT kByteOutputSelector = 3;
// Termination settings (commands 0x25 and 0x59).
inline constexpr UCHAR kTerminationOff = 0;
// What a stored setting reads when its storage cannot be read (erased storage).
inline constexpr ULONG kStoredSettingUnreadable = 255;

// ---- Registers
// ------------------------------------------------------------------------------------
enum BoardRegister : USHORT {
    kRegAdControl = 0,
    kRegEnable = 1,
    kRegBoardControl = 2,
    kRegStrobes = 3,
    kRegStartStrobes = 4,
    kRegRunEnables = 5,
    kRegAdDividerLow = 6,
    kRegAdDividerHigh = 7,
    kRegDaDividerLow = 8,
    kRegDaDividerHigh = 9,
    kRegRetriggerLow = 10,
    kRegRetriggerHigh = 11,
    kRegScan = 12,
    kRegBoardType = 32,
    kRegPower = 100,
    kRegListAddress = 128,
    kRegCounterBase = 192,       // counter c: period 192 + 5c, width 194 + 5c, mode 196 + 5c
    kRegCounterValueBase = 224,  // counter c: 224 + 2c (low), 225 + 2c (high)
    kRegCounterStatus = 234,
    kRegDinPort = 256,
    kRegDinChangeMask = 258,
    kRegDinInterruptEnable = 259,
    kRegDoutPort = 288,
    kRegTransferLogic0 = 384,
    kRegTransferLogic1 = 385,
    kRegTransferLogic2 = 386,
    kRegDaControl = 448,
};

// Register 0, the A/D control word.
inline constexpr USHORT kAdControlSingleEnded = 1u << 0;
inline constexpr USHORT kAdControlExternalClock = 1u << 2;
inline constexpr USHORT kAdControlExternalTrigger = 1u << 3;
inline constexpr USHORT kAdControlThresholdTrigger = 1u << 4;
inline constexpr USHORT kAdControlHardwareRetrigger = 1u << 5;
inline constexpr USHORT kAdControlHardwareTrigger = 1u << 6;
inline constexpr USHORT kAdControlTriggeredScan = 1u << 7;
inline constexpr USHORT kAdControlPreTrigger = 1u << 8;
inline constexpr USHORT kAdControlProgram = 1u << 15;
// Register 1, the enable word: its low byte is the triggered scan's pass count - 1.
inline constexpr USHORT kEnableScanCountMask = 0x00FF;

// Register 2, the board control word.
inline constexpr USHORT kControlInitial = 0xF800;
inline constexpr USHORT kControlStartPulse = 1u << 0;  // written with the initial word at start
inline constexpr USHORT kControlDaDrivesDout = 1u << 4;
inline constexpr USHORT kControlDaSingleBuffer = 1u << 5;
inline constexpr USHORT kControlDaExternalClock = 1u << 6;
inline constexpr USHORT kControlDaExternalTrigger = 1u << 7;
inline constexpr USHORT kControlDaThresholdTrigger = 1u << 8;
inline constexpr USHORT kControlDaClockedTrigger = 1u << 9;
inline constexpr USHORT kControlDaEnabled = 1u << 11;
// Analog output n (0-3): its enable bits n and 12 + n.
inline constexpr USHORT ControlDaChannel(ULONG n) {
    return static_cast<USHORT>((1u << n) | (1u << (12 + n)));
}
inline constexpr USHORT kControlDaChannels = 0xF00F;
// The D/A settings a single-value configuration clears (bits 5-9).
inline constexpr USHORT kControlDaStreamSettings = 0x03E0;

// Register 3, the control strobes.
inline constexpr USHORT kStrobeListReset = 1u << 1;
inline constexpr USHORT kStrobeListDone = 1u << 2;
inline constexpr USHORT kStrobeAdRun = 1u << 5;
inline constexpr USHORT kStrobeDaLoad = 1u << 6;
inline constexpr USHORT kStrobeDaGo = 1u << 7;
inline constexpr USHORT kStrobeDaArm = 1u << 8;
inline constexpr USHORT kStrobeDaSequence = kStrobeDaLoad | kStrobeDaGo | kStrobeDaArm;
inline constexpr USHORT kStrobeInitialPulse = 1u << 0;

// Registers 4 and 5, the start strobes and the run enables.
inline constexpr USHORT kRunAd = 0x0003;
inline constexpr USHORT kRunDa = 0x001C;
inline constexpr USHORT kStartStrobesAll = 0xFFFF;
inline constexpr ULONG kCounters = 5;
// Counter c's bit of registers 4, 5 and 234.
inline constexpr USHORT CounterBit(ULONG c) {
    return static_cast<USHORT>(1u << (5 + c));
}
inline constexpr USHORT CounterPeriodRegister(ULONG c) {
    return static_cast<USHORT>(kRegCounterBase + 5 * c);
}
inline constexpr USHORT CounterWidthRegister(ULONG c) {
    return static_cast<USHORT>(kRegCounterBase + 5 * c + 2);
}
inline constexpr USHORT CounterModeRegister(ULONG c) {
    return static_cast<USHORT>(kRegCounterBase + 5 * c + 4);
}
inline constexpr USHORT CounterValueRegister(ULONG c) {
    return static_cast<USHORT>(kRegCounterValueBase + 2 * c);
}

// Counter mode word (register 196 + 5c).
inline constexpr USHORT kCounterExternalClock = 1u << 0;
inline constexpr USHORT kCounterGateNone = 0x0004;
inline constexpr USHORT kCounterGateHigh = 0x0008;  // high level or rising edge
inline constexpr USHORT kCounterGateLow = 0x000C;   // low level or falling edge
inline constexpr USHORT kCounterGateBits = 0x000C;
inline constexpr USHORT kCounterUpDownEnable = 0x0008;  // the up/down mode's count input
inline constexpr USHORT kCounterRepeat = 0x0010;
inline constexpr USHORT kCounterRate = 0x0020;
inline constexpr USHORT kCounterActiveHigh = 0x0040;
inline constexpr USHORT kCounterArmed = 0x0080;
inline constexpr USHORT kCounterMeasure = 0x4000;
inline constexpr USHORT kCounterUpDownPattern = 0x0131;
inline constexpr USHORT kCounterUpDownKept = 0x0033;  // bits 0-1 and 4-5 of the base word
inline constexpr USHORT kCounterEdgePattern = 0x0038;
inline constexpr ULONG kCounterStartEdgeShift = 10;
inline constexpr ULONG kCounterStopEdgeShift = 12;
// The period and width registers of the modes that count rather than divide.
inline constexpr ULONG kCounterCountingWidth = 0xFFFFFFFF;
inline constexpr ULONG kCounterMeasuringWidth = 0x80000000;

// Transfer logic programs (registers 384-386) and the D/A reset list (register 448).
inline constexpr USHORT kTransferLogicSetup = 19;
inline constexpr USHORT kTransferLogicClear = 0x4002;  // also clears the A/D FIFO
inline constexpr USHORT kTransferLogicIdle = 2;
inline constexpr USHORT kTransferLogicStart = 0xC000;
inline constexpr USHORT kDaControlClear = 0x4002;  // empties the board's D/A memory
inline constexpr USHORT kDaControlIdle = 2;

// Channel-list words (register 128).
inline constexpr USHORT kListGainShift = 5;
inline constexpr USHORT kListInhibit = 1u << 12;
inline constexpr USHORT kListDigitalOut = 1u << 13;
inline constexpr USHORT kListDinPort = 0x0400;
// The words of a counter's low and high halves.
inline constexpr USHORT ListCounterLow(ULONG c) {
    return static_cast<USHORT>(0x0800 + 0x80 * c);
}
inline constexpr USHORT ListCounterHigh(ULONG c) {
    return static_cast<USHORT>(0x0C00 + 0x80 * c);
}

// ---- Status messages (endpoint 0x86: u16 type, u16 flags)
// -------------------------------------------
using dalayer::kFlagAdOverrun;
using dalayer::kFlagCounterOverrun;
using dalayer::kFlagDaComplete;
using dalayer::kFlagDaUnderrun;
using dalayer::kStatusMessageBytes;
using dalayer::kStatusTypeDaReady;
using dalayer::kStatusTypeDinChange;
using dalayer::kStatusTypeFlags;

// ---- Board types (register 32)
// ---------------------------------------------------------------------
inline constexpr USHORT kTypeBeforeStart = 0x9834;
inline constexpr USHORT kTypeWhenUnreadable = 12;
inline constexpr USHORT kTypeNoAnalogInputs = 0x0001;
inline constexpr USHORT kTypeNoAnalogOutputs = 0x0002;
inline constexpr USHORT kTypeWideInputs = 0x0008;  // 32 single-ended inputs, else 16

// ---- Clock, FIFOs and transfers
// ----------------------------------------------------------------------
inline constexpr ULONG kBaseClockHz = 18'000'000;
// The A/D stream: its ring and the transfer sizes.
inline constexpr ULONG kAdRingBytes = 0x10000;
inline constexpr ULONG kAdTransferUnit = 512;
inline constexpr ULONG kAdTransferMax = 4096;
inline constexpr ULONG kAdTransferAtStart = 1024;
// The D/A stream: each message a header of 512 bytes and at most 3,584 sample bytes.
inline constexpr ULONG kDaHeaderBytes = 512;
inline constexpr ULONG kDaDataBytes = 3584;
// A buffer of at most this many bytes is repeated from the board's memory (single buffer).
inline constexpr ULONG kDaSingleBufferBytes = 0x40000;
// The board's ready threshold of a first write: kDaThresholdBase - min(samples, the limit).
inline constexpr ULONG kDaThresholdBase = 0x20002;
inline constexpr ULONG kDaThresholdSamplesLimit = 0x1E000;
// The clock of a single-value D/A configuration.
inline constexpr ULONG kDaSingleValueClockHz = 100'000;

// Analog outputs and the byte output.
inline constexpr ULONG kDaElements = 2;
inline constexpr ULONG kDaChannels = 4;
inline constexpr ULONG kDaDoutChannel = 4;  // the digital output port in a D/A list
inline constexpr ULONG kDaListCapacity = 5;
inline constexpr ULONG kByteOutputMax = 0xFF;

}  // namespace board
