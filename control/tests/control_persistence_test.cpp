// Persistence: the record a container keeps (its layout byte for byte), saving and loading it
// through a stream, a property bag and a storage, what loading reopens and re-applies, records
// of older and newer versions, and damaged records.
#include <gtest/gtest.h>

#include <functional>

#include "com/persist.h"
#include "control_fixture.h"
#include "persistence_helpers.h"
#include "record_bytes.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;

// One way a container keeps the control: what it saves into, and loading from it.
struct Medium {
    const char* name;
    std::function<Ref<IUnknown>(Control&)> save;
    std::function<HRESULT(Control&, IUnknown*)> load;
};

const Medium kMedia[] = {
    {"stream",
     [](Control& from) {
         Ref<IStream> stream = StreamOf(Saved(from));
         return Ref<IUnknown>(stream.get());
     },
     [](Control& into, IUnknown* kept) {
         Ref<IStream> stream;
         EXPECT_EQ(kept->QueryInterface(IID_IStream, stream.outVoid()), S_OK);
         return As<IPersistStreamInit>(into, IID_IPersistStreamInit)->Load(stream.get());
     }},
    {"property bag",
     [](Control& from) {
         Ref<IPropertyBag> bag;
         EXPECT_EQ(com::CreateMemoryPropertyBag(bag.out()), S_OK);
         EXPECT_EQ(
             As<IPersistPropertyBag>(from, IID_IPersistPropertyBag)->Save(bag.get(), TRUE, TRUE),
             S_OK);
         return Ref<IUnknown>(bag.get());
     },
     [](Control& into, IUnknown* kept) {
         Ref<IPropertyBag> bag;
         EXPECT_EQ(kept->QueryInterface(IID_IPropertyBag, bag.outVoid()), S_OK);
         return As<IPersistPropertyBag>(into, IID_IPersistPropertyBag)->Load(bag.get(), nullptr);
     }},
    {"storage",
     [](Control& from) {
         Ref<IStorage> storage;
         EXPECT_EQ(com::CreateMemoryStorage(storage.out()), S_OK);
         EXPECT_EQ(As<IPersistStorage>(from, IID_IPersistStorage)->Save(storage.get(), TRUE), S_OK);
         return Ref<IUnknown>(storage.get());
     },
     [](Control& into, IUnknown* kept) {
         Ref<IStorage> storage;
         EXPECT_EQ(kept->QueryInterface(IID_IStorage, storage.outVoid()), S_OK);
         return As<IPersistStorage>(into, IID_IPersistStorage)->Load(storage.get());
     }},
};

class Persistence : public ControlTest {
  protected:
    // The MQ5120's A/D set up as a panel would be: every setting the subsystem takes, a list of
    // four entries with gains, an inhibited entry and synchronous digital outputs.
    void setUpAnalogInput() {
        open(kMq5120, kAdIndex);
        const std::pair<DISPID, Variant> puts[] = {
            {d::Frequency, Variant::Double(1000.0)},
            {d::TriggeredScan, Variant::Short(1)},
            {d::ChannelType, Variant::Short(1)},
            {d::Encoding, Variant::Short(0)},
            {d::Trigger, Variant::Short(2)},
            {d::ClockSource, Variant::Short(0)},
            {d::RetriggerFreq, Variant::Double(100.0)},
            {d::Resolution, Variant::Short(16)},
            {d::Range, Variant::Short(0)},
            {d::DataFlow, Variant::Short(0)},
            {d::WrapMode, Variant::Short(1)},
            {d::SyncDIOUsage, Variant::Short(1)},
            {d::ListSize, Variant::Long(4)},
            {d::RetriggerMode, Variant::Short(1)},
            {d::MultiScanCount, Variant::Long(2)},
            {d::ClockPrescale, Variant::Short(10)},
            {d::X4Scaling, Variant::Short(1)},
            {d::IndexInput, Variant::Short(2)},
            {d::Caption, Variant::Text("Scope")},
        };
        for (const auto& [id, value] : puts) {
            const Outcome put = control->put(id, value);
            ASSERT_TRUE(put.ok()) << "put " << id << ": " << put.description;
        }
        const SHORT channels[] = {3, 1, 2, 0};
        const double gains[] = {1.0, 2.0, 4.0, 8.0};
        for (SHORT i = 0; i < 4; ++i) {
            ASSERT_TRUE(
                control->put(d::ChannelList, Variant::Short(channels[i]), {Variant::Short(i)})
                    .ok());
            ASSERT_TRUE(
                control->put(d::GainList, Variant::Double(gains[i]), {Variant::Short(i)}).ok());
            ASSERT_TRUE(control->put(d::DIOList, Variant::Long(i % 2), {Variant::Short(i)}).ok());
        }
        ASSERT_TRUE(control->put(d::InhibitList, Variant::Bool(true), {Variant::Short(2)}).ok());
    }

    // What setUpAnalogInput leaves in the record.
    static RecordFields analogInputRecord() {
        RecordFields f;
        f.caption = "Scope";
        f.board = kMq5120;
        f.frequency = 1000.0;
        f.triggeredScan = 1;
        f.channelType = 1;
        f.encoding = 0;
        f.trigger = 2;
        f.clockSource = 0;
        f.retriggerFreq = 100.0;
        f.resolution = 16;
        f.range = 0;
        f.dataFlow = 0;
        f.wrapMode = 1;
        f.syncDioUsage = 1;
        f.listSize = 4;
        f.retriggerMode = 1;
        f.dmaUsage = 0;
        f.channelList = EntriesOf<std::uint16_t>({3, 1, 2, 0});
        f.gainList = EntriesOf<double>({1.0, 2.0, 4.0, 8.0});
        f.inhibitList = EntriesOf<std::uint32_t>({0, 0, 1, 0});
        f.dioList = EntriesOf<std::uint32_t>({0, 1, 0, 1});
        f.multiScanCount = 2;
        f.clockPrescale = 10;
        f.x4Scaling = 1;
        f.indexInput = 2;
        return f;
    }

    // A second control, made after the first is gone (so that its subsystem is free again).
    void replaceControl() {
        control.reset();
        control = std::make_unique<Control>(&site);
    }
};

TEST_F(Persistence, ANewControlSavesItsDefaultsAndEmptyBlobsInTheRecordsLayout) {
    EXPECT_EQ(Saved(*control), Encode(RecordFields{}));
    SIZEL extent{1000, 500};
    ASSERT_EQ(As<IOleObject>(*control, IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
    ASSERT_TRUE(control->put(d::Caption, Variant::Text(std::string(300, 'c'))).ok());
    RecordFields f;
    f.extentWidth = 1000;
    f.extentHeight = 500;
    f.caption = std::string(300, 'c');  // a text of 255 or more: 0xFF and a 16-bit length
    EXPECT_EQ(Saved(*control), Encode(f));
}

TEST_F(Persistence, AnOpenSubsystemSavesItsSettingsAndListsByteForByte) {
    setUpAnalogInput();
    const Bytes saved = Saved(*control);
    EXPECT_EQ(saved, Encode(analogInputRecord()));
    ULARGE_INTEGER size{};
    ASSERT_EQ(As<IPersistStreamInit>(*control, IID_IPersistStreamInit)->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, saved.size());
}

TEST_F(Persistence, EveryMediumBringsTheSubsystemBackAsItWasSaved) {
    for (const Medium& medium : kMedia) {
        SCOPED_TRACE(medium.name);
        replaceControl();
        setUpAnalogInput();
        const Bytes original = Saved(*control);
        Ref<IUnknown> kept = medium.save(*control);
        replaceControl();
        ASSERT_EQ(medium.load(*control, kept.get()), S_OK);
        // Loading opened the board and subsystem again and gave the library every setting and
        // list entry: saving the loaded control reads them all back.
        EXPECT_NE(control->getLong(d::hDass), 0);
        EXPECT_EQ(control->getText(d::Board), kMq5120);
        EXPECT_EQ(control->getLong(d::SubSystem), kAdIndex);
        EXPECT_EQ(Saved(*control), original);
        UINT size = 0;
        ASSERT_EQ(hxDaGetChannelListSize(hDass(), &size), HXNOERROR);
        EXPECT_EQ(size, 4u);
        EXPECT_EQ(control->getLong(d::Trigger), 2);
        EXPECT_EQ(As<IPersistStreamInit>(*control, IID_IPersistStreamInit)->IsDirty(), S_FALSE);
    }
}

TEST_F(Persistence, ACountersSettingsComeBackOnTheCounter) {
    ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5120)).ok());
    ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(HXSS_CT)).ok());
    const std::pair<DISPID, Variant> puts[] = {
        {d::CTMode, Variant::Short(1)},           {d::Frequency, Variant::Double(2000.0)},
        {d::GateType, Variant::Short(3)},         {d::PulseType, Variant::Short(1)},
        {d::MeasureStartEdge, Variant::Short(1)}, {d::MeasureStopEdge, Variant::Short(3)},
    };
    for (const auto& [id, value] : puts) {
        const Outcome put = control->put(id, value);
        ASSERT_TRUE(put.ok()) << "put " << id << ": " << put.description;
    }
    const Bytes saved = Saved(*control);
    replaceControl();
    ASSERT_EQ(Load(*control, saved), S_OK);
    EXPECT_EQ(Saved(*control), saved);
    UINT mode = 0;
    UINT gate = 0;
    UINT stopEdge = 0;
    ASSERT_EQ(hxDaGetCTMode(hDass(), &mode), HXNOERROR);
    ASSERT_EQ(hxDaGetGateType(hDass(), &gate), HXNOERROR);
    ASSERT_EQ(hxDaGetMeasureStopEdge(hDass(), &stopEdge), HXNOERROR);
    EXPECT_EQ(mode, HXCTMODE_RATE);
    EXPECT_EQ(gate, HXGATE_RISINGEDGE);
    EXPECT_EQ(stopEdge, HXEDGE_CLOCKFALLING);
}

TEST_F(Persistence, OlderRecordsLoadWithTheFieldsTheyLackSetAsTheirVersionSays) {
    struct Case {
        const char* name;
        DWORD version;
        std::vector<DISPID> notified;  // of the fields the record lacks
        bool triggersZeroed;           // MultiScanCount, PreTrigger and ReTrigger become 0
    };
    const Case cases[] = {
        {"2.5", kVersion25, {d::ClockPrescale, d::X4Scaling, d::IndexInput}, false},
        {"2.0",
         kVersion20,
         {d::MeasureStartEdge, d::MeasureStopEdge, d::ClockPrescale, d::X4Scaling, d::IndexInput},
         false},
        {"1.0",
         kVersion10,
         {d::Retrigger, d::PreTrigger, d::MultiScanCount, d::MeasureStartEdge, d::MeasureStopEdge,
          d::ClockPrescale, d::X4Scaling, d::IndexInput},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        replaceControl();
        RecordFields old = analogInputRecord();
        old.version = c.version;
        old.measureStartEdge = 2;  // in the record only from 2.5 on
        ASSERT_EQ(Load(*control, Encode(old)), S_OK);
        EXPECT_EQ(control->notify.changed, c.notified);
        EXPECT_NE(control->getLong(d::hDass), 0);
        // Saved again as 2.6: what the record lacked holds a new control's values (the
        // quadrature decoder's 255, 0, 0; the edges as the library reads them), or 0.
        RecordFields expected = analogInputRecord();
        expected.clockPrescale = 255;
        expected.x4Scaling = 0;
        expected.indexInput = 0;
        if (c.version >= kVersion25)
            expected.measureStartEdge = old.measureStartEdge;
        if (c.triggersZeroed)
            expected.multiScanCount = expected.preTrigger = expected.retrigger = 0;
        EXPECT_EQ(Saved(*control), Encode(expected));
    }
}

TEST_F(Persistence, ANewerRecordLoadsTheFieldsThisVersionKnows) {
    for (const DWORD version : {0x00020007u, 0x00030000u}) {
        SCOPED_TRACE(version);
        replaceControl();
        RecordFields newer = analogInputRecord();
        newer.version = version;
        RecordWriter writer;
        writer.head(newer).blobs(newer).tail(newer).value(
            std::uint32_t{0xABCD});  // a field to come
        ASSERT_EQ(Load(*control, writer.bytes()), S_OK);
        EXPECT_EQ(Saved(*control), Encode(analogInputRecord()));
    }
}

TEST_F(Persistence, ADamagedRecordIsRefusedWholeAndNothingOfItIsTaken) {
    const RecordFields fields = analogInputRecord();
    const Bytes whole = Encode(fields);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        ASSERT_EQ(Load(*control, part), STG_E_READFAULT) << "cut at " << cut;
    }
    // Lengths far beyond the stream's end are believed only as far as bytes come.
    RecordWriter longBoard;
    longBoard.value(fields.version).value(fields.extentWidth).value(fields.extentHeight);
    longBoard.value(fields.stockProperties).text(fields.caption);
    longBoard.value(std::uint8_t{0xFF}).value(std::uint16_t{0xFFFF}).value(0xFFFFFFF0u);
    longBoard.raw(Bytes(kMq5120, kMq5120 + 10));
    RecordWriter longBlob;
    longBlob.head(fields).value(0xFFFFFFF0u).raw(EntriesOf<std::uint16_t>({3, 1}));
    for (const Bytes* damaged : {&longBoard.bytes(), &longBlob.bytes()})
        EXPECT_EQ(Load(*control, *damaged), STG_E_READFAULT);

    EXPECT_EQ(control->getLong(d::hDev), 0);
    EXPECT_EQ(control->getText(d::Caption), "MQAcq32");
    ASSERT_EQ(Load(*control, whole), S_OK) << "the control is as new";
    EXPECT_EQ(Saved(*control), whole);
}

TEST_F(Persistence, EveryFieldIsReadFromItsOwnPlaceAndWrittenBackThere) {
    // Each field a value of its own, so that a field read from or written to another's place
    // shows; without a board the record is kept as it is (no library in between).
    RecordFields f;
    f.extentWidth = 101;
    f.extentHeight = 102;
    f.caption = "Caption 103";
    f.ssType = 4;
    f.ssElement = 1;
    f.frequency = 105.5;
    f.dmaUsage = 106;
    f.triggeredScan = 107;
    f.channelType = 108;
    f.encoding = 109;
    f.trigger = 110;
    f.clockSource = 111;
    f.retriggerFreq = 112.5;
    f.clockDivider = 113;
    f.resolution = 114;
    f.range = 115;
    f.dataFlow = 116;
    f.wrapMode = 117;
    f.gateType = 118;
    f.pulseType = 119;
    f.pulseWidth = 120.5;
    f.ctMode = 121;
    f.cascadeMode = 122;
    f.syncDioUsage = 123;
    f.transferSize = 124;
    f.transferCount = 125;
    f.listSize = 126;
    f.retriggerMode = 127;
    f.multiScanCount = 128;
    f.preTrigger = 129;
    f.retrigger = 130;
    f.measureStartEdge = 131;
    f.measureStopEdge = 132;
    f.clockPrescale = 133;
    f.x4Scaling = 134;
    f.indexInput = 135;
    ASSERT_EQ(Load(*control, Encode(f)), S_OK);
    EXPECT_EQ(Saved(*control), Encode(f));
}

TEST_F(Persistence, ABoardNoLongerInstalledLeavesNoBoardAndTheRestOfTheRecordInStep) {
    RecordFields gone = analogInputRecord();
    gone.board = "MQ5120(07)";
    ASSERT_EQ(Load(*control, Encode(gone)), S_OK);
    EXPECT_EQ(control->getText(d::Board), "");
    EXPECT_EQ(control->getLong(d::hDev), 0);
    EXPECT_EQ(control->getLong(d::LastError), 0);
    // Without a subsystem the settings stay as loaded (the last fields too) and no list is kept.
    RecordFields expected = gone;
    expected.board.clear();
    expected.channelList = expected.gainList = expected.inhibitList = expected.dioList = {};
    EXPECT_EQ(Saved(*control), Encode(expected));
}

TEST_F(Persistence, ASavedSubsystemTheBoardLacksIsNotReplacedByOneOfAnotherKind) {
    // The MQ5330 has no digital input: its first entry, the A/D, must not get the port's settings.
    RecordFields port;
    port.board = kMq5330;
    port.ssType = HXSS_DIN;
    port.dataFlow = 1;
    ASSERT_EQ(Load(*control, Encode(port)), S_OK);
    EXPECT_EQ(control->getText(d::Board), kMq5330);
    EXPECT_EQ(control->getLong(d::hDass), 0);
    EXPECT_EQ(control->getLong(d::SubSysType), 0);
    EXPECT_EQ(control->getLong(d::SubSystem), -1);

    // A range index beyond the subsystem's range table is kept, and nothing is sent for it.
    replaceControl();
    RecordFields range = analogInputRecord();
    range.range = 5;
    ASSERT_EQ(Load(*control, Encode(range)), S_OK);
    EXPECT_NE(control->getLong(d::hDass), 0);
    EXPECT_EQ(Saved(*control), Encode(range));
}

TEST_F(Persistence, LoadingIntoAControlThatHoldsTheSubsystemReleasesItFirst) {
    setUpAnalogInput();
    const Bytes saved = Saved(*control);
    ASSERT_EQ(Load(*control, saved), S_OK);
    EXPECT_NE(control->getLong(d::hDass), 0) << "the saved subsystem was still held";
    EXPECT_EQ(Saved(*control), saved);
    ASSERT_EQ(As<IPersistStreamInit>(*control, IID_IPersistStreamInit)->InitNew(), S_OK);
    EXPECT_EQ(control->getLong(d::hDev), 0);
    EXPECT_EQ(Saved(*control), Encode(RecordFields{}));
}

TEST_F(Persistence, AListSizeTheLibraryRefusedSavesNoMoreEntriesThanTheListHolds) {
    RecordFields damaged = analogInputRecord();
    damaged.listSize = 0x7FFFFFFFu;
    ASSERT_EQ(Load(*control, Encode(damaged)), S_OK);
    UINT capacity = 0;
    ASSERT_EQ(hxDaGetSSCaps(hDass(), HXSSC_LISTSIZE, &capacity), HXNOERROR);
    const Bytes saved = Saved(*control);
    const std::size_t longest =
        Encode(damaged).size() +
        capacity * (sizeof(std::uint16_t) + sizeof(double) + 2 * sizeof(std::uint32_t));
    EXPECT_LE(saved.size(), longest);
}

TEST_F(Persistence, APropertyBagHoldsTheFieldsByNameAndMissingOnesKeepTheDefaults) {
    setUpAnalogInput();
    Ref<IPropertyBag> bag;
    ASSERT_EQ(com::CreateMemoryPropertyBag(bag.out()), S_OK);
    ASSERT_EQ(
        As<IPersistPropertyBag>(*control, IID_IPersistPropertyBag)->Save(bag.get(), TRUE, TRUE),
        S_OK);
    struct Named {
        const char16_t* name;
        VARTYPE type;
        std::string text;  // the value as text
    };
    const Named named[] = {
        {u"_Version", VT_I4, "131078"}, {u"Board", VT_BSTR, kMq5120},
        {u"SSType", VT_I2, "0"},        {u"Frequency", VT_R8, "1000"},
        {u"ListSize", VT_I4, "4"},      {u"ReTrigger", VT_I2, "-1"},
        {u"IndexInput", VT_I2, "2"},    {u"ChannelList", VT_BSTR, "0300010002000000"},
        {u"FilterList", VT_BSTR, ""},
    };
    for (const Named& n : named) {
        Variant value;
        ASSERT_EQ(bag->Read(n.name, &value, nullptr), S_OK);
        EXPECT_EQ(value.vt, n.type);
        Variant text;
        ASSERT_EQ(VariantChangeType(&text, &value, 0, VT_BSTR), S_OK);
        EXPECT_EQ(com::NarrowFromBstr(text.bstrVal), n.text);
    }

    replaceControl();
    Ref<IPropertyBag> sparse;
    ASSERT_EQ(com::CreateMemoryPropertyBag(sparse.out()), S_OK);
    Variant board = Variant::Text(kMq5120);
    Variant listSize = Variant::Text("2");         // converted as the bag reads it
    Variant channels = Variant::Text("0500ZZ00");  // not hexadecimal: no list
    ASSERT_EQ(sparse->Write(u"Board", &board), S_OK);
    ASSERT_EQ(sparse->Write(u"ListSize", &listSize), S_OK);
    ASSERT_EQ(sparse->Write(u"ChannelList", &channels), S_OK);
    ASSERT_EQ(
        As<IPersistPropertyBag>(*control, IID_IPersistPropertyBag)->Load(sparse.get(), nullptr),
        S_OK);
    EXPECT_EQ(control->getLong(d::SubSystem), kAdIndex);
    UINT size = 0;
    ASSERT_EQ(hxDaGetChannelListSize(hDass(), &size), HXNOERROR);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(control->getText(d::Caption), "MQAcq32");
}

TEST_F(Persistence, TheDirtyFlagFollowsChangesAndSavesThatClearIt) {
    auto persist = As<IPersistStreamInit>(*control, IID_IPersistStreamInit);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5204)).ok());
    EXPECT_EQ(persist->IsDirty(), S_OK);
    Ref<IStream> stream;
    ASSERT_EQ(com::CreateMemoryStream(stream.out()), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), FALSE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    CLSID clsid{};
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, mqacq32::kClsid);
}

}  // namespace
}  // namespace controltest
