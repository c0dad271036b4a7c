#include "stream_exchange.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace mqacq32 {
namespace {

static_assert(std::endian::native == std::endian::little, "the record is little-endian");

constexpr std::uint8_t kLongerLength = 0xFF;      // a u16 length follows
constexpr std::uint16_t kLongestLength = 0xFFFF;  // a u32 length follows
constexpr std::size_t kByteLengthLimit = 255;     // lengths below it take one byte
constexpr std::size_t kWordLengthLimit = 65534;   // lengths below it take a u16
// Long lengths are read a piece at a time, so that only bytes the stream has are held.
constexpr std::size_t kReadPiece = 4096;

}  // namespace

void StreamWriter::Put(const void* bytes, std::size_t count) {
    written_ += count;
    if (stream_ == nullptr || count == 0)
        return;
    ULONG put = 0;
    const HRESULT status = stream_->Write(bytes, static_cast<ULONG>(count), &put);
    if (FAILED(status))
        throw WriteFailed{status};
    if (put != count)
        throw WriteFailed{STG_E_MEDIUMFULL};
}

template <typename T>
void StreamWriter::PutValue(T value) {
    Put(&value, sizeof(value));
}

void StreamWriter::Version(DWORD& version) {
    version = kRecordVersion;
    PutValue(version);
}

void StreamWriter::Long(const char*, LONG& value) {
    PutValue(value);
}

void StreamWriter::Short(const char*, SHORT& value) {
    PutValue(value);
}

void StreamWriter::Double(const char*, double& value) {
    PutValue(value);
}

void StreamWriter::Text(const char*, std::string& value) {
    const std::size_t length = value.size();
    if (length < kByteLengthLimit) {
        PutValue(static_cast<std::uint8_t>(length));
    } else if (length < kWordLengthLimit) {
        PutValue(kLongerLength);
        PutValue(static_cast<std::uint16_t>(length));
    } else {
        PutValue(kLongerLength);
        PutValue(kLongestLength);
        PutValue(static_cast<std::uint32_t>(length));
    }
    Put(value.data(), length);
}

void StreamWriter::Bytes(const char*, Blob& value) {
    PutValue(static_cast<std::uint32_t>(value.size()));
    Put(value.data(), value.size());
}

void StreamReader::Get(void* bytes, std::size_t count) {
    ULONG got = 0;
    const HRESULT status = stream_->Read(bytes, static_cast<ULONG>(count), &got);
    if (FAILED(status) || got != count)
        throw DamagedRecord{};
}

template <typename T>
T StreamReader::GetValue() {
    T value{};
    Get(&value, sizeof(value));
    return value;
}

Blob StreamReader::GetBytes(std::uint64_t count) {
    Blob bytes;
    while (bytes.size() < count) {
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - bytes.size(), kReadPiece));
        const std::size_t at = bytes.size();
        bytes.resize(at + piece);
        Get(bytes.data() + at, piece);
    }
    return bytes;
}

void StreamReader::Version(DWORD& version) {
    version = GetValue<DWORD>();
}

void StreamReader::Long(const char*, LONG& value) {
    value = GetValue<LONG>();
}

void StreamReader::Short(const char*, SHORT& value) {
    value = GetValue<SHORT>();
}

void StreamReader::Double(const char*, double& value) {
    value = GetValue<double>();
}

void StreamReader::Text(const char*, std::string& value) {
    std::uint64_t length = GetValue<std::uint8_t>();
    if (length == kLongerLength) {
        length = GetValue<std::uint16_t>();
        if (length == kLongestLength)
            length = GetValue<std::uint32_t>();
    }
    const Blob bytes = GetBytes(length);
    value.assign(bytes.begin(), bytes.end());
}

void StreamReader::Bytes(const char*, Blob& value) {
    value = GetBytes(GetValue<std::uint32_t>());
}

}  // namespace mqacq32
