// What every extension module offers the loader, and the answers common to all families.
#include <cstring>
#include <thread>
#include <vector>

#include "extension_module.h"

namespace boardext::testing {
namespace {

struct ModuleCase {
    const char* name;
    WORD boardInfoOrdinal;
    WORD personalityOrdinal;
    WORD channelMappingOrdinal;  // 0: not exported
    WORD mainDialogOrdinal;      // 0: no advanced settings
    std::vector<UINT> boardTypes;
};

const std::vector<ModuleCase>& Modules() {
    static const std::vector<ModuleCase> modules = {
        {"Mq5120", 1, 4, 2, 3, {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14}},
        {"Mq5200", 1, 4, 2, 3, {0x5201, 0x5202, 0x5203, 0x5204, 0x5205, 0x5206}},
        {"Mq5130", 1, 3, 0, 2, {0x5130}},
        {"MQ5310", 1, 2, 0, 0, {0, 1, 2, 3}},
    };
    return modules;
}

TEST(ExtensionExports, EachModuleExportsItsEntriesByDecoratedNameAndOrdinal) {
    for (const ModuleCase& c : Modules()) {
        SCOPED_TRACE(c.name);
        ExtensionModule module(c.name);
        ASSERT_NE(module.handle(), nullptr);
        FARPROC boardInfo = GetProcAddress(module.handle(), kBoardInfoProcExName);
        FARPROC personality = GetProcAddress(module.handle(), kPersonalityProcExName);
        FARPROC mapping = GetProcAddress(module.handle(), kGetChannelMappingName);
        ASSERT_NE(boardInfo, nullptr);
        ASSERT_NE(personality, nullptr);
        EXPECT_EQ(GetProcAddress(module.handle(), MAKEINTRESOURCEA(c.boardInfoOrdinal)), boardInfo);
        EXPECT_EQ(GetProcAddress(module.handle(), MAKEINTRESOURCEA(c.personalityOrdinal)),
                  personality);
        if (c.channelMappingOrdinal != 0) {
            ASSERT_NE(mapping, nullptr);
            EXPECT_EQ(GetProcAddress(module.handle(), MAKEINTRESOURCEA(c.channelMappingOrdinal)),
                      mapping);
        } else {
            EXPECT_EQ(mapping, nullptr);
        }
        // The advanced-settings dialog by its plain name only; a wrong argument size is no match.
        FARPROC mainDialog = GetProcAddress(module.handle(), kMainDialogName);
        if (c.mainDialogOrdinal != 0) {
            ASSERT_NE(mainDialog, nullptr);
            EXPECT_EQ(GetProcAddress(module.handle(), MAKEINTRESOURCEA(c.mainDialogOrdinal)),
                      mainDialog);
            EXPECT_EQ(GetProcAddress(module.handle(), "_MainDLG@8"), nullptr);
        } else {
            EXPECT_EQ(mainDialog, nullptr);
        }
        EXPECT_EQ(GetProcAddress(module.handle(), "_BoardInfoProcEx@12"), nullptr);
    }
}

TEST(ExtensionExports, ModulesLoadedTogetherEachAnswerForTheirOwnFamily) {
    ExtensionModule mq5120("Mq5120");
    ExtensionModule mq5310("MQ5310");
    ExtensionModule mq5130("Mq5130");
    EXPECT_EQ(AskBoardInfo(mq5120, 0).Name(), "MQ5120-16-04-12");
    EXPECT_EQ(AskBoardInfo(mq5310, 0).Name(), "MQ5310-10V");
    EXPECT_EQ(AskBoardInfo(mq5130, 0x5130).Name(), "MQ5130");
    EXPECT_EQ(Personality(mq5120, 4, HXSS_AD, 0).Cap(HXSSC_NUMCHANNELS), 27u);
    EXPECT_EQ(Personality(mq5310, 0, HXSS_AD, 0).Cap(HXSSC_NUMCHANNELS), 8u);
}

TEST(ExtensionExports, SubsystemTypesWithoutTablesLeaveTheRecordUntouched) {
    for (const ModuleCase& c : Modules()) {
        SCOPED_TRACE(c.name);
        ExtensionModule module(c.name);
        for (UINT subsystem : {4u, 6u, 0xFFFFFFFFu}) {
            PersonalityRecord record;
            std::memset(&record, 0xA5, sizeof record);
            PersonalityRecord before = record;
            EXPECT_EQ(module.Personality()(c.boardTypes.front(), "", subsystem, 0, &record), 0);
            EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << subsystem;
        }
    }
}

TEST(ExtensionExports, NullOutputsAreRefusedWithoutWriting) {
    for (const ModuleCase& c : Modules()) {
        SCOPED_TRACE(c.name);
        ExtensionModule module(c.name);
        UINT type = c.boardTypes.front();
        LPCSTR name = "untouched";
        const SubsystemCounts* counts = nullptr;
        EXPECT_EQ(module.BoardInfo()(type, nullptr, nullptr, &counts), 0);
        EXPECT_EQ(module.BoardInfo()(type, nullptr, &name, nullptr), 0);
        EXPECT_STREQ(name, "untouched");
        EXPECT_EQ(counts, nullptr);
        EXPECT_EQ(module.Personality()(type, nullptr, HXSS_CT, 0, nullptr), 0);
        if (c.channelMappingOrdinal != 0) {
            EXPECT_EQ(module.ChannelMapping()(type, nullptr, HXSS_AD, 0, nullptr), 0);
        }
    }
}

// Every subsystem that a model's counts allow has a complete record whose lists hold what its
// capability counts say, with values in their domains.
TEST(ExtensionExports, EveryOpenableSubsystemHasConsistentTables) {
    for (const ModuleCase& c : Modules()) {
        ExtensionModule module(c.name);
        for (UINT type : c.boardTypes) {
            BoardInfo info = AskBoardInfo(module, type);
            ASSERT_EQ(info.result, 1) << c.name << " type " << type;
            for (UINT subsystem = 0; subsystem < 6; ++subsystem) {
                for (UINT element = 0; element < info.counts->count[subsystem]; ++element) {
                    SCOPED_TRACE(::testing::Message() << c.name << " type " << type << " subsystem "
                                                      << subsystem << " element " << element);
                    Personality p(module, type, subsystem, element);
                    ASSERT_EQ(p.result(), 1);
                    const PersonalityRecord& r = p.record();
                    ASSERT_NE(r.capabilities, nullptr);
                    ASSERT_NE(r.clockLimits, nullptr);
                    ASSERT_NE(r.gains, nullptr);
                    ASSERT_NE(r.filters, nullptr);
                    ASSERT_NE(r.resolutions, nullptr);
                    EXPECT_GE(p.Cap(HXSSC_NUMCHANNELS), p.Cap(HXSSC_NUMSECHANNELS));
                    EXPECT_GE(p.Cap(HXSSC_NUMRESOLUTIONS), 1u);
                    for (double gain : p.Gains()) {
                        EXPECT_GE(gain, 1.0);
                    }
                    for (double filter : p.Filters()) {
                        EXPECT_GE(filter, 0.0);
                    }
                    for (double bits : p.Resolutions()) {
                        EXPECT_GE(bits, 1.0);
                        EXPECT_LE(bits, 32.0);
                    }
                    if (p.Cap(HXSSC_NUMRANGES) > 0) {
                        ASSERT_NE(r.rangeMinima, nullptr);
                        ASSERT_NE(r.rangeMaxima, nullptr);
                    }
                    for (auto [minimum, maximum] : p.RangeList()) {
                        EXPECT_LT(minimum, maximum);
                    }
                    const ClockLimits& clock = *r.clockLimits;
                    EXPECT_LE(clock.minClockFrequency, clock.maxClockFrequency);
                    EXPECT_LE(clock.minRetriggerFrequency, clock.maxRetriggerFrequency);
                    EXPECT_LE(clock.minExternalClockDivider, clock.maxExternalClockDivider);
                    if (p.Cap(HXSSC_CLOCK_INTERNAL) != 0 && p.Cap(HXSSC_DATAFLOW_CONTINUOUS) != 0 &&
                        subsystem != HXSS_DIN && subsystem != HXSS_DOUT) {
                        EXPECT_GT(clock.maxClockFrequency, 0.0);
                    }
                }
            }
        }
    }
}

TEST(ExtensionExports, EntriesPastTheTableReadAsNotAvailable) {
    ExtensionModule module("Mq5120");
    Personality ad(module, 4, HXSS_AD, 0);
    EXPECT_EQ(CapabilityEntry(ad.record().capabilities, 94), 0u);
    EXPECT_EQ(CapabilityEntry(ad.record().capabilities, 99), 0u);
    EXPECT_EQ(CapabilityEntry(nullptr, 0), 0u);
    EXPECT_EQ(CapabilityEntryOfCode(HXSSC_MAXFREQ), kCapabilityEntryCount);
    EXPECT_EQ(CapabilityEntryOfCode(HXSSC_PULSE_ACTIVELOW), 61u);
    EXPECT_EQ(CapabilityEntryOfCode(HXSSC_FIXEDPULSEWIDTH), 93u);
    EXPECT_EQ(CapabilityEntryOfCode(106), kCapabilityEntryCount);
}

// Programs open boards on several threads at once, and every open asks its family's module; a
// module's memory of the last board found must take that (the race checker watches this).
TEST(ExtensionExports, BoardsLookedUpOnSeveralThreadsAtOnceAnswerEachTheirOwn) {
    for (const ModuleCase& c : Modules()) {
        SCOPED_TRACE(c.name);
        ExtensionModule module(c.name);
        const BoardInfoProcExProc boardInfo = module.BoardInfo();
        ASSERT_NE(boardInfo, nullptr);
        std::vector<std::thread> threads;
        std::vector<int> mismatches(4, 0);
        for (std::size_t t = 0; t < mismatches.size(); ++t) {
            threads.emplace_back([&, t] {
                const UINT type = c.boardTypes[t % c.boardTypes.size()];
                const std::string expected = AskBoardInfo(module, type).Name();
                for (int i = 0; i < 2000; ++i) {
                    if (AskBoardInfo(module, type).Name() != expected)
                        ++mismatches[t];
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        for (int count : mismatches)
            EXPECT_EQ(count, 0);
    }
}

}  // namespace
}  // namespace boardext::testing
