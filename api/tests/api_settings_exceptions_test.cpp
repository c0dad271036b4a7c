// Settings that depart from the common rules: Gets that answer 36 or a fixed value without their
// capability, the counter/timer-only settings, DMA usage, retrigger mode, the special mode, the
// multiscan count and the quadrature decoder.
#include <functional>
#include <string>

#include "api_test_support.h"

namespace hxda::test {
namespace {

using Adjust = std::function<void(BoardTables&)>;
using GetFn = std::function<HXSTATUS(HDASS)>;

template <typename Out>
GetFn word(HXSTATUS (*get)(HDASS, Out*)) {
    return [get](HDASS h) {
        Out out{};
        return get(h, &out);
    };
}
GetFn entryWord(HXSTATUS (*get)(HDASS, UINT, UINT*)) {
    return [get](HDASS h) {
        UINT out = 0;
        return get(h, 0, &out);
    };
}
GetFn pair(HXSTATUS (*get)(HDASS, double*, double*)) {
    return [get](HDASS h) {
        double a = 0, b = 0;
        return get(h, &a, &b);
    };
}

struct UnsupportedGet {
    const char* name;
    std::uint32_t type;
    Adjust adjust;
    GetFn get;
};

void PrintTo(const UnsupportedGet& c, std::ostream* os) {
    *os << c.name;
}

Adjust off(std::initializer_list<std::uint32_t> codes) {
    std::vector<std::uint32_t> list(codes);
    return [list](BoardTables& t) {
        for (const std::uint32_t code : list)
            t.set(code, 0);
    };
}

const Adjust kTriggers = [](BoardTables& t) {
    t.set(HXSSC_TRIGGER_SOFTWARE, 1);
    t.set(HXSSC_DATAFLOW_CONTPRETRIG, 1);
    t.set(HXSSC_RETRIGGER_EXTRA, 1);
};

const std::vector<UnsupportedGet>& unsupportedGets() {
    static const std::vector<UnsupportedGet> cases = {
        {"ChannelType", HXSS_AD, off({HXSSC_CHANTYPE_SINGLEENDED, HXSSC_CHANTYPE_DIFFERENTIAL}),
         word(hxDaGetChannelType)},
        {"Encoding", HXSS_AD, off({HXSSC_ENCODING_TWOSCOMP}), word(hxDaGetEncoding)},
        {"TriggerWithoutAnyTrigger", HXSS_AD, nullptr, word(hxDaGetTrigger)},
        {"PretriggerWithoutAnyTrigger", HXSS_AD,
         [](BoardTables& t) { t.set(HXSSC_DATAFLOW_CONTPRETRIG, 1); },
         word(hxDaGetPretriggerSource)},
        {"PretriggerWithoutPretriggerFlow", HXSS_AD,
         [](BoardTables& t) {
             kTriggers(t);
             t.set(HXSSC_DATAFLOW_CONTPRETRIG, 0);
         },
         word(hxDaGetPretriggerSource)},
        {"RetriggerSourceWithoutExtraRetrigger", HXSS_AD,
         [](BoardTables& t) {
             kTriggers(t);
             t.set(HXSSC_RETRIGGER_EXTRA, 0);
         },
         word(hxDaGetRetrigger)},
        {"ClockSource", HXSS_AD, nullptr, word(hxDaGetClockSource)},
        {"ClockFrequency", HXSS_AD, nullptr, word(hxDaGetClockFrequency)},
        {"ExternalClockDivider", HXSS_AD, nullptr, word(hxDaGetExternalClockDivider)},
        {"WrapModeOnCounter", HXSS_CT, nullptr, word(hxDaGetWrapMode)},
        {"WrapModeWithoutStreaming", HXSS_AD, off({HXSSC_DATAFLOW_CONTINUOUS}),
         word(hxDaGetWrapMode)},
        {"DataFlow", HXSS_AD, off({HXSSC_DATAFLOW_CONTINUOUS, HXSSC_DATAFLOW_SINGLEVALUE}),
         word(hxDaGetDataFlow)},
        {"Window", HXSS_AD, off({HXSSC_NOTIFICATIONS}), word(hxDaGetWndHandle)},
        {"ChannelListEntry", HXSS_AD, off({HXSSC_LISTSIZE}), entryWord(hxDaGetChannelListEntry)},
        {"GainListEntry", HXSS_AD, off({HXSSC_LISTSIZE}),
         [](HDASS h) {
             double gain = 0;
             return hxDaGetGainListEntry(h, 0, &gain);
         }},
        {"InhibitWithoutInhibitList", HXSS_AD, nullptr, entryWord(hxDaGetChannelListEntryInhibit)},
        {"InhibitWithoutList", HXSS_AD,
         [](BoardTables& t) {
             t.set(HXSSC_INHIBITLIST, 1);
             t.set(HXSSC_LISTSIZE, 0);
         },
         entryWord(hxDaGetChannelListEntryInhibit)},
        {"DigitalIOList", HXSS_AD, nullptr, entryWord(hxDaGetDigitalIOListEntry)},
        {"Range", HXSS_AD, off({HXSSC_NUMRANGES}), pair(hxDaGetRange)},
        {"GateTypeOnAnalogInput", HXSS_AD, nullptr, word(hxDaGetGateType)},
        {"PulseTypeOnAnalogInput", HXSS_AD, nullptr, word(hxDaGetPulseType)},
        {"PulseWidthOnAnalogInput", HXSS_AD, nullptr, word(hxDaGetPulseWidth)},
        {"CounterModeOnAnalogInput", HXSS_AD, nullptr, word(hxDaGetCTMode)},
        {"CascadeOnAnalogInput", HXSS_AD, nullptr, word(hxDaGetCascadeMode)},
        {"StartEdgeOnAnalogInput", HXSS_AD, nullptr, word(hxDaGetMeasureStartEdge)},
        {"StopEdgeOnQuadratureDecoder", HXSS_CT,
         [](BoardTables& t) { t.set(HXSSC_QUADDECODER, 1); }, word(hxDaGetMeasureStopEdge)},
        {"CounterModeOnQuadratureDecoder", HXSS_CT,
         [](BoardTables& t) { t.set(HXSSC_QUADDECODER, 1); }, word(hxDaGetCTMode)},
    };
    return cases;
}

class GetWithoutCapability : public ApiFixture,
                             public ::testing::WithParamInterface<UnsupportedGet> {};

TEST_P(GetWithoutCapability, AnswersNotSupported) {
    const UnsupportedGet& c = GetParam();
    if (c.adjust)
        c.adjust(tables);
    const HDASS hDass = open(c.type, false);
    EXPECT_EQ(c.get(hDass), HXNOTSUPPORTED);
}

INSTANTIATE_TEST_SUITE_P(Settings, GetWithoutCapability, ::testing::ValuesIn(unsupportedGets()),
                         [](const auto& info) { return std::string(info.param.name); });

using SettingExceptions = ApiFixture;

// Some Gets answer a fixed value instead of the stored one when the capability is missing.
TEST_F(SettingExceptions, GetsWithAFixedAnswerWithoutCapability) {
    const HDASS input = open(HXSS_AD, false);
    block(input).triggeredScanInUse = 1;
    block(input).synchronousDigitalIOInUse = 1;
    block(input).resolution = 14;
    UINT value = 99;
    EXPECT_EQ(hxDaGetTriggeredScanUsage(input, &value), HXNOERROR);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(hxDaGetSynchronousDigitalIOUsage(input, &value), HXNOERROR);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(hxDaGetResolution(input, &value), HXNOERROR);
    EXPECT_EQ(value, 14u);
    double filter = 5;
    EXPECT_EQ(hxDaSetChannelFilter(input, 1, 12.5), HXNOERROR);
    EXPECT_EQ(hxDaGetChannelFilter(input, 1, &filter), HXNOERROR);
    EXPECT_EQ(filter, 0.0);

    const HDASS counter = open(HXSS_CT, false);
    block(counter).cascadeMode = HXCASCADE_WITHNEXT;
    EXPECT_EQ(hxDaGetCascadeMode(counter, &value), HXNOERROR);
    EXPECT_EQ(value, HXCASCADE_SINGLE);

    tables.set(HXSSC_LISTSIZE, 0);
    const HDASS listless = open(HXSS_AD, false);
    block(listless).channelListSize = 3;
    EXPECT_EQ(hxDaGetChannelListSize(listless, &value), HXNOERROR);
    EXPECT_EQ(value, 0u);
}

// Counter/timer settings exist only on counters that are not quadrature decoders; gate and pulse
// type are set by capability alone, on any subsystem.
TEST_F(SettingExceptions, CounterTimerSettingsNeedACounter) {
    tables.set(HXSSC_GATE_RISINGEDGE, 1);
    tables.set(HXSSC_CTMODE_RATE, 1);
    tables.set(HXSSC_CASCADE, 1);
    tables.set(HXSSC_CTMODE_EDGETOEDGE, 0x0F);
    const HDASS input = open(HXSS_AD, false);
    EXPECT_EQ(hxDaSetGateType(input, HXGATE_RISINGEDGE), HXNOERROR);
    EXPECT_EQ(block(input).gateType, HXGATE_RISINGEDGE);
    EXPECT_EQ(hxDaSetPulseType(input, HXPULSE_ACTIVEHIGH), HXNOERROR);
    EXPECT_EQ(hxDaSetPulseWidth(input, 20), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaSetCTMode(input, HXCTMODE_RATE), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaSetCascadeMode(input, HXCASCADE_WITHNEXT), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaSetMeasureStartEdge(input, HXEDGE_CLOCKRISING), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaSetMeasureStopEdge(input, HXEDGE_GATEFALLING), HXNOTSUPPORTED);

    tables.set(HXSSC_QUADDECODER, 1);
    const HDASS decoder = open(HXSS_CT, false);
    EXPECT_EQ(hxDaSetCTMode(decoder, HXCTMODE_RATE), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaSetPulseWidth(decoder, 20), HXNOTSUPPORTED);
    EXPECT_EQ(block(decoder).counterMode, HXCTMODE_COUNTEVENTS);
    EXPECT_EQ(block(decoder).pulseWidth, 50);
}

TEST_F(SettingExceptions, FixedPulseWidthRefusesEveryWidth) {
    tables.set(HXSSC_FIXEDPULSEWIDTH, 16);
    const HDASS counter = open(HXSS_CT, false);
    for (const double width : {0.0, 50.0, 16.0})
        EXPECT_EQ(hxDaSetPulseWidth(counter, width), HXINVALIDPULSEWIDTH) << width;
    double width = 0;
    EXPECT_EQ(hxDaGetPulseWidth(counter, &width), HXNOERROR);
    EXPECT_EQ(width, 50.0);
}

TEST_F(SettingExceptions, DmaUsageNeedsChannelsForAnyUse) {
    tables.set(HXSSC_NUMDMACHANNELS, 0);
    const HDASS hDass = open(HXSS_AD, false);
    block(hDass).state = HXSTATE_READY;
    EXPECT_EQ(hxDaSetDmaUsage(hDass, 1), HXNOTENOUGHDMA);
    EXPECT_EQ(hxDaSetDmaUsage(hDass, 7), HXNOTENOUGHDMA);
    EXPECT_EQ(hxDaSetDmaUsage(hDass, 0), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_READY);
    UINT usage = 9;
    EXPECT_EQ(hxDaGetDmaUsage(hDass, &usage), HXNOERROR);
    EXPECT_EQ(usage, 0u);
}

TEST_F(SettingExceptions, DmaUsageKeepsTwoFlags) {
    const HDASS hDass = open(HXSS_AD, false);
    struct {
        UINT usage;
        std::uint8_t first, second;
        UINT read;
    } const cases[] = {{0, 0, 0, 0}, {5, 1, 1, 2}, {1, 1, 0, 1}, {2, 1, 1, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.usage);
        EXPECT_EQ(hxDaSetDmaUsage(hDass, c.usage), HXNOERROR);
        EXPECT_EQ(block(hDass).dmaInUse, c.first);
        EXPECT_EQ(block(hDass).secondDmaInUse, c.second);
        UINT read = 9;
        EXPECT_EQ(hxDaGetDmaUsage(hDass, &read), HXNOERROR);
        EXPECT_EQ(read, c.read);
    }
}

// The retrigger mode is taken whatever the state and never asks for a new configuration.
TEST_F(SettingExceptions, RetriggerModeIgnoresTheState) {
    tables.set(HXSSC_RETRIGGER_INTERNAL, 1);
    tables.set(HXSSC_RETRIGGER_EXTRA, 1);
    const HDASS hDass = open(HXSS_AD, false);
    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetRetriggerMode(hDass, HXRETRIGGER_INTERNAL), HXNOERROR);
    EXPECT_EQ(hxDaSetRetriggerMode(hDass, HXRETRIGGER_EXTRA), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_RUNNING);
    UINT mode = 0;
    EXPECT_EQ(hxDaGetRetriggerMode(hDass, &mode), HXNOERROR);
    EXPECT_EQ(mode, HXRETRIGGER_EXTRA);
    EXPECT_EQ(hxDaSetRetriggerMode(hDass, HXRETRIGGER_SCANPERTRIGGER), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaSetRetriggerMode(hDass, 1299), HXINVALIDRETRIGGERMODE);
    EXPECT_EQ(hxDaSetRetriggerMode(hDass, 1303), HXINVALIDRETRIGGERMODE);
    EXPECT_EQ(hxDaGetRetriggerMode(hDass, &mode), HXNOERROR);
    EXPECT_EQ(mode, HXRETRIGGER_EXTRA);
}

TEST_F(SettingExceptions, SpecialModeTakesTheLowByteAnyTime) {
    const HDASS hDass = open(HXSS_AD, false);
    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetSpecialVpiConfigMode(hDass, 0x1234), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_RUNNING);
    UINT mode = 0;
    EXPECT_EQ(hxDaGetSpecialVpiConfigMode(hDass, &mode), HXNOERROR);
    EXPECT_EQ(mode, 0x34u);
}

// A multiscan count is refused while running without touching the state (a running subsystem
// must stay stoppable); while idle the subsystem needs configuring after a Set either way.
TEST_F(SettingExceptions, MultiscanCount) {
    struct {
        std::int32_t state;
        UINT count;
        HXSTATUS expected;
        std::int32_t stateAfter;
        std::uint16_t stored;
    } const cases[] = {
        {HXSTATE_READY, 8, HXNOERROR, HXSTATE_NEEDSCONFIG, 8},
        {HXSTATE_READY, 1, HXNOERROR, HXSTATE_NEEDSCONFIG, 1},
        {HXSTATE_READY, 0, HXINVALIDMULTISCANCOUNT, HXSTATE_NEEDSCONFIG, 1},
        {HXSTATE_READY, 9, HXINVALIDMULTISCANCOUNT, HXSTATE_NEEDSCONFIG, 1},
        {HXSTATE_SINGLEVALUE, 9, HXINVALIDMULTISCANCOUNT, HXSTATE_NEEDSCONFIG, 1},
        {HXSTATE_RUNNING, 4, HXSUBSYSRUNNING, HXSTATE_RUNNING, 1},
        {HXSTATE_RUNNING, 0, HXSUBSYSRUNNING, HXSTATE_RUNNING, 1},
        {HXSTATE_PAUSED, 4, HXSUBSYSRUNNING, HXSTATE_PAUSED, 1},
        {HXSTATE_PRESTARTED, 4, HXSUBSYSRUNNING, HXSTATE_PRESTARTED, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.state << " " << c.count);
        const HDASS hDass = open(HXSS_AD, false);
        block(hDass).state = c.state;
        EXPECT_EQ(hxDaSetMultiscanCount(hDass, c.count), c.expected);
        EXPECT_EQ(block(hDass).state, c.stateAfter);
        UINT stored = 0;
        EXPECT_EQ(hxDaGetMultiscanCount(hDass, &stored), HXNOERROR);
        EXPECT_EQ(stored, c.stored);
        hxDaReleaseDASS(hDass);
    }
}

TEST_F(SettingExceptions, MultiscanCountWhileRunningLeavesTheSubsystemStoppable) {
    const HDASS hDass = open(HXSS_AD, false);
    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetMultiscanCount(hDass, 2), HXSUBSYSRUNNING);
    EXPECT_EQ(hxDaStop(hDass), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_READY);
}

TEST_F(SettingExceptions, QuadratureDecoder) {
    tables.set(HXSSC_QUADDECODER, 1);
    const HDASS decoder = open(HXSS_CT, false);
    block(decoder).state = HXSTATE_READY;
    EXPECT_EQ(hxDaSetQuadDecoder(decoder, 4, 1, HXQUADINDEX_RISINGEDGE), HXNOERROR);
    EXPECT_EQ(block(decoder).quadratureClockPrescale, 4);
    EXPECT_EQ(block(decoder).quadratureX4Scaling, 1);
    EXPECT_EQ(block(decoder).quadratureIndexMode, HXQUADINDEX_RISINGEDGE);
    // The same values again still need a new configuration.
    block(decoder).state = HXSTATE_READY;
    EXPECT_EQ(hxDaSetQuadDecoder(decoder, 4, 1, HXQUADINDEX_RISINGEDGE), HXNOERROR);
    EXPECT_EQ(block(decoder).state, HXSTATE_NEEDSCONFIG);

    block(decoder).state = HXSTATE_READY;
    for (const UINT index : {1399u, 1403u, 0u}) {
        EXPECT_EQ(hxDaSetQuadDecoder(decoder, 8, 0, index), HXINVALIDINDEX) << index;
        EXPECT_EQ(block(decoder).state, HXSTATE_READY);
        EXPECT_EQ(block(decoder).quadratureClockPrescale, 4);
    }
    block(decoder).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetQuadDecoder(decoder, 8, 0, 1403), HXSUBSYSRUNNING);
    EXPECT_EQ(block(decoder).quadratureClockPrescale, 4);

    tables.set(HXSSC_QUADDECODER, 0);
    EXPECT_EQ(hxDaSetQuadDecoder(open(HXSS_CT, false), 4, 1, HXQUADINDEX_DISABLED), HXNOTSUPPORTED);
}

}  // namespace
}  // namespace hxda::test
