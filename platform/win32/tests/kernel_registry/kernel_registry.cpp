#include "kernel_registry.h"

#include <cstring>
#include <vector>

#include "kernel/wdm.h"
#include "kernel/zw.h"

namespace kernel_registry {
namespace {

// A counted string of 16-bit text, whatever the width of WCHAR.
struct Counted {
    explicit Counted(const std::u16string& text) : buffer(text.begin(), text.end()) {
        string.Buffer = buffer.data();
        string.Length = static_cast<USHORT>(buffer.size() * sizeof(WCHAR));
        string.MaximumLength = string.Length;
    }
    std::vector<WCHAR> buffer;
    UNICODE_STRING string{};
};

}  // namespace

std::int32_t SetDword(const std::u16string& key, const std::u16string& value, std::uint32_t data) {
    Counted name(key), valueName(value);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name.string, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE handle = nullptr;
    NTSTATUS status = ZwCreateKey(&handle, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr);
    if (!NT_SUCCESS(status))
        return status;
    status = ZwSetValueKey(handle, &valueName.string, 0, REG_DWORD, &data, sizeof data);
    ZwClose(handle);
    return status;
}

std::int32_t GetDword(const std::u16string& key, const std::u16string& value, std::uint32_t* data) {
    Counted name(key), valueName(value);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name.string, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE handle = nullptr;
    NTSTATUS status = ZwOpenKey(&handle, KEY_READ, &attributes);
    if (!NT_SUCCESS(status))
        return status;
    UCHAR record[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(std::uint32_t)];
    ULONG length = 0;
    status = ZwQueryValueKey(handle, &valueName.string, KeyValuePartialInformation, record,
                             sizeof record, &length);
    ZwClose(handle);
    if (NT_SUCCESS(status))
        std::memcpy(data, reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(record)->Data,
                    sizeof *data);
    return status;
}

}  // namespace kernel_registry
