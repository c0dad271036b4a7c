// The contract between the API library and a board extension library: the records an extension
// hands out and its entry points. Every record is static data of the extension, handed out by
// pointer and valid while the extension stays loaded; the caller never copies or frees it.
#pragma once

#include <cstdint>

#include "win32/types.h"

// Element counts per subsystem type, in hxss_tag order: A/D, D/A, DIN, DOUT, SRL, C/T.
struct SubsystemCounts {
    std::uint32_t count[6];
};

// Capability entries 0..93. Entry c answers capability code c for codes 0-60 and code c + 12 for
// entries 61-93 (codes 73-105); codes 61-72 are answered from the clock limits and the lists.
inline constexpr std::uint32_t kCapabilityEntryCount = 94;

struct CapabilityTable {
    std::uint32_t entry[kCapabilityEntryCount];
};

// The table entry that answers a capability code, or kCapabilityEntryCount when the code has none
// (61-72, beyond 105).
constexpr std::uint32_t CapabilityEntryOfCode(std::uint32_t code) {
    if (code <= 60)
        return code;
    if (code >= 73 && code - 12 < kCapabilityEntryCount)
        return code - 12;
    return kCapabilityEntryCount;
}

// The value of a table entry; entries past the table (and a missing table) read as 0, "not
// available".
constexpr std::uint32_t CapabilityEntry(const CapabilityTable* table, std::uint32_t entry) {
    return table != nullptr && entry < kCapabilityEntryCount ? table->entry[entry] : 0;
}

// Clock limits in hertz (dividers as plain numbers), answering capability codes 61-67.
struct ClockLimits {
    double maxClockFrequency;
    double minClockFrequency;
    double maxRetriggerFrequency;
    double minRetriggerFrequency;
    double maxExternalClockDivider;
    double minExternalClockDivider;
    double baseClockFrequency;
};

// One subsystem's tables. The range fields are doubly indirect: each points at a cell holding
// the address of the f64 array (the cell serves the subsystem-wide range). A field the extension
// does not set for a subsystem keeps what the caller put there.
struct PersonalityRecord {
    const double* gains;               // HXSSC_NUMGAINS values
    const double* const* rangeMinima;  // HXSSC_NUMRANGES values behind the cell
    const double* const* rangeMaxima;  // HXSSC_NUMRANGES values behind the cell
    const double* filters;             // HXSSC_NUMFILTERS values
    const double* resolutions;         // HXSSC_NUMRESOLUTIONS values, in bits
    const CapabilityTable* capabilities;
    const ClockLimits* clockLimits;
};

// Where an extra channel of an A/D or D/A channel list comes from.
inline constexpr std::int32_t kChannelMapWholeValue = -1;
inline constexpr std::int32_t kChannelMapLowHalf = 0;
inline constexpr std::int32_t kChannelMapHighHalf = 1;

struct ChannelMapEntry {
    std::int32_t subsystemType;
    std::int32_t element;
    std::int32_t part;     // kChannelMapWholeValue, kChannelMapLowHalf or kChannelMapHighHalf
    std::int32_t channel;  // channel number in the mapped subsystem's channel list
};

struct ChannelMap {
    std::uint32_t count;
    const ChannelMapEntry* entries;
};

// Entry points, looked up by their decorated names. The board name argument is ignored.
//   BoardInfoProcEx: 1 with the model name and counts written; 0 for an unknown board type.
//   PersonalityProcEx: 1 with the record filled; 0 for a subsystem the family does not have,
//   the record untouched.
//   GetChannelMapping: 1 with the map written; 0 without a map (or a null out), out untouched.
using BoardInfoProcExProc = BOOL(WINAPI*)(UINT boardType, LPCSTR boardName, LPCSTR* modelName,
                                          const SubsystemCounts** counts);
using PersonalityProcExProc = BOOL(WINAPI*)(UINT boardType, LPCSTR boardName, UINT subsystemType,
                                            UINT element, PersonalityRecord* record);
using GetChannelMappingProc = BOOL(WINAPI*)(UINT boardType, LPCSTR boardName, UINT subsystemType,
                                            UINT element, ChannelMap* map);

inline constexpr char kBoardInfoProcExName[] = "_BoardInfoProcEx@16";
inline constexpr char kPersonalityProcExName[] = "_PersonalityProcEx@20";
inline constexpr char kGetChannelMappingName[] = "_GetChannelMapping@20";
inline constexpr char kMainDialogName[] = "MainDLG";

// The advanced-settings dialog of the families that have one, looked up by its plain name: shows
// the family's dialog modally for a device the caller opened with hxDaInitialize (its HDEV) and
// returns once it has closed.
using MainDlgProc = BOOL(WINAPI*)(LPCSTR boardName, std::uint32_t device);
