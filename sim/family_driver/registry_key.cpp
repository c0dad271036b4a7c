#include "registry_key.h"

#include <cstddef>
#include <vector>
#include "kernel/wide.h"

namespace sim {
namespace {

UNICODE_STRING Counted(const std::u16string& text) {
    return {static_cast<USHORT>(text.size() * sizeof(WCHAR)),
            static_cast<USHORT>(text.size() * sizeof(WCHAR)), const_cast<PWSTR>(text.c_str())};
}

}  // namespace

std::u16string Widen(const std::string& text) {
    return kernel::WideFromNarrow(text);
}

std::string Narrow(const std::u16string& text) {
    return kernel::NarrowFromWide(text);
}

NTSTATUS RegistryKey::OpenOrCreate(const std::u16string& path, const RegistryKey* parent,
                                   bool create) {
    Close();
    UNICODE_STRING name = Counted(path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               parent != nullptr ? parent->handle_ : nullptr, nullptr);
    if (create)
        return ZwCreateKey(&handle_, KEY_ALL_ACCESS, &attributes, 0, nullptr,
                           REG_OPTION_NON_VOLATILE, nullptr);
    return ZwOpenKey(&handle_, KEY_ALL_ACCESS, &attributes);
}

NTSTATUS RegistryKey::Create(const std::u16string& path, const RegistryKey* parent) {
    return OpenOrCreate(path, parent, true);
}

NTSTATUS RegistryKey::Open(const std::u16string& path, const RegistryKey* parent) {
    return OpenOrCreate(path, parent, false);
}

void RegistryKey::Close() {
    if (handle_ != nullptr)
        ZwClose(handle_);
    handle_ = nullptr;
}

NTSTATUS RegistryKey::SetString(const std::u16string& name, const std::u16string& value) {
    UNICODE_STRING valueName = Counted(name);
    return ZwSetValueKey(handle_, &valueName, 0, REG_SZ, const_cast<char16_t*>(value.c_str()),
                         static_cast<ULONG>((value.size() + 1) * sizeof(WCHAR)));
}

NTSTATUS RegistryKey::SetDword(const std::u16string& name, std::uint32_t value) {
    UNICODE_STRING valueName = Counted(name);
    ULONG data = value;
    return ZwSetValueKey(handle_, &valueName, 0, REG_DWORD, &data, sizeof data);
}

std::optional<std::u16string> RegistryKey::QueryString(const std::u16string& name) {
    UNICODE_STRING valueName = Counted(name);
    ULONG needed = 0;
    NTSTATUS status =
        ZwQueryValueKey(handle_, &valueName, KeyValuePartialInformation, nullptr, 0, &needed);
    if (status != STATUS_BUFFER_TOO_SMALL && status != STATUS_BUFFER_OVERFLOW)
        return std::nullopt;
    std::vector<std::uint8_t> buffer(needed);
    status = ZwQueryValueKey(handle_, &valueName, KeyValuePartialInformation, buffer.data(), needed,
                             &needed);
    if (!NT_SUCCESS(status))
        return std::nullopt;
    const auto* info = reinterpret_cast<const KEY_VALUE_PARTIAL_INFORMATION*>(buffer.data());
    if (info->Type != REG_SZ)
        return std::nullopt;
    std::u16string text(reinterpret_cast<const char16_t*>(info->Data),
                        info->DataLength / sizeof(WCHAR));
    while (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

std::optional<std::uint32_t> RegistryKey::SubkeyCount() {
    KEY_FULL_INFORMATION info{};
    ULONG length = 0;
    if (!NT_SUCCESS(ZwQueryKey(handle_, KeyFullInformation, &info, sizeof info, &length)))
        return std::nullopt;
    return info.SubKeys;
}

}  // namespace sim
