// Test access to a board extension module through the loader, as the API library reaches it:
// LoadLibraryA("<name>.dll") and GetProcAddress by decorated name. Answers are decoded with the
// counts of the record's own capability table.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "boardext/extension_interface.h"
#include "hxdacodes.h"
#include "win32/module.h"

namespace boardext::testing {

class ExtensionModule {
  public:
    explicit ExtensionModule(const std::string& name)
        : module_(LoadLibraryA((name + ".dll").c_str())) {}
    ~ExtensionModule() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    ExtensionModule(const ExtensionModule&) = delete;
    ExtensionModule& operator=(const ExtensionModule&) = delete;

    HMODULE handle() const { return module_; }

    template <typename Proc>
    Proc Entry(LPCSTR name) const {
        return reinterpret_cast<Proc>(GetProcAddress(module_, name));
    }
    BoardInfoProcExProc BoardInfo() const {
        return Entry<BoardInfoProcExProc>(kBoardInfoProcExName);
    }
    PersonalityProcExProc Personality() const {
        return Entry<PersonalityProcExProc>(kPersonalityProcExName);
    }
    GetChannelMappingProc ChannelMapping() const {
        return Entry<GetChannelMappingProc>(kGetChannelMappingName);
    }

  private:
    HMODULE module_;
};

// The capability code that a table entry answers (for entries without a capability name).
constexpr std::uint32_t CodeOfEntry(std::uint32_t entry) {
    return entry <= 60 ? entry : entry + 12;
}

using Counts = std::vector<std::uint32_t>;
using Ranges = std::vector<std::pair<double, double>>;  // (minimum, maximum)

// What BoardInfoProcEx answered.
struct BoardInfo {
    BOOL result = -1;
    LPCSTR modelName = nullptr;
    const SubsystemCounts* counts = nullptr;

    std::string Name() const { return modelName != nullptr ? modelName : "<null>"; }
    Counts CountList() const {
        return counts != nullptr ? Counts(counts->count, counts->count + 6) : Counts{};
    }
};

inline BoardInfo AskBoardInfo(const ExtensionModule& module, UINT boardType) {
    BoardInfo info;
    info.result = module.BoardInfo()(boardType, "any board", &info.modelName, &info.counts);
    return info;
}

// One subsystem's record, filled into a zeroed record as the API does.
class Personality {
  public:
    Personality(const ExtensionModule& module, UINT boardType, UINT subsystemType, UINT element) {
        std::memset(&record_, 0, sizeof record_);
        result_ = module.Personality()(boardType, "any board", subsystemType, element, &record_);
    }

    BOOL result() const { return result_; }
    const PersonalityRecord& record() const { return record_; }

    std::uint32_t Cap(std::uint32_t code) const {
        return CapabilityEntry(record_.capabilities, CapabilityEntryOfCode(code));
    }
    std::vector<double> Gains() const { return List(record_.gains, Cap(HXSSC_NUMGAINS)); }
    std::vector<double> Filters() const { return List(record_.filters, Cap(HXSSC_NUMFILTERS)); }
    std::vector<double> Resolutions() const {
        return List(record_.resolutions, Cap(HXSSC_NUMRESOLUTIONS));
    }
    // The ranges as the record shows them now, through its cells.
    Ranges RangeList() const {
        Ranges ranges;
        if (record_.rangeMinima == nullptr || record_.rangeMaxima == nullptr)
            return ranges;
        for (std::uint32_t i = 0; i < Cap(HXSSC_NUMRANGES); ++i)
            ranges.emplace_back((*record_.rangeMinima)[i], (*record_.rangeMaxima)[i]);
        return ranges;
    }
    std::vector<double> Clock() const {
        if (record_.clockLimits == nullptr)
            return {};
        const ClockLimits& c = *record_.clockLimits;
        return {c.maxClockFrequency,     c.minClockFrequency,       c.maxRetriggerFrequency,
                c.minRetriggerFrequency, c.maxExternalClockDivider, c.minExternalClockDivider,
                c.baseClockFrequency};
    }

  private:
    static std::vector<double> List(const double* values, std::uint32_t count) {
        if (values == nullptr)
            return {};
        return std::vector<double>(values, values + count);
    }

    BOOL result_ = -1;
    PersonalityRecord record_;
};

// One subsystem's expected answer: the lists and clock limits in full, and the capability
// entries that matter for it.
struct TablesCase {
    UINT boardType;
    UINT subsystemType;
    UINT element;
    std::vector<double> gains;
    Ranges ranges;
    std::vector<double> resolutions;
    std::vector<double> clock;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> capabilities;  // (code, value)
    std::vector<double> filters = {0.0};
};

inline void ExpectTables(const ExtensionModule& module, const TablesCase& c) {
    SCOPED_TRACE(::testing::Message() << "type " << c.boardType << " subsystem " << c.subsystemType
                                      << " element " << c.element);
    Personality p(module, c.boardType, c.subsystemType, c.element);
    ASSERT_EQ(p.result(), 1);
    EXPECT_EQ(p.Gains(), c.gains);
    EXPECT_EQ(p.RangeList(), c.ranges);
    EXPECT_EQ(p.Resolutions(), c.resolutions);
    EXPECT_EQ(p.Filters(), c.filters);
    EXPECT_EQ(p.Clock(), c.clock);
    for (auto [code, value] : c.capabilities)
        EXPECT_EQ(p.Cap(code), value) << "capability " << code;
}

}  // namespace boardext::testing
