// How a board family is described: its models and, per subsystem, which tables a board type gets.
// Each family's library holds one constant FamilyTables in its table file; the lookups of
// family_lookup.h answer the entry points from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "boardext/extension_interface.h"
#include "hxdacodes.h"

namespace boardext {

struct ModelRow {
    std::uint32_t boardType;
    const char* modelName;
    const SubsystemCounts* counts;
};

// A range table with its two cells. A record points at the cells themselves (minimaCell,
// maximaCell), which are constant: opening another subsystem never changes what an earlier
// record sees. Identical tables may share one RangeTable.
struct RangeTable {
    const double* minimaCell;
    const double* maximaCell;
    std::uint32_t count;
};

struct RangePair {
    double minimum;
    double maximum;
};

template <std::size_t N>
struct RangeArrays {
    std::array<double, N> minima;
    std::array<double, N> maxima;
};

template <std::size_t N>
constexpr RangeArrays<N> SplitRanges(const RangePair (&pairs)[N]) {
    RangeArrays<N> arrays{};
    for (std::size_t i = 0; i < N; ++i) {
        arrays.minima[i] = pairs[i].minimum;
        arrays.maxima[i] = pairs[i].maximum;
    }
    return arrays;
}

// The cells of arrays that have static storage.
template <std::size_t N>
constexpr RangeTable CellsOf(const RangeArrays<N>& arrays) {
    return RangeTable{arrays.minima.data(), arrays.maxima.data(), static_cast<std::uint32_t>(N)};
}

// Everything one subsystem gets. A null (or empty) field is left as the caller had it.
struct SubsystemTables {
    std::span<const double> gains = {};
    const RangeTable* ranges = nullptr;
    std::span<const double> filters = {};
    std::span<const double> resolutions = {};
    const CapabilityTable* capabilities = nullptr;
    const ClockLimits* clockLimits = nullptr;
};

inline constexpr std::uint32_t kAnyElement = 0xFFFFFFFFu;

// Which requests a row answers: a subsystem type, an element (or any), and a list of board types
// (empty: any board type). The first matching row of a family wins.
struct SubsystemMatch {
    std::uint32_t subsystemType;
    std::uint32_t element;
    std::span<const std::uint32_t> boardTypes;

    constexpr bool Matches(std::uint32_t boardType, std::uint32_t subsystem,
                           std::uint32_t elementAsked) const {
        if (subsystem != subsystemType || (element != kAnyElement && element != elementAsked))
            return false;
        if (boardTypes.empty())
            return true;
        for (std::uint32_t type : boardTypes) {
            if (type == boardType)
                return true;
        }
        return false;
    }
};

struct PersonalityRow {
    SubsystemMatch match;
    const SubsystemTables* tables;
};

// A null map means "no map" for the requests the row matches.
struct ChannelMapRow {
    SubsystemMatch match;
    const ChannelMap* map;
};

// True when every list of every row holds at least the values its capability count announces, so
// that a reader going by the counts never runs past a list. Each family checks its rows at compile
// time.
constexpr bool ListsCoverCounts(const SubsystemTables& tables) {
    if (tables.capabilities == nullptr)
        return true;
    auto count = [&](std::uint32_t code) {
        return tables.capabilities->entry[CapabilityEntryOfCode(code)];
    };
    std::uint32_t ranges = tables.ranges != nullptr ? tables.ranges->count : 0;
    return count(HXSSC_NUMGAINS) <= tables.gains.size() &&
           count(HXSSC_NUMFILTERS) <= tables.filters.size() &&
           count(HXSSC_NUMRESOLUTIONS) <= tables.resolutions.size() &&
           count(HXSSC_NUMRANGES) <= ranges;
}

constexpr bool ListsCoverCounts(std::span<const PersonalityRow> rows) {
    for (const PersonalityRow& row : rows) {
        if (!ListsCoverCounts(*row.tables))
            return false;
    }
    return true;
}

struct FamilyTables {
    std::span<const ModelRow> models;
    std::span<const PersonalityRow> personalities;
    std::span<const ChannelMapRow> channelMaps;
};

// Capability tables are written as lists: values ({capability code, value}) and available
// features (codes set to 1), over an optional base table. The builder places each value at the
// code's table entry; entries without a capability name are given by entry number through
// EntryCode. Codes without an entry are ignored (the table tests catch such a slip).
struct CapabilityValue {
    std::uint32_t code;
    std::uint32_t value;
};

constexpr std::uint32_t EntryCode(std::uint32_t entry) {
    return entry <= 60 ? entry : entry + 12;
}

constexpr CapabilityTable Capabilities(std::span<const CapabilityValue> values,
                                       std::span<const std::uint32_t> available,
                                       CapabilityTable table = {}) {
    for (std::uint32_t code : available) {
        if (std::uint32_t entry = CapabilityEntryOfCode(code); entry < kCapabilityEntryCount)
            table.entry[entry] = 1;
    }
    for (const CapabilityValue& v : values) {
        if (std::uint32_t entry = CapabilityEntryOfCode(v.code); entry < kCapabilityEntryCount)
            table.entry[entry] = v.value;
    }
    return table;
}

// A base table with the listed codes cleared.
constexpr CapabilityTable Without(CapabilityTable table, std::span<const std::uint32_t> codes) {
    for (std::uint32_t code : codes) {
        if (std::uint32_t entry = CapabilityEntryOfCode(code); entry < kCapabilityEntryCount)
            table.entry[entry] = 0;
    }
    return table;
}

}  // namespace boardext
