// The MQ5120 board's side of its USB protocol: endpoints, command codes, register numbers, status
// messages, and the model's own choices (FIFO sizes, clock) kept in one place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mq5120 {

// Endpoints of configuration 1, interface 0.
constexpr std::uint8_t kCommandEndpoint = 0x01;  // bulk OUT, 512-byte command messages
constexpr std::uint8_t kReplyEndpoint = 0x81;    // bulk IN, 512-byte replies
constexpr std::uint8_t kStatusEndpoint = 0x86;   // interrupt IN, 4-byte status messages
constexpr std::uint8_t kAdEndpoint = 0x88;       // bulk IN, A/D samples
constexpr std::uint8_t kDaEndpoint = 0x04;       // bulk OUT, D/A messages
constexpr std::uint8_t kSpareEndpoint = 0x02;    // bulk OUT, accepted and discarded
constexpr std::uint8_t kConfigurationValue = 1;
constexpr std::uint16_t kHighSpeedPacket = 512;
constexpr std::uint16_t kFullSpeedPacket = 64;
constexpr std::uint16_t kStatusPacket = 8;

constexpr std::size_t kMessageSize = 512;

// Command codes (byte 0); byte 1 is 0 for a read, anything else a write.
enum Command : std::uint8_t {
    kHardwareInfo = 0x11,
    kSerialNumber = 0x23,
    kTermination = 0x25,
    kRegisterList = 0x27,
    kRegister = 0x26,
    kRegisterMasked = 0x28,
    kDaArmWords = 0x29,
    kDaAbort = 0x2A,
    kAdStart = 0x2B,
    kAdStop = 0x2C,
    kDinMask = 0x2F,
    kDaArm = 0x30,
    kAdTransferSize = 0x31,
    kAnalogOut = 0x32,
    kAdSingle = 0x33,
    kPotOrByteOut = 0x54,
    kPot = 0x55,
    kCalibrationMisc = 0x58,
    kApplyTermination = 0x59,
    kResetToggles = 0x5B,
};

// Registers.
enum Register : std::uint16_t {
    kAdControl = 0,
    kEnable = 1,
    kBoardControl = 2,
    kStrobes = 3,
    kStartStrobes = 4,
    kRunEnables = 5,
    kAdDividerLow = 6,
    kAdDividerHigh = 7,
    kDaDividerLow = 8,
    kDaDividerHigh = 9,
    kRetriggerLow = 10,
    kRetriggerHigh = 11,
    kScan = 12,
    kBoardType = 32,
    kPower = 100,
    kChannelList = 128,
    kCounterBase = 192,       // counter c: 192 + 5c .. 196 + 5c
    kCounterValueBase = 224,  // counter c: 224 + 2c (low), 225 + 2c (high)
    kCounterStatus = 234,
    kDinPort = 256,
    kDinChangeMask = 258,
    kDinInterruptEnable = 259,
    kDoutPort = 288,
    kTransferLogic0 = 384,
    kTransferLogic1 = 385,
    kTransferLogic2 = 386,
    kDaControl0 = 448,
    kDaControl1 = 449,
};
constexpr std::uint16_t kFifoClearValue = 0x4002;  // 385 / 448: clear the FIFO

// Bits.
constexpr std::uint16_t kAdControlSingleEnded = 1u << 0;
constexpr std::uint16_t kAdControlExternalClock = 1u << 2;
constexpr std::uint16_t kAdControlTriggeredScan = 1u << 7;
constexpr std::uint16_t kStrobeListReset = 1u << 1;
constexpr std::uint16_t kStrobeListComplete = 1u << 2;
constexpr std::uint16_t kStrobeAdRun = 1u << 5;
constexpr std::uint16_t kStrobeDaGo = 1u << 7;
constexpr std::uint16_t kStrobeDaSequence = 0x1C0;  // bits 6-8
constexpr std::uint16_t kRunAd = 0x0003;
constexpr std::uint16_t kRunDa = 0x001C;
constexpr std::uint16_t kBoardControlDaChannels = 0x000F;
constexpr std::uint16_t kBoardControlDaDrivesDout = 1u << 4;
constexpr std::uint16_t kBoardControlSingleBuffer = 1u << 5;
constexpr std::uint16_t kBoardControlDaExternalClock = 1u << 6;
constexpr std::uint16_t kBoardControlDaExternalTrigger = 1u << 7;

// Counter mode word.
constexpr std::uint16_t kCounterExternalClock = 1u << 0;
constexpr std::uint16_t kCounterRate = 0x0020;
constexpr std::uint16_t kCounterActiveHigh = 0x0040;
constexpr std::uint16_t kCounterUpDownPattern = 0x0131;
constexpr std::uint16_t kCounterEdgeToEdgePattern = 0x0038;
constexpr std::uint16_t kCounterMeasure = 0x4000;
constexpr std::uint16_t kCounterRepeat = 0x0010;
constexpr std::uint16_t kCounterArmed = 0x0080;
constexpr std::uint16_t kCounterGateBits = 0x000C;
constexpr std::uint16_t kCounterGateHigh = 0x0008;  // high level or rising edge
constexpr std::uint16_t kCounterGateLow = 0x000C;   // low level or falling edge

// Channel-list words.
constexpr std::uint16_t kListChannelMask = 0x001F;
constexpr int kListGainShift = 5;
constexpr std::uint16_t kListInhibit = 1u << 12;
constexpr std::uint16_t kListSyncOut = 1u << 13;
constexpr std::uint16_t kListExtraMask = 0x0C00;
constexpr std::uint16_t kListDin = 0x0400;
constexpr std::uint16_t kListCounterLow = 0x0800;
constexpr std::uint16_t kListCounterHigh = 0x0C00;

// Status messages: {type, flags}.
constexpr std::uint16_t kStatusTypeFlags = 0x0000;
constexpr std::uint16_t kStatusTypeDin = 0x2000;
constexpr std::uint16_t kStatusTypeDaReady = 0x8001;
constexpr std::uint16_t kFlagAdOverflow = 0x0001;
constexpr std::uint16_t kFlagDaUnderrun = 0x0004;
constexpr std::uint16_t kFlagDaComplete = 0x0008;
constexpr std::uint16_t kFlagCounterOverflowBase = 0x0020;  // << c

// The model's choices.
constexpr std::uint32_t kBaseClockHz = 18'000'000;
constexpr std::size_t kAdFifoSamples = 32'768;
constexpr std::size_t kListCapacity = 1024;
constexpr std::size_t kStatusFifoEntries = 64;
constexpr std::size_t kDaMemorySamples = 0x20000;
constexpr std::size_t kDaHeaderBytes = 512;
constexpr std::size_t kDaMaxDataBytes = 3584;
constexpr std::uint32_t kDaReadyLimit = 0x1E000;
constexpr std::size_t kMaxListPairs = 60;
constexpr std::size_t kMaxReadRegisters = 254;

}  // namespace mq5120
