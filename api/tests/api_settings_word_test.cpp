// The common rules of the settings, one table row per setting: the accepted value and its Get,
// the refusals with their statuses, the refusal while running, the state that changes only with
// the value, and the stored value that stays acceptable without its capability.
#include <functional>
#include <string>

#include "api_test_support.h"

namespace hxda::test {
namespace {

using SetFn = std::function<HXSTATUS(HDASS, UINT)>;
using GetFn = std::function<HXSTATUS(HDASS, UINT*)>;
using Adjust = std::function<void(BoardTables&, PersonalityRecord&)>;

// A resolution table whose last entry is not whole: the range is 12 .. 16 bits.
const double kResolutions[] = {12.0, 14.0, 16.9};

SetFn listEntrySetter(HXSTATUS (*set)(HDASS, UINT, UINT), UINT entry) {
    return [set, entry](HDASS h, UINT v) { return set(h, entry, v); };
}
GetFn listEntryGetter(HXSTATUS (*get)(HDASS, UINT, UINT*), UINT entry) {
    return [get, entry](HDASS h, UINT* v) { return get(h, entry, v); };
}

HXSTATUS setPulseWidth(HDASS h, UINT v) {
    return hxDaSetPulseWidth(h, v);
}
HXSTATUS getPulseWidth(HDASS h, UINT* v) {
    double width = 0;
    const HXSTATUS status = hxDaGetPulseWidth(h, &width);
    *v = static_cast<UINT>(width);
    return status;
}

struct WordCase {
    const char* name;
    std::uint32_t type;
    Adjust adjust;
    SetFn set;
    GetFn get;
    UINT value;                                      // accepted, differs from the default
    std::vector<std::pair<UINT, HXSTATUS>> refused;  // value, status
};

void PrintTo(const WordCase& c, std::ostream* os) {
    *os << c.name;
}

void caps(BoardTables& t, std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> values) {
    for (const auto& [code, value] : values)
        t.set(code, value);
}

const std::vector<WordCase>& wordCases() {
    static const std::vector<WordCase> cases = {
        {"DmaUsage", HXSS_AD, nullptr, hxDaSetDmaUsage, hxDaGetDmaUsage, 2, {}},
        {"TriggeredScan",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) { t.set(HXSSC_TRIGGEREDSCAN, 1); },
         hxDaSetTriggeredScanUsage,
         hxDaGetTriggeredScanUsage,
         1,
         {}},
        {"ChannelListSize",
         HXSS_AD,
         nullptr,
         hxDaSetChannelListSize,
         hxDaGetChannelListSize,
         4,
         {{0, HXINVALIDLISTSIZE}, {5, HXINVALIDLISTSIZE}}},
        {"ChannelListEntry",
         HXSS_AD,
         nullptr,
         listEntrySetter(hxDaSetChannelListEntry, 3),
         listEntryGetter(hxDaGetChannelListEntry, 3),
         15,
         {{16, HXINVALIDCHANNEL}}},
        {"ChannelType",
         HXSS_AD,
         nullptr,
         hxDaSetChannelType,
         hxDaGetChannelType,
         HXCHANTYPE_SINGLEENDED,
         {{99, HXINVALIDCHANNELTYPE}, {102, HXINVALIDCHANNELTYPE}}},
        {"Encoding",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) { t.set(HXSSC_ENCODING_BINARY, 1); },
         hxDaSetEncoding,
         hxDaGetEncoding,
         HXENCODING_BINARY,
         {{202, HXINVALIDENCODING}}},
        {"Trigger",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_TRIGGER_SOFTWARE, 1}, {HXSSC_TRIGGER_EXTERNAL, 1}});
         },
         hxDaSetTrigger,
         hxDaGetTrigger,
         HXTRIG_EXTERNAL,
         {{302, HXINVALIDTRIGGER}, {HXTRIG_ANALOGEVENT, HXNOTSUPPORTED}}},
        {"Resolution",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord& p) {
             caps(t, {{HXSSC_SWRESOLUTION, 1}, {HXSSC_NUMRESOLUTIONS, 3}});
             p.resolutions = kResolutions;
         },
         hxDaSetResolution,
         hxDaGetResolution,
         16,
         {{11, HXINVALIDRESOLUTION}, {17, HXINVALIDRESOLUTION}}},
        {"ClockSource",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) {
             caps(
                 t,
                 {{HXSSC_CLOCK_INTERNAL, 1}, {HXSSC_CLOCK_EXTERNAL, 1}, {HXSSC_NUMEXTRACLOCKS, 2}});
         },
         hxDaSetClockSource,
         hxDaGetClockSource,
         403,
         {{399, HXINVALIDCLOCKSOURCE}, {404, HXINVALIDCLOCKSOURCE}}},
        {"ExternalClockDivider",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) { t.set(HXSSC_CLOCK_EXTERNAL, 1); },
         hxDaSetExternalClockDivider,
         hxDaGetExternalClockDivider,
         65535,
         {{0, HXINVALIDDIVIDER}, {1, HXINVALIDDIVIDER}, {65536, HXINVALIDDIVIDER}}},
        {"GateType",
         HXSS_CT,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_GATE_NONE, 1}, {HXSSC_GATE_RISINGEDGE, 1}});
         },
         hxDaSetGateType,
         hxDaGetGateType,
         HXGATE_RISINGEDGE,
         {{499, HXINVALIDGATE}, {511, HXINVALIDGATE}, {HXGATE_HIGHLEVEL, HXNOTSUPPORTED}}},
        {"PulseType",
         HXSS_CT,
         [](BoardTables& t, PersonalityRecord&) { t.set(HXSSC_PULSE_ACTIVELOW, 1); },
         hxDaSetPulseType,
         hxDaGetPulseType,
         HXPULSE_ACTIVELOW,
         {{602, HXINVALIDPULSETYPE}}},
        {"PulseWidth",
         HXSS_CT,
         nullptr,
         setPulseWidth,
         getPulseWidth,
         100,
         {{101, HXINVALIDPULSEWIDTH}}},
        {"CounterMode",
         HXSS_CT,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_CTMODE_COUNTEVENTS, 1}, {HXSSC_CTMODE_CONTMEASURE, 1}});
         },
         hxDaSetCTMode,
         hxDaGetCTMode,
         HXCTMODE_CONTMEASURE,
         {{699, HXINVALIDCOUNTERMODE},
          {707, HXINVALIDCOUNTERMODE},
          {HXCTMODE_ONESHOT, HXNOTSUPPORTED}}},
        {"CascadeMode",
         HXSS_CT,
         [](BoardTables& t, PersonalityRecord&) { t.set(HXSSC_CASCADE, 1); },
         hxDaSetCascadeMode,
         hxDaGetCascadeMode,
         HXCASCADE_WITHNEXT,
         {{902, HXINVALIDCASCADEMODE}}},
        {"MeasureStartEdge",
         HXSS_CT,
         // Edges 750, 752 and 753 only.
         [](BoardTables& t, PersonalityRecord&) { t.set(HXSSC_CTMODE_EDGETOEDGE, 0x10D); },
         hxDaSetMeasureStartEdge,
         hxDaGetMeasureStartEdge,
         HXEDGE_CLOCKFALLING,
         {{749, HXINVALIDEDGE}, {754, HXINVALIDEDGE}, {HXEDGE_GATEFALLING, HXINVALIDEDGE}}},
        {"MeasureStopEdge",
         HXSS_CT,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_CTMODE_EDGETOEDGE, 0x0F},
                      {HXSSC_GATE_HIGHLEVEL, 1},
                      {HXSSC_GATE_RISINGEDGE, 1}});
         },
         hxDaSetMeasureStopEdge,
         hxDaGetMeasureStopEdge,
         HXEDGE_CLOCKFALLING,
         {{754, HXINVALIDEDGE}, {HXEDGE_CLOCKRISING, HXNOTSUPPORTED}}},
        {"WrapMode",
         HXSS_AD,
         nullptr,
         hxDaSetWrapMode,
         hxDaGetWrapMode,
         HXWRAP_MULTIPLE,
         {{999, HXINVALIDWRAPMODE}, {1003, HXINVALIDWRAPMODE}, {HXWRAP_SINGLE, HXNOTSUPPORTED}}},
        {"DataFlow",
         HXSS_AD,
         nullptr,
         hxDaSetDataFlow,
         hxDaGetDataFlow,
         HXDF_SINGLEVALUE,
         {{799, HXINVALIDDATAFLOW}, {806, HXINVALIDDATAFLOW}, {HXDF_CONTPRETRIG, HXNOTSUPPORTED}}},
        {"ChannelInhibit",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) { t.set(HXSSC_INHIBITLIST, 1); },
         listEntrySetter(hxDaSetChannelListEntryInhibit, 1),
         listEntryGetter(hxDaGetChannelListEntryInhibit, 1),
         1,
         {}},
        {"DigitalIOListEntry",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_SYNCDIO, 1}, {HXSSC_MAXSYNCDIOVALUE, 200}});
         },
         listEntrySetter(hxDaSetDigitalIOListEntry, 3),
         listEntryGetter(hxDaGetDigitalIOListEntry, 3),
         200,
         {{201, HXINVALIDSYNCDIOVALUE}}},
        {"SynchronousDigitalIO",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) { t.set(HXSSC_SYNCDIO, 1); },
         hxDaSetSynchronousDigitalIOUsage,
         hxDaGetSynchronousDigitalIOUsage,
         1,
         {}},
        {"PretriggerSource",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_DATAFLOW_CONTPRETRIG, 1},
                      {HXSSC_TRIGGER_SOFTWARE, 1},
                      {HXSSC_TRIGGER_EXTERNAL, 1}});
         },
         hxDaSetPretriggerSource,
         hxDaGetPretriggerSource,
         HXTRIG_EXTERNAL,
         {{302, HXINVALIDTRIGGER}}},
        {"RetriggerSource",
         HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_RETRIGGER_EXTRA, 1},
                      {HXSSC_TRIGGER_SOFTWARE, 1},
                      {HXSSC_TRIGGER_EXTERNAL, 1}});
         },
         hxDaSetRetrigger,
         hxDaGetRetrigger,
         HXTRIG_EXTERNAL,
         {{299, HXINVALIDTRIGGER}}},
    };
    return cases;
}

class WordSetting : public ApiFixture, public ::testing::WithParamInterface<WordCase> {};

TEST_P(WordSetting, FollowsTheCommonRules) {
    const WordCase& c = GetParam();
    PersonalityRecord p = tables.personality();
    if (c.adjust)
        c.adjust(tables, p);
    const HDASS hDass = open(c.type, false, &p);
    block(hDass).state = HXSTATE_READY;
    UINT initial = 0;
    ASSERT_EQ(c.get(hDass, &initial), HXNOERROR);
    ASSERT_NE(initial, c.value);

    // A new value is stored and needs configuring; the same value again changes nothing.
    EXPECT_EQ(c.set(hDass, c.value), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_NEEDSCONFIG);
    UINT read = 0;
    EXPECT_EQ(c.get(hDass, &read), HXNOERROR);
    EXPECT_EQ(read, c.value);
    block(hDass).state = HXSTATE_READY;
    EXPECT_EQ(c.set(hDass, c.value), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_READY);

    for (const auto& [value, status] : c.refused) {
        SCOPED_TRACE(value);
        EXPECT_EQ(c.set(hDass, value), status);
        EXPECT_EQ(block(hDass).state, HXSTATE_READY);
        EXPECT_EQ(c.get(hDass, &read), HXNOERROR);
        EXPECT_EQ(read, c.value);
    }

    for (const std::int32_t running : {HXSTATE_RUNNING, HXSTATE_PAUSED, HXSTATE_PRESTARTED}) {
        block(hDass).state = running;
        EXPECT_EQ(c.set(hDass, initial), HXSUBSYSRUNNING);
        EXPECT_EQ(block(hDass).state, running);
        EXPECT_EQ(c.get(hDass, &read), HXNOERROR);
        EXPECT_EQ(read, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, WordSetting, ::testing::ValuesIn(wordCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Without the capability behind a value only the stored value is taken, even while running (the
// capability is tested before the state).
struct StoredOnlyCase {
    const char* name;
    std::uint32_t type;
    Adjust adjust;
    SetFn set;
    UINT stored;
    UINT other;
};

void PrintTo(const StoredOnlyCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<StoredOnlyCase>& storedOnlyCases() {
    auto off = [](std::initializer_list<std::uint32_t> codes) {
        std::vector<std::uint32_t> list(codes);
        return [list](BoardTables& t, PersonalityRecord&) {
            for (const std::uint32_t code : list)
                t.set(code, 0);
        };
    };
    static const std::vector<StoredOnlyCase> cases = {
        {"ChannelType", HXSS_AD, off({HXSSC_CHANTYPE_SINGLEENDED, HXSSC_CHANTYPE_DIFFERENTIAL}),
         hxDaSetChannelType, HXCHANTYPE_DIFFERENTIAL, HXCHANTYPE_SINGLEENDED},
        {"Encoding", HXSS_AD, off({HXSSC_ENCODING_TWOSCOMP}), hxDaSetEncoding, HXENCODING_BINARY,
         HXENCODING_TWOSCOMP},
        {"TriggeredScan", HXSS_AD, nullptr, hxDaSetTriggeredScanUsage, 0, 1},
        {"ChannelListSize", HXSS_AD, off({HXSSC_LISTSIZE}), hxDaSetChannelListSize, 0, 1},
        {"Resolution", HXSS_AD, nullptr, hxDaSetResolution, 16, 12},
        {"ClockSource", HXSS_AD, nullptr, hxDaSetClockSource, HXCLK_INTERNAL, HXCLK_EXTERNAL},
        {"ExternalClockDivider", HXSS_AD, nullptr, hxDaSetExternalClockDivider, 2, 3},
        {"Trigger", HXSS_AD, nullptr, hxDaSetTrigger, HXTRIG_SOFTWARE, HXTRIG_EXTERNAL},
        {"PretriggerWithoutPretriggerFlow", HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_TRIGGER_SOFTWARE, 1}, {HXSSC_TRIGGER_EXTERNAL, 1}});
         },
         hxDaSetPretriggerSource, HXTRIG_SOFTWARE, HXTRIG_EXTERNAL},
        {"RetriggerSourceWithoutExtraRetrigger", HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_TRIGGER_SOFTWARE, 1}, {HXSSC_TRIGGER_EXTERNAL, 1}});
         },
         hxDaSetRetrigger, HXTRIG_SOFTWARE, HXTRIG_EXTERNAL},
        {"GateType", HXSS_CT, nullptr, hxDaSetGateType, HXGATE_NONE, HXGATE_HIGHLEVEL},
        {"PulseType", HXSS_CT, off({HXSSC_PULSE_ACTIVEHIGH}), hxDaSetPulseType, HXPULSE_ACTIVELOW,
         HXPULSE_ACTIVEHIGH},
        {"CounterMode", HXSS_CT, nullptr, hxDaSetCTMode, HXCTMODE_COUNTEVENTS, HXCTMODE_RATE},
        {"MeasureStopEdge", HXSS_CT,
         [](BoardTables& t, PersonalityRecord&) { t.set(HXSSC_CTMODE_EDGETOEDGE, 0x0F); },
         hxDaSetMeasureStopEdge, HXEDGE_GATEFALLING, HXEDGE_GATERISING},
        {"DataFlow", HXSS_AD,
         [](BoardTables& t, PersonalityRecord&) {
             caps(t, {{HXSSC_DATAFLOW_CONTINUOUS, 0},
                      {HXSSC_DATAFLOW_SINGLEVALUE, 0},
                      {HXSSC_DATAFLOW_CONTPRETRIG, 1}});
         },
         hxDaSetDataFlow, HXDF_SINGLEVALUE, HXDF_CONTINUOUS},
        {"SynchronousDigitalIO", HXSS_AD, nullptr, hxDaSetSynchronousDigitalIOUsage, 0, 1},
        {"RetriggerMode", HXSS_AD, nullptr, hxDaSetRetriggerMode, HXRETRIGGER_SCANPERTRIGGER,
         HXRETRIGGER_INTERNAL},
    };
    return cases;
}

class StoredOnly : public ApiFixture, public ::testing::WithParamInterface<StoredOnlyCase> {};

TEST_P(StoredOnly, WithoutCapabilityOnlyTheStoredValueIsTaken) {
    const StoredOnlyCase& c = GetParam();
    PersonalityRecord p = tables.personality();
    if (c.adjust)
        c.adjust(tables, p);
    const HDASS hDass = open(c.type, false, &p);
    for (const std::int32_t state : {HXSTATE_READY, HXSTATE_RUNNING}) {
        SCOPED_TRACE(state);
        block(hDass).state = state;
        EXPECT_EQ(c.set(hDass, c.stored), HXNOERROR);
        EXPECT_EQ(c.set(hDass, c.other), HXNOTSUPPORTED);
        EXPECT_EQ(block(hDass).state, state);
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, StoredOnly, ::testing::ValuesIn(storedOnlyCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hxda::test
