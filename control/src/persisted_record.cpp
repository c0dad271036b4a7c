#include "persisted_record.h"

namespace mqacq32 {

void ExchangeRecord(PropertyExchange& x, PersistedRecord& r) {
    x.Version(r.version);
    x.Long("_ExtentX", r.extentWidth);
    x.Long("_ExtentY", r.extentHeight);
    auto stock = static_cast<LONG>(r.stockProperties);
    x.Long("_StockProps", stock);
    r.stockProperties = static_cast<DWORD>(stock);
    x.Text("Caption", r.caption);

    CachedSettings& s = r.settings;
    x.Text("Board", r.board);
    x.Short("SSType", r.ssType);
    x.Short("SSElement", r.ssElement);
    x.Double("Frequency", s.frequency);
    x.Short("DmaUsage", s.dmaUsage);
    x.Short("TriggeredScan", s.triggeredScan);
    x.Short("ChannelType", s.channelType);
    x.Short("Encoding", s.encoding);
    x.Short("Trigger", s.trigger);
    x.Short("ClockSource", s.clockSource);
    x.Double("RetriggerFreq", s.retriggerFreq);
    x.Long("ClockDivider", s.clockDivider);
    x.Short("Resolution", s.resolution);
    x.Short("Range", s.range);
    x.Short("DataFlow", s.dataFlow);
    x.Short("WrapMode", s.wrapMode);
    x.Short("GateType", s.gateType);
    x.Short("PulseType", s.pulseType);
    x.Double("PulseWidth", s.pulseWidth);
    x.Short("CTMode", s.ctMode);
    x.Short("CascadeMode", s.cascadeMode);
    x.Short("SyncDIOUsage", s.syncDioUsage);
    x.Long("MQConnectXferSize", s.mqConnectXferSize);
    x.Long("MQConnectXferCount", s.mqConnectXferCount);
    x.Long("ListSize", s.listSize);
    x.Short("RetriggerMode", s.retriggerMode);

    x.Bytes("ChannelList", r.channelList);
    x.Bytes("GainList", r.gainList);
    x.Bytes("InhibitList", r.inhibitList);
    x.Bytes("FilterList", r.filterList);
    x.Bytes("DIOList", r.dioList);

    if (r.version >= kVersionWithTriggers) {
        x.Long("MultiScanCount", s.multiScanCount);
        x.Short("PreTrigger", s.preTrigger);
        x.Short("ReTrigger", s.retrigger);
    }
    if (r.version >= kVersionWithEdges) {
        x.Short("MeasureStartEdge", s.measureStartEdge);
        x.Short("MeasureStopEdge", s.measureStopEdge);
    }
    if (r.version >= kVersionWithQuadrature) {
        x.Short("ClockPrescale", s.clockPrescale);
        x.Short("X4Scaling", s.x4Scaling);
        x.Short("IndexInput", s.indexInput);
    }
}

}  // namespace mqacq32
