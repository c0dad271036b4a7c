// The 336-byte record of every device-control request but the configure request. Every word is
// 32 bits wide or narrower; no pointer crosses to the driver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hxda/fixed_point.h"

namespace hxda {

inline constexpr std::size_t kDriverRequestSize = 336;
inline constexpr std::size_t kRequestParametersSize = 320;
// GETSINGLEVALUES answers one u32 per channel from offset 24 to the end of the record.
inline constexpr std::size_t kMaxSingleValues = (kDriverRequestSize - 24) / 4;

// READEVENTS answer.
struct EventCountParameters {
    std::uint32_t count;  // 16
};
// SETSINGLEVALUE and GETSINGLEVALUE (value is the answer of GETSINGLEVALUE; an auto-ranging read
// answers the gain it used).
struct SingleValueParameters {
    std::uint32_t channel;   // 16
    std::uint32_t value;     // 20
    FixedPoint gain;         // 24
    std::uint8_t autoRange;  // 32
};
// GETSINGLEVALUES.
struct SingleValuesParameters {
    FixedPoint gain;                         // 16
    std::uint32_t values[kMaxSingleValues];  // 24
};
// WRITEREG and READREG (value is the answer of READREG).
struct RegisterParameters {
    std::uint32_t registerNumber;  // 16
    std::uint32_t value;           // 20
    std::uint32_t size;            // 24
};
// SETHWINFO and GETHWINFO: three board words A, B, C, the serial number and a 128-byte block.
struct HardwareInfoParameters {
    std::uint32_t leadingWord;  // 16
    std::uint16_t wordA;        // 20
    std::uint16_t wordB;        // 22
    std::uint16_t wordC;        // 24
    std::uint16_t unused26;
    std::uint32_t serialNumber;  // 28
    std::uint32_t trailingWord;  // 32
    std::uint8_t block[128];     // 36
};
// WAITEVENT answer.
struct EventParameters {
    std::uint32_t code;  // 16, an HXEV_ code
    std::uint32_t data;  // 20
};
// WRITECALPOT and READCALPOT (value is the answer of READCALPOT).
struct CalPotParameters {
    std::uint32_t potentiometer;  // 16
    std::uint32_t selector;       // 20
    std::uint32_t element;        // 24
    std::uint32_t value;          // 28
};

union RequestParameters {
    std::uint8_t raw[kRequestParametersSize];
    EventCountParameters eventCount;
    SingleValueParameters singleValue;
    SingleValuesParameters singleValues;
    RegisterParameters registerAccess;
    HardwareInfoParameters hardwareInfo;
    EventParameters event;
    CalPotParameters calPot;
};

struct DriverRequest {
    std::uint32_t subsystemType;   // 0, hxss_tag
    std::uint32_t element;         // 4
    std::int32_t state;            // 8, HXSTATE_ value; not read by the driver
    std::uint32_t status;          // 12, written by the driver
    RequestParameters parameters;  // 16
};

static_assert(sizeof(DriverRequest) == kDriverRequestSize);
static_assert(offsetof(DriverRequest, subsystemType) == 0);
static_assert(offsetof(DriverRequest, element) == 4);
static_assert(offsetof(DriverRequest, state) == 8);
static_assert(offsetof(DriverRequest, status) == 12);
static_assert(offsetof(DriverRequest, parameters) == 16);

// Offsets below are from the start of the record (parameters begin at 16).
static_assert(16 + offsetof(SingleValueParameters, channel) == 16);
static_assert(16 + offsetof(SingleValueParameters, value) == 20);
static_assert(16 + offsetof(SingleValueParameters, gain) == 24);
static_assert(16 + offsetof(SingleValueParameters, autoRange) == 32);
static_assert(16 + offsetof(SingleValuesParameters, gain) == 16);
static_assert(16 + offsetof(SingleValuesParameters, values) == 24);
static_assert(sizeof(SingleValuesParameters) == kRequestParametersSize);
static_assert(16 + offsetof(RegisterParameters, registerNumber) == 16);
static_assert(16 + offsetof(RegisterParameters, value) == 20);
static_assert(16 + offsetof(RegisterParameters, size) == 24);
static_assert(16 + offsetof(HardwareInfoParameters, leadingWord) == 16);
static_assert(16 + offsetof(HardwareInfoParameters, wordA) == 20);
static_assert(16 + offsetof(HardwareInfoParameters, wordB) == 22);
static_assert(16 + offsetof(HardwareInfoParameters, wordC) == 24);
static_assert(16 + offsetof(HardwareInfoParameters, serialNumber) == 28);
static_assert(16 + offsetof(HardwareInfoParameters, trailingWord) == 32);
static_assert(16 + offsetof(HardwareInfoParameters, block) == 36);
static_assert(16 + offsetof(EventParameters, code) == 16);
static_assert(16 + offsetof(EventParameters, data) == 20);
static_assert(16 + offsetof(CalPotParameters, potentiometer) == 16);
static_assert(16 + offsetof(CalPotParameters, selector) == 20);
static_assert(16 + offsetof(CalPotParameters, element) == 24);
static_assert(16 + offsetof(CalPotParameters, value) == 28);
static_assert(sizeof(RequestParameters) == kRequestParametersSize);

}  // namespace hxda
