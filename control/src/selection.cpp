// Board and subsystem selection: the board put, the subsystem puts, the subsystem table, the
// capability tables and the release of what is open.
#include <cstdio>

#include "acq_control.h"
#include "board_list.h"
#include "callbacks.h"
#include "com/server/object.h"
#include "hxmem32.h"
#include "setting_members.h"
#include "trace.h"

namespace mqacq32 {
namespace {

constexpr SHORT kHighestIndex = 40;  // SubSystem and SubSysElement puts take 0..40
constexpr SHORT kHighestKind = HXSS_CT;
constexpr int kRangeTextLength = 64;

// Notified after a subsystem was opened, in this order.
constexpr DISPID kOpenedIds[] = {dispid::SubSystem, dispid::SubSysType, dispid::SubSysElement,
                                 dispid::hDass};
constexpr DISPID kSubsystemDependentIds[] = {dispid::ResolutionValues,
                                             dispid::MinRangeValues,
                                             dispid::MaxRangeValues,
                                             dispid::GainValues,
                                             dispid::FilterValues,
                                             dispid::numResolutions,
                                             dispid::numRanges,
                                             dispid::numGains,
                                             dispid::numFilters,
                                             2,
                                             3,
                                             4,
                                             5,
                                             6,
                                             7,
                                             8,
                                             9,
                                             10,
                                             11,
                                             12,
                                             13,
                                             14,
                                             15,
                                             16,
                                             17,
                                             18,
                                             19,
                                             20,
                                             21,
                                             dispid::SyncDIOUsage,
                                             dispid::MQConnectXferSize,
                                             dispid::MQConnectXferCount,
                                             dispid::ListSize,
                                             dispid::RetriggerMode,
                                             dispid::ChannelList,
                                             dispid::GainList,
                                             dispid::FilterList,
                                             dispid::InhibitList,
                                             dispid::DIOList,
                                             dispid::MeasureStartEdge,
                                             dispid::MeasureStopEdge,
                                             dispid::ClockPrescale,
                                             dispid::X4Scaling,
                                             dispid::IndexInput,
                                             dispid::Retrigger,
                                             dispid::PreTrigger,
                                             dispid::MultiScanCount};
constexpr DISPID kBoardIds[] = {dispid::Board, dispid::hDev, dispid::numSubSystems,
                                dispid::SubSystemList};

}  // namespace

// The table index for (kind, element): 0 while nothing was chosen yet (both negative), else the
// first exact match, else the last entry of that kind, else 0.
int AcqControl::Lookup(LONG kind, LONG element) const {
    if (ssType_ < 0 && ssElement_ < 0)
        return 0;
    int lastOfKind = -1;
    for (std::size_t i = 0; i < subsystems_.size(); ++i) {
        if (subsystems_[i].kind != static_cast<UINT>(kind))
            continue;
        if (subsystems_[i].element == element)
            return static_cast<int>(i);
        lastOfKind = static_cast<int>(i);
    }
    return lastOfKind >= 0 ? lastOfKind : 0;
}

bool AcqControl::ExactMatch(int index, LONG kind, LONG element) const {
    return index >= 0 && static_cast<std::size_t>(index) < subsystems_.size() &&
           subsystems_[static_cast<std::size_t>(index)].kind == static_cast<UINT>(kind) &&
           subsystems_[static_cast<std::size_t>(index)].element == element;
}

void AcqControl::DrainAndFreeBuffers() {
    for (;;) {
        HBUF buffer = 0;
        if (hxDaGetBuffer(hDass_, &buffer) != HXNOERROR || buffer == 0)
            return;
        hxDmFreeBuffer(buffer);
    }
}

void AcqControl::EmptyCapabilityTables() {
    if (!tables_.ranges.empty())
        settings_.range = kUnset;
    tables_ = CapabilityTables{};
}

void AcqControl::ReleaseDevice() {
    if (hDass_ != 0) {
        hxDaAbort(hDass_);
        hxDaFlushBuffers(hDass_);
        DrainAndFreeBuffers();
        EmptyCapabilityTables();
        hxDaReleaseDASS(hDass_);
        hDass_ = 0;
    }
    if (hDev_ != 0) {
        hxDaTerminate(hDev_);
        hDev_ = 0;
    }
}

// A subsystem left open by a selection that failed after opening it (binding its notifications)
// is released, so that no handle is lost and the board can still be terminated.
void AcqControl::CloseSubsystemQuietly() {
    if (hDass_ == 0)
        return;
    EmptyCapabilityTables();
    hxDaReleaseDASS(hDass_);
    hDass_ = 0;
}

void AcqControl::ForgetSubsystem() {
    hDass_ = 0;
    currentIndex_ = -1;
    ssType_ = 0;
    ssElement_ = 0;
    ResetSettings();
}

void AcqControl::PutBoard(std::string name) {
    board_ = std::move(name);
    MarkModified();
    if (hDev_ != 0) {
        subsystems_.clear();
        ReleaseDevice();
    }
    HDEV device = 0;
    const HXSTATUS status = hxDaInitialize(board_.c_str(), &device);
    if (status != HXNOERROR) {
        board_.clear();
        hDev_ = 0;
        ForgetSubsystem();
        Report(status);
    }
    hDev_ = device;
    subsystems_.clear();
    hxDaEnumSubSystems(hDev_, FillSubSystems, reinterpret_cast<LPARAM>(this));
    const int index = Lookup(ssType_, ssElement_);
    currentIndex_ = static_cast<SHORT>(index);
    if (static_cast<std::size_t>(index) < subsystems_.size() &&
        subsystems_[static_cast<std::size_t>(index)].kind == static_cast<UINT>(ssType_)) {
        try {
            OpenEntry(static_cast<SHORT>(index));
        } catch (const com::server::Error&) {
            CloseSubsystemQuietly();
            ForgetSubsystem();
        }
    } else {
        ForgetSubsystem();
    }
    for (DISPID id : kBoardIds)
        Notify(id);
}

void AcqControl::PutSubSystem(SHORT index) {
    OpenEntry(index);
}

// Opens table entry `index`, releasing the open subsystem first.
void AcqControl::OpenEntry(SHORT index) {
    Trace("Entering SetSubSystem...\n");
    if (index < 0 || index > kHighestIndex)
        RaiseInvalidValue();
    if (hDev_ == 0)
        Report(HXINVALIDDEVHANDLE);
    if (static_cast<std::size_t>(index) >= subsystems_.size())
        Report(HXINVALIDSUBSYS);
    if (hDass_ != 0) {
        Trace("\tSetSubSystem:: Releasing hDASS\n");
        hxDaReset(hDass_);
        hxDaFlushBuffers(hDass_);
        DrainAndFreeBuffers();
        EmptyCapabilityTables();
        const HXSTATUS released = hxDaReleaseDASS(hDass_);
        hDass_ = 0;
        Report(released);
        ResetSettings();
    }
    const SubsystemEntry entry = subsystems_[static_cast<std::size_t>(index)];
    Trace("\tSetSubSystem:: enumSubSystem: %d\n", index);
    Trace("\tSetSubSystem:: Getting hDASS, SSType: %u,SSElement: %u\n", entry.kind,
          static_cast<unsigned>(entry.element));
    HDASS subsystem = 0;
    const HXSTATUS status = hxDaGetDASS(hDev_, entry.kind, entry.element, &subsystem);
    Trace("\tSetSubSystem:: hxDaGetDASS result: %u\n", status);
    if (status != HXNOERROR) {
        ForgetSubsystem();
        Trace("\tSetSubSystem:: Throwing HXSUBSYSINUSE\n");
        Report(HXSUBSYSINUSE);
    }
    hDass_ = subsystem;
    currentIndex_ = index;
    ssType_ = static_cast<SHORT>(entry.kind);
    ssElement_ = static_cast<SHORT>(entry.element);
    RefreshCapabilities();
    BindNotificationWindow();
    MarkModified();
    for (DISPID id : kOpenedIds)
        Notify(id);
    for (DISPID id : kSubsystemDependentIds)
        Notify(id);
    Trace("Exiting SetSubSystem\n");
}

void AcqControl::BindNotificationWindow() {
    UINT notifications = 0;
    Report(hxDaGetSSCaps(hDass_, HXSSC_NOTIFICATIONS, &notifications));
    if (notifications != 0)
        Report(hxDaSetWndHandle(hDass_, window_->handle(), reinterpret_cast<LPARAM>(this)));
}

SHORT AcqControl::GetSubSysType() {
    DesignTimeGuard();
    return ssType_;
}

void AcqControl::PutSubSysType(SHORT kind) {
    DesignTimeGuard();
    Trace("Entering SetSubSysType..\n");
    if (hDev_ == 0)
        Report(HXINVALIDDEVHANDLE);
    if (kind < 0 || kind > kHighestKind)
        Report(HXINVALIDSUBSYS);
    UINT count = 0;
    if (hxDaGetDevCaps(hDev_, kind, &count) == HXNOERROR && count == 0)
        Report(HXINVALIDSUBSYS);
    if (ssElement_ > kHighestIndex)
        ssElement_ = 0;
    Trace("\tSetSubSysType:: iSubSysType: %d, m_enumSSElement: %d\n", kind, ssElement_);
    const int index = Lookup(kind, ssElement_);
    Trace("\tSetSubSysType:: index: %d\n", index);
    if (ExactMatch(index, kind, ssElement_)) {
        Trace("\tSetSubSysType:: Trying to open subsystem...\n");
        try {
            OpenEntry(static_cast<SHORT>(index));
            ssType_ = kind;
        } catch (const com::server::Error&) {
            Trace("\tSetSubSysType:: ERROR!\n");
            CloseSubsystemQuietly();
            ssType_ = kind;
            ssElement_ = -1;
            currentIndex_ = -1;
        }
    } else {
        Trace("\tSetSubSysType:: Couldnt Find Exact Match\n");
        if (hDass_ != 0) {
            CloseSubsystemQuietly();
            ResetSettings();
        }
        ssType_ = kind;
        ssElement_ = -1;
        currentIndex_ = -1;
    }
    Trace("Exiting SetSubSysType\n");
}

SHORT AcqControl::GetSubSysElement() {
    DesignTimeGuard();
    return ssElement_;
}

void AcqControl::PutSubSysElement(SHORT element) {
    DesignTimeGuard();
    if (element < 0 || element > kHighestIndex)
        RaiseInvalidValue();
    const int index = Lookup(ssType_, element);
    if (!ExactMatch(index, ssType_, element))
        Report(HXINVALIDELEMENT);
    OpenEntry(static_cast<SHORT>(index));
    ssElement_ = element;
}

SHORT AcqControl::GetNumSubSystems() {
    DesignTimeGuard();
    return static_cast<SHORT>(subsystems_.size());
}

std::string AcqControl::GetSubSystemList(SHORT index) {
    DesignTimeGuard();
    if (index < 0 || static_cast<std::size_t>(index) >= subsystems_.size())
        RaiseInvalidValue();
    return subsystems_[static_cast<std::size_t>(index)].description;
}

LONG AcqControl::GetHDev() {
    DesignTimeGuard();
    return static_cast<LONG>(hDev_);
}

LONG AcqControl::GetHDass() {
    DesignTimeGuard();
    return static_cast<LONG>(hDass_);
}

SHORT AcqControl::GetNumBoards() {
    DesignTimeGuard();
    return static_cast<SHORT>(board_list::Count());
}

std::string AcqControl::GetBoardList(SHORT index) {
    DesignTimeGuard();
    if (index < 0 || index >= kMaxBoards)
        RaiseInvalidValue();
    return board_list::Name(index);  // "" beyond the count
}

SHORT AcqControl::GetNumResolutions() {
    DesignTimeGuard();
    return static_cast<SHORT>(tables_.resolutions.size());
}

SHORT AcqControl::GetNumRanges() {
    DesignTimeGuard();
    return static_cast<SHORT>(tables_.ranges.size());
}

SHORT AcqControl::GetNumGains() {
    DesignTimeGuard();
    return static_cast<SHORT>(tables_.gains.size());
}

SHORT AcqControl::GetNumFilters() {
    DesignTimeGuard();
    return static_cast<SHORT>(tables_.filters.size());
}

namespace {

// Entry `index` of a table; an index outside it raises 380 through `invalid`.
template <typename Table, typename Invalid>
const auto& EntryOf(const Table& table, SHORT index, Invalid invalid) {
    if (index < 0 || static_cast<std::size_t>(index) >= table.size())
        invalid();
    return table[static_cast<std::size_t>(index)];
}

}  // namespace

SHORT AcqControl::GetResolutionValues(SHORT index) {
    DesignTimeGuard();
    return static_cast<SHORT>(EntryOf(tables_.resolutions, index, [this] { RaiseInvalidValue(); }));
}

double AcqControl::GetMinRangeValues(SHORT index) {
    DesignTimeGuard();
    return EntryOf(tables_.ranges, index, [this] { RaiseInvalidValue(); }).lower;
}

double AcqControl::GetMaxRangeValues(SHORT index) {
    DesignTimeGuard();
    return EntryOf(tables_.ranges, index, [this] { RaiseInvalidValue(); }).upper;
}

double AcqControl::GetGainValues(SHORT index) {
    DesignTimeGuard();
    return EntryOf(tables_.gains, index, [this] { RaiseInvalidValue(); });
}

double AcqControl::GetFilterValues(SHORT index) {
    DesignTimeGuard();
    return EntryOf(tables_.filters, index, [this] { RaiseInvalidValue(); });
}

BOOL AcqControl::AppendSubsystem(const char* description, UINT kind, UINT element) {
    if (subsystems_.size() >= kMaxSubsystems)
        return FALSE;
    subsystems_.push_back({kind, static_cast<WORD>(element), description ? description : ""});
    return TRUE;
}

BOOL AcqControl::AppendRange(double upper, double lower) {
    if (tables_.ranges.size() >= kMaxTableEntries)
        return FALSE;
    char text[kRangeTextLength];
    std::snprintf(text, sizeof(text), "%d- %2.4f - %2.4f", static_cast<int>(tables_.ranges.size()),
                  lower, upper);
    tables_.ranges.push_back({lower, upper, text});
    return TRUE;
}

BOOL AcqControl::AppendGain(double gain) {
    if (tables_.gains.size() >= kMaxTableEntries)
        return FALSE;
    tables_.gains.push_back(gain);
    return TRUE;
}

BOOL AcqControl::AppendFilter(double filter) {
    if (tables_.filters.size() >= kMaxTableEntries)
        return FALSE;
    tables_.filters.push_back(filter);
    return TRUE;
}

BOOL AcqControl::AppendResolution(double bits) {
    if (tables_.resolutions.size() >= kMaxResolutions)
        return FALSE;
    tables_.resolutions.push_back(static_cast<LONG>(bits));
    return TRUE;
}

bool AcqControl::CapabilityAbove0(UINT capability) {
    UINT value = 0;
    return hxDaGetSSCaps(hDass_, capability, &value) == HXNOERROR && value > 0;
}

void AcqControl::RefreshCapabilities() {
    const auto self = reinterpret_cast<LPARAM>(this);
    tables_.gains.clear();
    if (CapabilityAbove0(HXSSC_NUMGAINS))
        hxDaEnumSSCaps(hDass_, HXENUMCAP_GAINS, FillGainArray, self);
    tables_.resolutions.clear();
    if (CapabilityAbove0(HXSSC_NUMRESOLUTIONS))
        hxDaEnumSSCaps(hDass_, HXENUMCAP_RESOLUTIONS, FillResolutionArray, self);
    GetSetting<kResolution>();
    tables_.filters.clear();
    if (CapabilityAbove0(HXSSC_NUMFILTERS))
        hxDaEnumSSCaps(hDass_, HXENUMCAP_FILTERS, FillFilterArray, self);
    tables_.ranges.clear();
    if (CapabilityAbove0(HXSSC_NUMRANGES))
        hxDaEnumSSCaps(hDass_, HXENUMCAP_RANGES, FillRangeArray, self);
    GetRange();
    try {
        GetSetting<kChannelType>();
        GetSetting<kEncoding>();
        GetSetting<kDataFlow>();
        GetSetting<kWrapMode>();
        GetSetting<kClockSource>();
        GetSetting<kTrigger>();
        GetSetting<kDmaUsage>();
    } catch (const com::server::Error&) {
    }
}

}  // namespace mqacq32
