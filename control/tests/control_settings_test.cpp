// The settings properties: each member's value map to and from the library, the library's
// refusals, the argument checks, and what design time shows when the library cannot answer.
#include <gtest/gtest.h>

#include "control_fixture.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;
using Settings = ControlTest;

using LibraryGet = HXSTATUS(HXAPI*)(HDASS, UINT*);

struct Mapping {
    const char* name;
    int index;  // table entry on the MQ5204
    DISPID id;
    SHORT value;
    LibraryGet get;
    UINT libraryValue;
};

TEST_F(Settings, PutsReachTheLibraryAsItsValuesAndGetsMapThemBack) {
    const Mapping cases[] = {
        {"ChannelType", kAdIndex, d::ChannelType, 1, hxDaGetChannelType, HXCHANTYPE_DIFFERENTIAL},
        {"Encoding", kAdIndex, d::Encoding, 0, hxDaGetEncoding, HXENCODING_BINARY},
        {"ClockSource", kAdIndex, d::ClockSource, 1, hxDaGetClockSource, HXCLK_EXTERNAL},
        {"DataFlow", kAdIndex, d::DataFlow, 1, hxDaGetDataFlow, HXDF_SINGLEVALUE},
        {"WrapMode", kAdIndex, d::WrapMode, 1, hxDaGetWrapMode, HXWRAP_MULTIPLE},
        {"TriggeredScan", kAdIndex, d::TriggeredScan, 1, hxDaGetTriggeredScanUsage, 1},
        {"RetriggerMode", kAdIndex, d::RetriggerMode, 1, hxDaGetRetriggerMode,
         HXRETRIGGER_SCANPERTRIGGER},
        {"Trigger", kAdIndex, d::Trigger, 1, hxDaGetTrigger, HXTRIG_EXTERNAL},
        {"CTMode", kCt0Index, d::CTMode, 1, hxDaGetCTMode, HXCTMODE_RATE},
        {"GateType", kCt0Index, d::GateType, 3, hxDaGetGateType, HXGATE_RISINGEDGE},
        {"PulseType", kCt0Index, d::PulseType, 1, hxDaGetPulseType, HXPULSE_ACTIVEHIGH},
    };
    ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5204)).ok());
    for (const Mapping& c : cases) {
        SCOPED_TRACE(c.name);
        if (control->getLong(d::SubSystem) != c.index) {
            ASSERT_TRUE(
                control->put(d::SubSystem, Variant::Short(static_cast<SHORT>(c.index))).ok());
        }
        control->notify.changed.clear();
        const Outcome put = control->put(c.id, Variant::Short(c.value));
        ASSERT_TRUE(put.ok()) << put.description;
        EXPECT_EQ(control->notify.changed, std::vector<DISPID>{c.id});
        UINT library = 0;
        ASSERT_EQ(c.get(hDass(), &library), HXNOERROR);
        EXPECT_EQ(library, c.libraryValue);
        EXPECT_EQ(control->getLong(c.id), c.value);
    }
}

TEST_F(Settings, TriggersMapTheirThresholdAndExtraSourcesBothWays) {
    open(kMq5120, kAdIndex);
    ASSERT_TRUE(control->put(d::Trigger, Variant::Short(2)).ok());
    UINT library = 0;
    ASSERT_EQ(hxDaGetTrigger(hDass(), &library), HXNOERROR);
    EXPECT_EQ(library, HXTRIG_THRESHOLDPOS);
    EXPECT_EQ(control->getLong(d::Trigger), 2);
    // The first extra trigger: library 306, control value 7.
    ASSERT_EQ(hxDaSetTrigger(hDass(), HXTRIG_EXTRA), HXNOERROR);
    EXPECT_EQ(control->getLong(d::Trigger), 7);
    ASSERT_TRUE(control->put(d::Trigger, Variant::Short(7)).ok());
    ASSERT_EQ(hxDaGetTrigger(hDass(), &library), HXNOERROR);
    EXPECT_EQ(library, HXTRIG_EXTRA);
    // A source the board lacks is refused by the library with its own text.
    const Outcome refused = control->put(d::Trigger, Variant::Short(3));
    EXPECT_TRUE(Raised(refused, StatusError(HXNOTSUPPORTED)));
    EXPECT_EQ(refused.description, LibraryText(HXNOTSUPPORTED));
    EXPECT_EQ(control->getLong(d::Trigger), 7);
}

TEST_F(Settings, DoublesAndLongsGoThroughAsTheyAre) {
    open(kMq5204, kAdIndex);
    ASSERT_TRUE(control->put(d::Frequency, Variant::Long(2000)).ok());  // converted to double
    double hertz = 0.0;
    ASSERT_EQ(hxDaGetClockFrequency(hDass(), &hertz), HXNOERROR);
    EXPECT_DOUBLE_EQ(control->getDouble(d::Frequency), hertz);
    EXPECT_NEAR(hertz, 2000.0, 1.0);
    ASSERT_TRUE(control->put(d::ListSize, Variant::Short(2)).ok());
    ASSERT_TRUE(control->put(d::MultiScanCount, Variant::Long(4)).ok());
    UINT value = 0;
    ASSERT_EQ(hxDaGetChannelListSize(hDass(), &value), HXNOERROR);
    EXPECT_EQ(value, 2u);
    ASSERT_EQ(hxDaGetMultiscanCount(hDass(), &value), HXNOERROR);
    EXPECT_EQ(value, 4u);
    ASSERT_TRUE(control->put(d::ChannelList, Variant::Short(3), {Variant::Short(1)}).ok());
    ASSERT_EQ(hxDaGetChannelListEntry(hDass(), 1, &value), HXNOERROR);
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(control->getLong(d::ChannelList, {Variant::Short(1)}), 3);
    ASSERT_TRUE(control->put(d::GainList, Variant::Double(4.0), {Variant::Short(0)}).ok());
    EXPECT_EQ(control->getDouble(d::GainList, {Variant::Short(0)}), 4.0);
    EXPECT_TRUE(Raised(control->put(d::ChannelList, Variant::Short(99), {Variant::Short(0)}),
                       StatusError(HXINVALIDCHANNEL)));
    EXPECT_EQ(control->getDouble(d::MinRange), -10.0);
    EXPECT_EQ(control->getDouble(d::MaxRange), 10.0);
    ASSERT_TRUE(control->put(d::Range, Variant::Short(0)).ok());
    EXPECT_TRUE(Raised(control->put(d::Range, Variant::Short(1)), CTL_E_INVALIDPROPERTYVALUE));
    EXPECT_TRUE(Raised(control->put(d::Range, Variant::Short(-1)), CTL_E_INVALIDPROPERTYVALUE));
    EXPECT_EQ(control->getLong(d::Range), 0);
}

TEST_F(Settings, RefusedValuesRaiseAndLeaveTheSettingAsItWas) {
    open(kMq5204, kAdIndex);
    ASSERT_TRUE(control->put(d::ChannelType, Variant::Short(0)).ok());
    const Outcome refused = control->put(d::ChannelType, Variant::Short(5));
    EXPECT_TRUE(Raised(refused, StatusError(HXINVALIDCHANNELTYPE)));
    EXPECT_EQ(refused.description, LibraryText(HXINVALIDCHANNELTYPE));
    EXPECT_EQ(control->getLong(d::ChannelType), 0);

    control->notify.changed.clear();
    for (DISPID binary : {d::TriggeredScan, d::SyncDIOUsage}) {
        EXPECT_TRUE(Raised(control->put(binary, Variant::Short(2)), CTL_E_INVALIDPROPERTYVALUE));
        EXPECT_TRUE(Raised(control->put(binary, Variant::Short(-1)), CTL_E_INVALIDPROPERTYVALUE));
    }
    EXPECT_TRUE(control->notify.changed.empty());
    UINT scan = 9;
    ASSERT_EQ(hxDaGetTriggeredScanUsage(hDass(), &scan), HXNOERROR);
    EXPECT_EQ(scan, 0u);
}

TEST_F(Settings, WithoutASubsystemGetsAnswerTheCacheAndPutsReachTheLibrary) {
    EXPECT_EQ(control->getLong(d::ChannelType), -1);  // never read or set
    EXPECT_EQ(control->getLong(d::ClockPrescale), 255);
    EXPECT_EQ(control->getLong(d::InhibitList, {Variant::Short(0)}), 0);
    EXPECT_EQ(control->getLong(d::DIOList, {Variant::Short(0)}), 0);
    // The library refuses the missing handle.
    EXPECT_TRUE(Raised(control->put(d::ChannelType, Variant::Short(0)), 22050));
    EXPECT_TRUE(Raised(control->get(d::MinRange), 22050));
    // ListSize does nothing without a subsystem.
    control->call(d::ClearError);
    control->notify.changed.clear();
    EXPECT_TRUE(control->put(d::ListSize, Variant::Long(4)).ok());
    EXPECT_TRUE(control->notify.changed.empty());
    EXPECT_EQ(control->getLong(d::LastError), 0);
}

TEST_F(Settings, ClosedGatesAndUnsupportedGetsAnswerByModeAndMember) {
    open(kMq5310, kDinIndex);  // no channel types, clock, counter settings or pre-trigger
    // Run mode: the cache, or the library's "Not supported" for the members that raise.
    EXPECT_EQ(control->getLong(d::ChannelType), -1);
    EXPECT_EQ(control->getLong(d::GateType), -1);
    EXPECT_EQ(control->getLong(d::PreTrigger), -1);
    EXPECT_TRUE(Raised(control->get(d::Frequency), 22046));
    EXPECT_TRUE(Raised(control->get(d::PulseWidth), 22046));

    site.userMode = false;
    struct Sequence {
        const char* name;
        DISPID id;
        std::vector<LONG> reads;
    };
    const Sequence sequences[] = {
        {"marker A", d::ChannelType, {-2, -3, -2}},
        {"marker B", d::GateType, {-2, -1, -2}},
        {"gated marker A", d::PreTrigger, {-2, -3, -2}},
        {"gated marker A", d::SyncDIOUsage, {-2, -3}},
    };
    for (const Sequence& s : sequences) {
        SCOPED_TRACE(s.name);
        for (LONG expected : s.reads)
            EXPECT_EQ(control->getLong(s.id), expected);
    }
    EXPECT_EQ(control->getDouble(d::Frequency), 0.0);
    EXPECT_EQ(control->getDouble(d::PulseWidth), 0.0);
    EXPECT_EQ(control->getDouble(d::RetriggerFreq), 0.0);
}

TEST_F(Settings, QuadratureValuesAreStoredBeforeTheContainerHearsOfThem) {
    open(kMq5204, kCt0Index);
    control->notify.changed.clear();
    std::vector<LONG> seenInside;
    control->notify.onChanged = [&](DISPID id) {
        if (id == d::X4Scaling || id == d::IndexInput || id == d::ClockPrescale)
            seenInside.push_back(control->getLong(id));
    };
    ASSERT_TRUE(control->put(d::X4Scaling, Variant::Short(1)).ok());
    ASSERT_TRUE(control->put(d::IndexInput, Variant::Short(2)).ok());
    ASSERT_TRUE(control->put(d::ClockPrescale, Variant::Short(7)).ok());
    control->notify.onChanged = nullptr;
    EXPECT_EQ(seenInside, (std::vector<LONG>{1, 2, 7}));
    EXPECT_EQ(control->notify.changed,
              (std::vector<DISPID>{d::X4Scaling, d::IndexInput, d::ClockPrescale}));
    // A counter without a quadrature decoder configures without them.
    EXPECT_TRUE(control->call(d::Config).ok());
}

TEST_F(Settings, TheInhibitAndDigitalListsNotifyTheirPuts) {
    open(kMq5120, kAdIndex);
    ASSERT_TRUE(control->put(d::ListSize, Variant::Long(2)).ok());
    control->notify.changed.clear();
    const Outcome inhibit = control->put(d::InhibitList, Variant::Bool(true), {Variant::Short(1)});
    const Outcome dio = control->put(d::DIOList, Variant::Long(1), {Variant::Short(1)});
    ASSERT_TRUE(inhibit.ok()) << inhibit.description;
    ASSERT_TRUE(dio.ok()) << dio.description;
    EXPECT_EQ(control->notify.changed, (std::vector<DISPID>{d::InhibitList, d::DIOList}));
    const Outcome read = control->get(d::InhibitList, {Variant::Short(1)});
    EXPECT_EQ(read.value.vt, VT_BOOL);
    EXPECT_EQ(read.value.boolVal, VARIANT_TRUE);
    EXPECT_EQ(control->getLong(d::DIOList, {Variant::Short(1)}), 1);
}

}  // namespace
}  // namespace controltest
