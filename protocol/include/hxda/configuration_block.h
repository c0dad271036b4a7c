// A subsystem's settings as the configure request carries them: a 296-byte head with the same
// first 16 bytes as a DriverRequest, then 24-byte channel-list entries. Bytes without a field carry
// no meaning.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hxda/fixed_point.h"

namespace hxda {

inline constexpr std::size_t kConfigurationBlockBaseSize = 320;
inline constexpr std::size_t kListEntriesOffset = 296;
inline constexpr std::size_t kListEntrySize = 24;

// Bytes of a block with room for `entries` list entries (allocated for N = the larger of the
// list capacity and the filter count); the configure request sends configurationBlockBytes of
// the list capacity.
constexpr std::size_t configurationBlockBytes(std::uint32_t entries) {
    return kConfigurationBlockBaseSize + kListEntrySize * entries;
}

struct ChannelListEntry {
    std::uint16_t channel;  // 0
    std::uint8_t unused2[6];
    FixedPoint gain;         // 8
    std::uint8_t inhibited;  // 16
    std::uint8_t unused17;
    std::uint16_t synchronousDigitalIOValue;  // 18
    std::uint8_t unused20[4];
};

struct ConfigurationBlock {
    std::uint32_t subsystemType;             // 0
    std::uint32_t element;                   // 4
    std::int32_t state;                      // 8
    std::uint32_t status;                    // 12
    std::uint8_t dmaInUse;                   // 16
    std::uint8_t secondDmaInUse;             // 17
    std::uint8_t triggeredScanInUse;         // 18
    std::uint8_t synchronousDigitalIOInUse;  // 19
    std::uint16_t channelListSize;           // 20
    std::uint16_t numberOfChannels;          // 22
    std::uint16_t channelType;               // 24
    std::uint16_t encoding;                  // 26
    std::uint16_t resolution;                // 28, bits
    std::uint16_t wrapMode;                  // 30
    std::uint16_t dataFlow;                  // 32
    std::uint16_t clockSource;               // 34
    // 0: the 32.32 clockFrequency is the value; 1: the driver wrote clockFrequencyFloat.
    std::uint16_t clockFrequencyForm;  // 36
    std::uint8_t unused38[2];
    std::uint32_t baseClock;             // 40, Hz
    std::uint32_t externalClockDivider;  // 44
    float clockFrequencyFloat;           // 48
    std::uint8_t unused52[4];
    FixedPoint clockFrequency;             // 56
    std::uint16_t triggerSource;           // 64
    std::uint16_t retriggerMode;           // 66
    std::uint16_t retriggerFrequencyForm;  // 68, as clockFrequencyForm
    std::uint16_t pretriggerSource;        // 70
    std::uint16_t multiscanCount;          // 72
    std::uint16_t retriggerSource;         // 74
    float retriggerFrequencyFloat;         // 76
    FixedPoint retriggerFrequency;         // 80
    FixedPoint rangeMinimum;               // 88, volts
    std::uint8_t unused96[8];
    FixedPoint rangeMaximum;  // 104, volts
    std::uint8_t unused112[130];
    std::uint16_t quadratureClockPrescale;  // 242
    std::uint8_t unused244;
    std::uint8_t quadratureX4Scaling;   // 245
    std::uint16_t quadratureIndexMode;  // 246
    std::uint16_t gateType;             // 248
    std::uint16_t pulseType;            // 250
    std::uint16_t pulseWidth;           // 252, duty cycle in per cent
    std::uint16_t counterMode;          // 254
    std::uint8_t unused256[2];
    std::uint16_t cascadeMode;        // 258
    std::uint32_t measurementWindow;  // 260, window token of a frequency measurement
    double measurementGateTime;       // 264, seconds
    std::uint32_t measurementResult;  // 272
    std::uint8_t specialConfigMode;   // 276
    std::uint8_t unused277[7];
    std::uint16_t measureStartEdge;  // 284
    std::uint16_t measureStopEdge;   // 286
    std::uint8_t unused288[8];
    // The first of the block's list entries; entry i lives at 296 + 24 x i (see listEntry).
    ChannelListEntry listEntries[1];  // 296
};

// Entry i of a block allocated with configurationBlockBytes(n), i < n + 1.
inline ChannelListEntry* listEntry(ConfigurationBlock* block, std::uint32_t i) {
    return reinterpret_cast<ChannelListEntry*>(reinterpret_cast<std::uint8_t*>(block) +
                                               kListEntriesOffset + kListEntrySize * i);
}
inline const ChannelListEntry* listEntry(const ConfigurationBlock* block, std::uint32_t i) {
    return reinterpret_cast<const ChannelListEntry*>(reinterpret_cast<const std::uint8_t*>(block) +
                                                     kListEntriesOffset + kListEntrySize * i);
}

static_assert(sizeof(ChannelListEntry) == kListEntrySize);
static_assert(offsetof(ChannelListEntry, channel) == 0);
static_assert(offsetof(ChannelListEntry, gain) == 8);
static_assert(offsetof(ChannelListEntry, inhibited) == 16);
static_assert(offsetof(ChannelListEntry, synchronousDigitalIOValue) == 18);

static_assert(sizeof(ConfigurationBlock) == kConfigurationBlockBaseSize);
static_assert(offsetof(ConfigurationBlock, subsystemType) == 0);
static_assert(offsetof(ConfigurationBlock, element) == 4);
static_assert(offsetof(ConfigurationBlock, state) == 8);
static_assert(offsetof(ConfigurationBlock, status) == 12);
static_assert(offsetof(ConfigurationBlock, dmaInUse) == 16);
static_assert(offsetof(ConfigurationBlock, secondDmaInUse) == 17);
static_assert(offsetof(ConfigurationBlock, triggeredScanInUse) == 18);
static_assert(offsetof(ConfigurationBlock, synchronousDigitalIOInUse) == 19);
static_assert(offsetof(ConfigurationBlock, channelListSize) == 20);
static_assert(offsetof(ConfigurationBlock, numberOfChannels) == 22);
static_assert(offsetof(ConfigurationBlock, channelType) == 24);
static_assert(offsetof(ConfigurationBlock, encoding) == 26);
static_assert(offsetof(ConfigurationBlock, resolution) == 28);
static_assert(offsetof(ConfigurationBlock, wrapMode) == 30);
static_assert(offsetof(ConfigurationBlock, dataFlow) == 32);
static_assert(offsetof(ConfigurationBlock, clockSource) == 34);
static_assert(offsetof(ConfigurationBlock, clockFrequencyForm) == 36);
static_assert(offsetof(ConfigurationBlock, baseClock) == 40);
static_assert(offsetof(ConfigurationBlock, externalClockDivider) == 44);
static_assert(offsetof(ConfigurationBlock, clockFrequencyFloat) == 48);
static_assert(offsetof(ConfigurationBlock, clockFrequency) == 56);
static_assert(offsetof(ConfigurationBlock, triggerSource) == 64);
static_assert(offsetof(ConfigurationBlock, retriggerMode) == 66);
static_assert(offsetof(ConfigurationBlock, retriggerFrequencyForm) == 68);
static_assert(offsetof(ConfigurationBlock, pretriggerSource) == 70);
static_assert(offsetof(ConfigurationBlock, multiscanCount) == 72);
static_assert(offsetof(ConfigurationBlock, retriggerSource) == 74);
static_assert(offsetof(ConfigurationBlock, retriggerFrequencyFloat) == 76);
static_assert(offsetof(ConfigurationBlock, retriggerFrequency) == 80);
static_assert(offsetof(ConfigurationBlock, rangeMinimum) == 88);
static_assert(offsetof(ConfigurationBlock, rangeMaximum) == 104);
static_assert(offsetof(ConfigurationBlock, quadratureClockPrescale) == 242);
static_assert(offsetof(ConfigurationBlock, quadratureX4Scaling) == 245);
static_assert(offsetof(ConfigurationBlock, quadratureIndexMode) == 246);
static_assert(offsetof(ConfigurationBlock, gateType) == 248);
static_assert(offsetof(ConfigurationBlock, pulseType) == 250);
static_assert(offsetof(ConfigurationBlock, pulseWidth) == 252);
static_assert(offsetof(ConfigurationBlock, counterMode) == 254);
static_assert(offsetof(ConfigurationBlock, cascadeMode) == 258);
static_assert(offsetof(ConfigurationBlock, measurementWindow) == 260);
static_assert(offsetof(ConfigurationBlock, measurementGateTime) == 264);
static_assert(offsetof(ConfigurationBlock, measurementResult) == 272);
static_assert(offsetof(ConfigurationBlock, specialConfigMode) == 276);
static_assert(offsetof(ConfigurationBlock, measureStartEdge) == 284);
static_assert(offsetof(ConfigurationBlock, measureStopEdge) == 286);
static_assert(offsetof(ConfigurationBlock, listEntries) == kListEntriesOffset);

}  // namespace hxda
