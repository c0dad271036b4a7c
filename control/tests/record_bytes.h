// The control's saved record as the tests write it themselves, field by field in the stream's
// order and widths (little-endian), so that what the control saves can be compared byte for byte
// and records of other versions, or damaged ones, can be made.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "win32/types.h"

namespace controltest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr DWORD kVersion26 = 0x00020006u;
inline constexpr DWORD kVersion25 = 0x00020005u;
inline constexpr DWORD kVersion20 = 0x00020000u;
inline constexpr DWORD kVersion10 = 0x00010000u;

// Every field, with the values a new control holds.
struct RecordFields {
    DWORD version = kVersion26;
    LONG extentWidth = 2540;
    LONG extentHeight = 2540;
    DWORD stockProperties = 2;
    std::string caption = "MQAcq32";
    std::string board;
    SHORT ssType = 0;
    SHORT ssElement = 0;
    double frequency = 0.0;
    SHORT dmaUsage = 0;
    SHORT triggeredScan = -1;
    SHORT channelType = -1;
    SHORT encoding = -1;
    SHORT trigger = -1;
    SHORT clockSource = -1;
    double retriggerFreq = 0.0;
    DWORD clockDivider = 0;
    SHORT resolution = 0;
    SHORT range = -1;
    SHORT dataFlow = -1;
    SHORT wrapMode = -1;
    SHORT gateType = -1;
    SHORT pulseType = -1;
    double pulseWidth = 0.0;
    SHORT ctMode = -1;
    SHORT cascadeMode = -1;
    SHORT syncDioUsage = -1;
    DWORD transferSize = 0;
    DWORD transferCount = 0;
    DWORD listSize = 0;
    SHORT retriggerMode = -1;
    Bytes channelList;
    Bytes gainList;
    Bytes inhibitList;
    Bytes filterList;
    Bytes dioList;
    DWORD multiScanCount = 0;
    SHORT preTrigger = -1;
    SHORT retrigger = -1;
    SHORT measureStartEdge = -1;
    SHORT measureStopEdge = -1;
    SHORT clockPrescale = 255;
    SHORT x4Scaling = 0;
    SHORT indexInput = 0;
};

class RecordWriter {
  public:
    template <typename T>
    RecordWriter& value(T v) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&v);
        bytes_.insert(bytes_.end(), bytes, bytes + sizeof(T));
        return *this;
    }
    RecordWriter& raw(const Bytes& bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    RecordWriter& text(const std::string& s) {
        constexpr std::size_t kByteLimit = 255;
        constexpr std::size_t kWordLimit = 65534;
        if (s.size() < kByteLimit) {
            value(static_cast<std::uint8_t>(s.size()));
        } else if (s.size() < kWordLimit) {
            value(std::uint8_t{0xFF}).value(static_cast<std::uint16_t>(s.size()));
        } else {
            value(std::uint8_t{0xFF}).value(std::uint16_t{0xFFFF});
            value(static_cast<std::uint32_t>(s.size()));
        }
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        return *this;
    }
    RecordWriter& blob(const Bytes& b) {
        value(static_cast<std::uint32_t>(b.size()));
        return raw(b);
    }

    // Fields up to RetriggerMode, before the blobs.
    RecordWriter& head(const RecordFields& f) {
        value(f.version).value(f.extentWidth).value(f.extentHeight).value(f.stockProperties);
        text(f.caption).text(f.board).value(f.ssType).value(f.ssElement).value(f.frequency);
        value(f.dmaUsage).value(f.triggeredScan).value(f.channelType).value(f.encoding);
        value(f.trigger).value(f.clockSource).value(f.retriggerFreq).value(f.clockDivider);
        value(f.resolution).value(f.range).value(f.dataFlow).value(f.wrapMode).value(f.gateType);
        value(f.pulseType).value(f.pulseWidth).value(f.ctMode).value(f.cascadeMode);
        value(f.syncDioUsage).value(f.transferSize).value(f.transferCount).value(f.listSize);
        return value(f.retriggerMode);
    }
    RecordWriter& blobs(const RecordFields& f) {
        return blob(f.channelList)
            .blob(f.gainList)
            .blob(f.inhibitList)
            .blob(f.filterList)
            .blob(f.dioList);
    }
    // The fields of the versions from 2.0 on, as far as the record's version has them.
    RecordWriter& tail(const RecordFields& f) {
        if (f.version >= kVersion20)
            value(f.multiScanCount).value(f.preTrigger).value(f.retrigger);
        if (f.version >= kVersion25)
            value(f.measureStartEdge).value(f.measureStopEdge);
        if (f.version >= kVersion26)
            value(f.clockPrescale).value(f.x4Scaling).value(f.indexInput);
        return *this;
    }

    const Bytes& bytes() const { return bytes_; }

  private:
    Bytes bytes_;
};

inline Bytes Encode(const RecordFields& fields) {
    RecordWriter writer;
    writer.head(fields).blobs(fields).tail(fields);
    return writer.bytes();
}

// A list's entries as a blob holds them.
template <typename Entry>
Bytes EntriesOf(std::initializer_list<Entry> entries) {
    RecordWriter writer;
    for (Entry entry : entries)
        writer.value(entry);
    return writer.bytes();
}

}  // namespace controltest
