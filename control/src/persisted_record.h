// The record a container keeps of a control instance: its fields in the order of the binary
// stream (format version 2.6), the names they have in a property bag, and the one exchange that
// both saving and loading run over it.
//
// The binary record, little-endian:
//   u32 version (major << 16 | minor), i32 extent width and height (HIMETRIC), u32 stock-property
//   set (2: the caption), string Caption, string Board, i16 SSType, i16 SSElement, f64 Frequency,
//   i16 DmaUsage, TriggeredScan, ChannelType, Encoding, Trigger, ClockSource, f64 RetriggerFreq,
//   u32 ClockDivider, i16 Resolution, Range, DataFlow, WrapMode, GateType, PulseType,
//   f64 PulseWidth, i16 CTMode, CascadeMode, SyncDIOUsage, u32 MQConnectXferSize,
//   MQConnectXferCount, ListSize, i16 RetriggerMode, the blobs ChannelList, GainList, InhibitList,
//   FilterList, DIOList; from 2.0 u32 MultiScanCount, i16 PreTrigger, ReTrigger; from 2.5
//   i16 MeasureStartEdge, MeasureStopEdge; from 2.6 i16 ClockPrescale, X4Scaling, IndexInput.
// Settings are the control's 0-based values as it caches them. A string is a length (one byte
// below 255; else 0xFF and a u16 below 65534; else 0xFF, 0xFFFF and a u32) and its bytes; a blob
// a u32 byte count and its bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cached_settings.h"
#include "com/base.h"
#include "mqacq32/mqacq32.h"

namespace mqacq32 {

inline constexpr DWORD kRecordVersion = 0x00020006u;        // what a save writes
inline constexpr DWORD kVersionWithTriggers = 0x00020000u;  // MultiScanCount, PreTrigger, ReTrigger
inline constexpr DWORD kVersionWithEdges = 0x00020005u;     // the measure edges
inline constexpr DWORD kVersionWithQuadrature = 0x00020006u;  // the quadrature decoder's values
inline constexpr DWORD kStockPropertySet = 2u;

using Blob = std::vector<std::uint8_t>;

struct PersistedRecord {
    DWORD version = kRecordVersion;
    LONG extentWidth = 0;
    LONG extentHeight = 0;
    DWORD stockProperties = kStockPropertySet;
    std::string caption;
    std::string board;
    SHORT ssType = 0;
    SHORT ssElement = 0;
    CachedSettings settings;
    Blob channelList;  // u16 per list entry
    Blob gainList;     // f64 per list entry
    Blob inhibitList;  // u32 per list entry
    Blob filterList;   // f64 per channel
    Blob dioList;      // u32 per list entry
};

// One side of the exchange: writes each field (saving) or reads it into place (loading).
// A reader of a damaged record throws DamagedRecord; a writer that cannot write throws
// WriteFailed.
class PropertyExchange {
  public:
    virtual ~PropertyExchange() = default;
    // Saving writes kRecordVersion; loading reads the record's own.
    virtual void Version(DWORD& version) = 0;
    virtual void Long(const char* name, LONG& value) = 0;  // i32 and u32 fields
    virtual void Short(const char* name, SHORT& value) = 0;
    virtual void Double(const char* name, double& value) = 0;
    virtual void Text(const char* name, std::string& value) = 0;
    virtual void Bytes(const char* name, Blob& value) = 0;
};

struct DamagedRecord {};
struct WriteFailed {
    HRESULT status;
};

void ExchangeRecord(PropertyExchange& exchange, PersistedRecord& record);

}  // namespace mqacq32
