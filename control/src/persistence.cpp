// Saving the control into a container's stream, property bag or storage, and loading it back:
// the saved board and subsystem are opened again and every setting re-applied.
#include <algorithm>
#include <cstring>
#include <new>

#include "acq_control.h"
#include "bag_exchange.h"
#include "callbacks.h"
#include "setting_members.h"
#include "stream_exchange.h"
#include "trace.h"

namespace mqacq32 {
namespace {

// The one stream of the control in a container's storage.
constexpr const OLECHAR* kStorageStreamName = u"Contents";

constexpr DISPID kTriggerFieldIds[] = {dispid::Retrigger, dispid::PreTrigger,
                                       dispid::MultiScanCount};
constexpr DISPID kEdgeFieldIds[] = {dispid::MeasureStartEdge, dispid::MeasureStopEdge};
constexpr DISPID kQuadratureFieldIds[] = {dispid::ClockPrescale, dispid::X4Scaling,
                                          dispid::IndexInput};

UINT Capability(HDASS subsystem, UINT capability) {
    UINT value = 0;
    return hxDaGetSSCaps(subsystem, capability, &value) == HXNOERROR ? value : 0;
}

// A list's entries, each as the Entry type the record keeps, read through `get` (index, value).
template <typename Entry, typename Value>
Blob ReadEntries(HDASS subsystem, UINT count, HXSTATUS(HXAPI* get)(HDASS, UINT, Value*)) {
    Blob bytes;
    try {
        bytes.resize(static_cast<std::size_t>(count) * sizeof(Entry));
    } catch (const std::bad_alloc&) {
        return {};  // no memory for the entries: an empty blob
    }
    for (UINT i = 0; i < count; ++i) {
        Value value{};
        get(subsystem, i, &value);
        const auto entry = static_cast<Entry>(value);
        std::memcpy(bytes.data() + static_cast<std::size_t>(i) * sizeof(Entry), &entry,
                    sizeof(Entry));
    }
    return bytes;
}

// Entry i of a blob goes to index i through `set`; each status is kept in *last.
template <typename Entry, typename Value>
void WriteEntries(HDASS subsystem, const Blob& bytes, HXSTATUS(HXAPI* set)(HDASS, UINT, Value),
                  LONG* last) {
    const std::size_t count = bytes.size() / sizeof(Entry);
    for (std::size_t i = 0; i < count; ++i) {
        Entry entry{};
        std::memcpy(&entry, bytes.data() + i * sizeof(Entry), sizeof(Entry));
        *last = static_cast<LONG>(set(subsystem, static_cast<UINT>(i), static_cast<Value>(entry)));
    }
}

template <const auto& Entry>
HXSTATUS ApplySaved(HDASS subsystem, const CachedSettings& settings) {
    return Entry.set(subsystem, detail::ToLibraryValue(Entry, settings.*(Entry.cached)));
}

}  // namespace

PersistedRecord AcqControl::CaptureRecord(bool lists) {
    PersistedRecord record;
    record.extentWidth = extent_.cx;
    record.extentHeight = extent_.cy;
    record.caption = caption_;
    record.board = board_;
    record.ssType = ssType_;
    record.ssElement = ssElement_;
    record.settings = settings_;
    if (!lists || hDass_ == 0)
        return record;
    // The entries saved follow ListSize, but never past the list the subsystem can hold: a
    // ListSize the library refused (a damaged record's, say) is not read entry by entry.
    const UINT listCapacity = Capability(hDass_, HXSSC_LISTSIZE);
    const UINT listEntries =
        std::min(listCapacity, static_cast<UINT>(std::max<LONG>(settings_.listSize, 0)));
    if (listCapacity != 0) {
        record.channelList =
            ReadEntries<std::uint16_t>(hDass_, listEntries, hxDaGetChannelListEntry);
        record.gainList = ReadEntries<double>(hDass_, listEntries, hxDaGetGainListEntry);
    }
    if (Capability(hDass_, HXSSC_INHIBITLIST) != 0)
        record.inhibitList =
            ReadEntries<std::uint32_t>(hDass_, listEntries, hxDaGetChannelListEntryInhibit);
    const UINT channels = Capability(hDass_, HXSSC_NUMCHANNELS);
    if (Capability(hDass_, HXSSC_FILTERPERCHANNEL) == 1 && channels != 0)
        record.filterList = ReadEntries<double>(hDass_, channels, hxDaGetChannelFilter);
    if (Capability(hDass_, HXSSC_SYNCDIO) == 1 && listEntries != 0)
        record.dioList = ReadEntries<std::uint32_t>(hDass_, listEntries, hxDaGetDigitalIOListEntry);
    return record;
}

void AcqControl::ApplyRecord(const PersistedRecord& record) {
    // An instance that holds a board gives it up as a change of board does, so that no handle
    // is lost and the saved subsystem is not found in use by this very control.
    subsystems_.clear();
    ReleaseDevice();
    tables_ = CapabilityTables{};
    const CachedSettings held = settings_;
    caption_ = record.caption;
    extent_ = SIZEL{record.extentWidth, record.extentHeight};
    board_ = record.board;
    ssType_ = record.ssType;
    ssElement_ = record.ssElement;
    currentIndex_ = -1;
    settings_ = record.settings;
    // The quadrature values of the record are taken after the subsystem was set up with those
    // the control held.
    settings_.clockPrescale = held.clockPrescale;
    settings_.x4Scaling = held.x4Scaling;
    settings_.indexInput = held.indexInput;
    if (!board_.empty())
        ReopenSaved();
    ApplySavedLists(record);
    lastError_ = 0;
    ApplyVersionedFields(record);
    modified_ = false;
}

void AcqControl::ReopenSaved() {
    HDEV device = 0;
    const HXSTATUS opened = hxDaInitialize(board_.c_str(), &device);
    Keep(opened);
    if (opened != HXNOERROR) {
        board_.clear();
        hDev_ = 0;
        return;
    }
    hDev_ = device;
    hxDaEnumSubSystems(hDev_, FillSubSystems, reinterpret_cast<LPARAM>(this));
    // The saved subsystem, or the last of its kind: never one of another kind, whose settings
    // the saved ones are not.
    const int index = Lookup(ssType_, ssElement_);
    const bool found =
        static_cast<std::size_t>(index) < subsystems_.size() &&
        subsystems_[static_cast<std::size_t>(index)].kind == static_cast<UINT>(ssType_);
    HDASS subsystem = 0;
    if (found) {
        const SubsystemEntry& entry = subsystems_[static_cast<std::size_t>(index)];
        Keep(hxDaGetDASS(hDev_, entry.kind, entry.element, &subsystem));
    }
    if (subsystem == 0) {
        ssType_ = 0;
        ssElement_ = 0;
        currentIndex_ = -1;
        return;
    }
    hDass_ = subsystem;
    currentIndex_ = static_cast<SHORT>(index);
    ssType_ = static_cast<SHORT>(subsystems_[static_cast<std::size_t>(index)].kind);
    ssElement_ = static_cast<SHORT>(subsystems_[static_cast<std::size_t>(index)].element);
    ApplySavedSettings();

    const SHORT range = settings_.range;
    try {
        RefreshCapabilities();
    } catch (const com::server::Error&) {
        // its statuses are kept as LastError
    }
    settings_.range = range;
    if (range >= 0 && static_cast<std::size_t>(range) < tables_.ranges.size()) {
        const RangeEntry& saved = tables_.ranges[static_cast<std::size_t>(range)];
        Keep(hxDaSetRange(hDass_, saved.upper, saved.lower));
    }
    if (Capability(hDass_, HXSSC_NOTIFICATIONS) != 0)
        Report(hxDaSetWndHandle(hDass_, window_->handle(), reinterpret_cast<LPARAM>(this)));
    if (Capability(hDass_, HXSSC_QUADDECODER) != 0)
        Report(hxDaSetQuadDecoder(
            hDass_, static_cast<UINT>(settings_.clockPrescale),
            static_cast<UINT>(settings_.x4Scaling),
            ToLibrary(ValueMap::kOffset, HXQUADINDEX_DISABLED, settings_.indexInput)));
}

void AcqControl::ApplySavedSettings() {
    const CachedSettings& s = settings_;
    Keep(ApplySaved<kEncoding>(hDass_, s));
    Keep(ApplySaved<kChannelType>(hDass_, s));
    Keep(ApplySaved<kResolution>(hDass_, s));
    Keep(ApplySaved<kDataFlow>(hDass_, s));
    Keep(ApplySaved<kWrapMode>(hDass_, s));
    Keep(ApplySaved<kClockSource>(hDass_, s));
    Keep(ApplySaved<kFrequency>(hDass_, s));
    Keep(ApplySaved<kClockDivider>(hDass_, s));
    Keep(ApplySaved<kTrigger>(hDass_, s));
    Keep(ApplySaved<kTriggeredScan>(hDass_, s));
    Keep(ApplySaved<kRetriggerMode>(hDass_, s));
    Keep(hxDaSetRetriggerFrequency(hDass_, s.retriggerFreq));
    Keep(ApplySaved<kDmaUsage>(hDass_, s));
    Keep(ApplySaved<kSyncDioUsage>(hDass_, s));
    Keep(ApplySaved<kListSize>(hDass_, s));
    Keep(ApplySaved<kCtMode>(hDass_, s));
    Keep(ApplySaved<kCascadeMode>(hDass_, s));
    Keep(ApplySaved<kGateType>(hDass_, s));
    Keep(ApplySaved<kPulseType>(hDass_, s));
    Keep(ApplySaved<kPulseWidth>(hDass_, s));
}

void AcqControl::ApplySavedLists(const PersistedRecord& record) {
    if (hDass_ == 0)
        return;  // the blobs were read and are dropped
    if (Capability(hDass_, HXSSC_LISTSIZE) != 0) {
        WriteEntries<std::uint16_t>(hDass_, record.channelList, hxDaSetChannelListEntry,
                                    &lastError_);
        WriteEntries<double>(hDass_, record.gainList, hxDaSetGainListEntry, &lastError_);
    }
    if (Capability(hDass_, HXSSC_INHIBITLIST) != 0)
        WriteEntries<std::uint32_t>(hDass_, record.inhibitList, hxDaSetChannelListEntryInhibit,
                                    &lastError_);
    if (Capability(hDass_, HXSSC_FILTERPERCHANNEL) == 1 &&
        Capability(hDass_, HXSSC_NUMCHANNELS) != 0)
        WriteEntries<double>(hDass_, record.filterList, hxDaSetChannelFilter, &lastError_);
    if (Capability(hDass_, HXSSC_SYNCDIO) == 1 && settings_.listSize != 0)
        WriteEntries<std::uint32_t>(hDass_, record.dioList, hxDaSetDigitalIOListEntry, &lastError_);
}

void AcqControl::ApplyVersionedFields(const PersistedRecord& record) {
    if (record.version >= kVersionWithTriggers) {
        if (hDass_ != 0) {
            Keep(hxDaSetPretriggerSource(hDass_,
                                         ToLibrary(ValueMap::kTrigger, 0, settings_.preTrigger)));
            Keep(hxDaSetRetrigger(hDass_, ToLibrary(ValueMap::kTrigger, 0, settings_.retrigger)));
            Keep(hxDaSetMultiscanCount(hDass_, static_cast<UINT>(settings_.multiScanCount)));
        }
    } else {
        settings_.multiScanCount = 0;
        settings_.preTrigger = 0;
        settings_.retrigger = 0;
        for (DISPID id : kTriggerFieldIds)
            Notify(id);
    }
    if (record.version >= kVersionWithEdges) {
        if (hDass_ != 0) {
            Keep(hxDaSetMeasureStartEdge(hDass_, ToLibrary(ValueMap::kOffset, HXEDGE_GATERISING,
                                                           settings_.measureStartEdge)));
            Keep(hxDaSetMeasureStopEdge(hDass_, ToLibrary(ValueMap::kOffset, HXEDGE_GATERISING,
                                                          settings_.measureStopEdge)));
        }
    } else {
        try {
            GetSetting<kMeasureStartEdge>();
            GetSetting<kMeasureStopEdge>();
        } catch (const com::server::Error&) {
            // the status is kept as LastError
        }
        for (DISPID id : kEdgeFieldIds)
            Notify(id);
    }
    if (record.version >= kVersionWithQuadrature) {
        settings_.clockPrescale = record.settings.clockPrescale;
        settings_.x4Scaling = record.settings.x4Scaling;
        settings_.indexInput = record.settings.indexInput;
        if (hDass_ != 0)
            Keep(hxDaSetQuadDecoder(
                hDass_, static_cast<UINT>(settings_.clockPrescale),
                static_cast<UINT>(settings_.x4Scaling),
                ToLibrary(ValueMap::kOffset, HXQUADINDEX_DISABLED, settings_.indexInput)));
    } else {
        for (DISPID id : kQuadratureFieldIds)
            Notify(id);
    }
}

HRESULT AcqControl::LoadFrom(PropertyExchange& reader) {
    // What the record lacks (an older version's fields, a name the bag does not hold) keeps
    // the value the control holds.
    PersistedRecord record = CaptureRecord(false);
    try {
        ExchangeRecord(reader, record);
    } catch (const DamagedRecord&) {
        Trace("Load: the record ends before its version's last field\n");
        return STG_E_READFAULT;  // nothing of the record was taken
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    try {
        ApplyRecord(record);
    } catch (const com::server::Error& error) {
        // The notification binding or the quadrature set-up failed: LastError holds its status.
        Trace("Load: %s\n", error.description.c_str());
        return E_FAIL;
    }
    return S_OK;
}

HRESULT AcqControl::SaveTo(PropertyExchange& writer, BOOL clearDirty) {
    PersistedRecord record = CaptureRecord(true);
    try {
        ExchangeRecord(writer, record);
    } catch (const WriteFailed& failed) {
        return failed.status;
    }
    if (clearDirty)
        modified_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetClassID(CLSID* clsid) {
    if (clsid == nullptr)
        return E_POINTER;
    *clsid = kClsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::IsDirty() {
    return modified_ ? S_OK : S_FALSE;
}

// Back to a new control's defaults; what is open is given up first.
HRESULT STDMETHODCALLTYPE AcqControl::InitNew() {
    subsystems_.clear();
    ReleaseDevice();
    ResetToDefaults();
    modified_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::Load(IStream* stream) {
    if (stream == nullptr)
        return E_POINTER;
    StreamReader reader(stream);
    return LoadFrom(reader);
}

HRESULT STDMETHODCALLTYPE AcqControl::Save(IStream* stream, BOOL clearDirty) {
    if (stream == nullptr)
        return E_POINTER;
    StreamWriter writer(stream);
    return SaveTo(writer, clearDirty);
}

HRESULT STDMETHODCALLTYPE AcqControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (size == nullptr)
        return E_POINTER;
    StreamWriter counter(nullptr);
    PersistedRecord record = CaptureRecord(true);
    ExchangeRecord(counter, record);
    size->QuadPart = counter.written();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (bag == nullptr)
        return E_POINTER;
    BagReader reader(bag, log);
    return LoadFrom(reader);
}

HRESULT STDMETHODCALLTYPE AcqControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (bag == nullptr)
        return E_POINTER;
    BagWriter writer(bag);
    return SaveTo(writer, clearDirty);
}

HRESULT STDMETHODCALLTYPE AcqControl::InitNew(IStorage* storage) {
    if (storage == nullptr)
        return E_POINTER;
    return InitNew();
}

HRESULT STDMETHODCALLTYPE AcqControl::Load(IStorage* storage) {
    if (storage == nullptr)
        return E_POINTER;
    com::server::Ref<IStream> stream;
    const HRESULT status = storage->OpenStream(kStorageStreamName, nullptr,
                                               STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.out());
    if (FAILED(status))
        return status;
    return Load(stream.get());
}

HRESULT STDMETHODCALLTYPE AcqControl::Save(IStorage* storage, BOOL sameAsLoad) {
    if (storage == nullptr)
        return E_POINTER;
    com::server::Ref<IStream> stream;
    const HRESULT status = storage->CreateStream(
        kStorageStreamName, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
        stream.out());
    if (FAILED(status))
        return status;
    return Save(stream.get(), sameAsLoad);
}

}  // namespace mqacq32
