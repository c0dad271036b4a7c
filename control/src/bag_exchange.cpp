#include "bag_exchange.h"

#include <optional>
#include <string>

namespace mqacq32 {
namespace {

constexpr const char* kVersionName = "_Version";
constexpr char kDigits[] = "0123456789ABCDEF";
constexpr int kNibbleBits = 4;
constexpr std::uint8_t kNibbleMask = 0x0F;

std::u16string Wide(const char* name) {
    return std::u16string(name, name + std::char_traits<char>::length(name));
}

std::string HexOf(const Blob& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> kNibbleBits]);
        text.push_back(kDigits[byte & kNibbleMask]);
    }
    return text;
}

std::optional<std::uint8_t> Nibble(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<std::uint8_t>(c - 'a' + 10);
    return std::nullopt;
}

std::optional<Blob> BytesOf(const std::string& text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    Blob bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto high = Nibble(text[i]);
        const auto low = Nibble(text[i + 1]);
        if (!high || !low)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(*high << kNibbleBits | *low));
    }
    return bytes;
}

}  // namespace

void BagWriter::Put(const char* name, VARIANT& value) {
    const std::u16string wide = Wide(name);
    const HRESULT status = bag_->Write(wide.c_str(), &value);
    if (FAILED(status))
        throw WriteFailed{status};
}

void BagWriter::Version(DWORD& version) {
    version = kRecordVersion;
    com::Variant value = com::Variant::Long(static_cast<LONG>(version));
    Put(kVersionName, value);
}

void BagWriter::Long(const char* name, LONG& value) {
    com::Variant v = com::Variant::Long(value);
    Put(name, v);
}

void BagWriter::Short(const char* name, SHORT& value) {
    com::Variant v = com::Variant::Short(value);
    Put(name, v);
}

void BagWriter::Double(const char* name, double& value) {
    com::Variant v = com::Variant::Double(value);
    Put(name, v);
}

void BagWriter::Text(const char* name, std::string& value) {
    com::Variant v = com::Variant::Text(value);
    Put(name, v);
}

void BagWriter::Bytes(const char* name, Blob& value) {
    com::Variant v = com::Variant::Text(HexOf(value));
    Put(name, v);
}

bool BagReader::Get(const char* name, VARTYPE type, VARIANT* value) {
    const std::u16string wide = Wide(name);
    value->vt = type;
    if (SUCCEEDED(bag_->Read(wide.c_str(), value, log_)) && value->vt == type)
        return true;
    if (value->vt == type)
        VariantInit(value);  // the type asked for, with nothing of the bag's in it
    else
        VariantClear(value);  // a bag that answered another type: what it gave is freed
    return false;
}

void BagReader::Version(DWORD& version) {
    com::Variant v;
    if (Get(kVersionName, VT_I4, &v))
        version = static_cast<DWORD>(v.lVal);
}

void BagReader::Long(const char* name, LONG& value) {
    com::Variant v;
    if (Get(name, VT_I4, &v))
        value = v.lVal;
}

void BagReader::Short(const char* name, SHORT& value) {
    com::Variant v;
    if (Get(name, VT_I2, &v))
        value = v.iVal;
}

void BagReader::Double(const char* name, double& value) {
    com::Variant v;
    if (Get(name, VT_R8, &v))
        value = v.dblVal;
}

void BagReader::Text(const char* name, std::string& value) {
    com::Variant v;
    if (Get(name, VT_BSTR, &v))
        value = com::NarrowFromBstr(v.bstrVal);
}

void BagReader::Bytes(const char* name, Blob& value) {
    com::Variant v;
    if (!Get(name, VT_BSTR, &v))
        return;
    if (auto bytes = BytesOf(com::NarrowFromBstr(v.bstrVal)))
        value = std::move(*bytes);
}

}  // namespace mqacq32
