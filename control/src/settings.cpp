// The settings members outside the family's pattern: capability gates, the retrigger frequency,
// the range, the list entries and the stored quadrature values.
#include "acq_control.h"
#include "setting_members.h"

namespace mqacq32 {

bool AcqControl::GateOpen(Gate gate) {
    switch (gate) {
        case Gate::kNone:
            return true;
        case Gate::kTriggeredScan:
            return CapabilityAbove0(HXSSC_TRIGGEREDSCAN);
        case Gate::kSyncDio:
            return CapabilityAbove0(HXSSC_SYNCDIO);
        case Gate::kPreTrigger:
            return CapabilityAbove0(HXSSC_DATAFLOW_CONTPRETRIG) ||
                   CapabilityAbove0(HXSSC_DATAFLOW_CONTABOUTTRIG);
        case Gate::kRetrigger: {
            if (!CapabilityAbove0(HXSSC_TRIGGEREDSCAN))
                return false;
            UINT extra = 0;
            const HXSTATUS status = hxDaGetSSCaps(hDass_, HXSSC_RETRIGGER_EXTRA, &extra);
            if (status == HXNOERROR && extra > 0)
                return true;
            return status != HXINVALIDSSCAP && CapabilityAbove0(HXSSC_RETRIGGER_INTERNAL);
        }
    }
    return false;
}

// The get's status is kept as LastError without being raised; the value is taken only when the
// library gave one, so a refused read never caches an unwritten value.
double AcqControl::GetRetriggerFreq() {
    double& cached = settings_.retriggerFreq;
    if (hDass_ == 0)
        return cached;
    if (!GateOpen(Gate::kTriggeredScan))
        return UserMode() ? cached : (cached = 0.0);
    double value = 0.0;
    const HXSTATUS status = hxDaGetRetriggerFrequency(hDass_, &value);
    lastError_ = static_cast<LONG>(status);
    if (status == HXNOERROR)
        cached = value;
    return cached;
}

void AcqControl::PutRetriggerFreq(double value) {
    Report(hxDaSetRetriggerFrequency(hDass_, value));
    settings_.retriggerFreq = value;
    Notify(dispid::RetriggerFreq);
}

// The index of the library's range in the range table (the last equal entry); kept when the
// library's range is not in the table.
SHORT AcqControl::GetRange() {
    SHORT& cached = settings_.range;
    if (hDass_ == 0)
        return cached;
    double upper = 0.0;
    double lower = 0.0;
    const HXSTATUS status = hxDaGetRange(hDass_, &upper, &lower);
    if (status == HXNOTSUPPORTED)
        return AnswerUnsupported(UserMode() ? Unsupported::kCached : Unsupported::kMarkerA, cached,
                                 SHORT{0});
    Report(status);
    for (std::size_t i = 0; i < tables_.ranges.size(); ++i)
        if (tables_.ranges[i].upper == upper && tables_.ranges[i].lower == lower)
            cached = static_cast<SHORT>(i);
    return cached;
}

// The index is stored before the library call; an index outside the range table raises 380
// (nothing to send).
void AcqControl::PutRange(SHORT index) {
    if (index < 0 || static_cast<std::size_t>(index) >= tables_.ranges.size())
        RaiseInvalidValue();
    settings_.range = index;
    const RangeEntry& range = tables_.ranges[static_cast<std::size_t>(index)];
    Report(hxDaSetRange(hDass_, range.upper, range.lower));
    Notify(dispid::Range);
}

double AcqControl::GetMinRange() {
    DesignTimeGuard();
    double upper = 0.0;
    double lower = 0.0;
    Report(hxDaGetRange(hDass_, &upper, &lower));
    return lower;
}

double AcqControl::GetMaxRange() {
    DesignTimeGuard();
    double upper = 0.0;
    double lower = 0.0;
    Report(hxDaGetRange(hDass_, &upper, &lower));
    return upper;
}

SHORT AcqControl::GetChannelList(SHORT index) {
    UINT channel = 0;
    Report(hxDaGetChannelListEntry(hDass_, static_cast<UINT>(index), &channel));
    return static_cast<SHORT>(channel);
}

void AcqControl::PutChannelList(SHORT index, SHORT channel) {
    Report(hxDaSetChannelListEntry(hDass_, static_cast<UINT>(index), static_cast<UINT>(channel)));
}

double AcqControl::GetGainList(SHORT index) {
    double gain = 0.0;
    Report(hxDaGetGainListEntry(hDass_, static_cast<UINT>(index), &gain));
    return gain;
}

void AcqControl::PutGainList(SHORT index, double gain) {
    Report(hxDaSetGainListEntry(hDass_, static_cast<UINT>(index), gain));
}

double AcqControl::GetFilterList(SHORT index) {
    double filter = 0.0;
    Report(hxDaGetChannelFilter(hDass_, static_cast<UINT>(index), &filter));
    return filter;
}

void AcqControl::PutFilterList(SHORT index, double filter) {
    Report(hxDaSetChannelFilter(hDass_, static_cast<UINT>(index), filter));
}

bool AcqControl::GetInhibitList(SHORT index) {
    if (hDass_ == 0)
        return false;
    UINT inhibit = 0;
    Report(hxDaGetChannelListEntryInhibit(hDass_, static_cast<UINT>(index), &inhibit));
    return inhibit != 0;
}

void AcqControl::PutInhibitList(SHORT index, bool inhibit) {
    Report(hxDaSetChannelListEntryInhibit(hDass_, static_cast<UINT>(index), inhibit ? 1u : 0u));
    Notify(dispid::InhibitList);
}

LONG AcqControl::GetDioList(SHORT index) {
    if (hDass_ == 0)
        return 0;
    UINT value = 0;
    Report(hxDaGetDigitalIOListEntry(hDass_, static_cast<UINT>(index), &value));
    return static_cast<LONG>(value);
}

void AcqControl::PutDioList(SHORT index, LONG value) {
    Report(hxDaSetDigitalIOListEntry(hDass_, static_cast<UINT>(index), static_cast<UINT>(value)));
    Notify(dispid::DIOList);
}

// Stored for Config; stored first and then notified, so that a container reading the property
// back from inside its notification sees the new value.
void AcqControl::PutClockPrescale(SHORT value) {
    settings_.clockPrescale = value;
    Notify(dispid::ClockPrescale);
}

void AcqControl::PutX4Scaling(SHORT value) {
    settings_.x4Scaling = value;
    Notify(dispid::X4Scaling);
}

void AcqControl::PutIndexInput(SHORT value) {
    settings_.indexInput = value;
    Notify(dispid::IndexInput);
}

LONG AcqControl::GetReserved() {
    DesignTimeGuard();
    return 0;
}

}  // namespace mqacq32
