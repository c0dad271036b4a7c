// Kernel registry calls over the machine's store: object names resolved to a store key, the
// information records with the platform's size rules, and WCHAR strings converted to the store's
// 16-bit text and back.
#include <bit>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "cm/key_handles.h"
#include "kernel/ke.h"
#include "kernel/rules.h"
#include "kernel/zw.h"
#include "registry/encoding.h"
#include "registry/kernel_path.h"

namespace {

using kernel::cm::OpenedKey;
using registry::Status;

NTSTATUS StatusOf(Status status) {
    switch (status) {
        case Status::kOk:
            return STATUS_SUCCESS;
        case Status::kNotFound:
            return STATUS_OBJECT_NAME_NOT_FOUND;
        case Status::kKeyDeleted:
            return STATUS_KEY_DELETED;
        case Status::kInvalidName:
            return STATUS_OBJECT_NAME_INVALID;
        case Status::kNoMoreItems:
            return STATUS_NO_MORE_ENTRIES;
        case Status::kHasSubkeys:
        case Status::kAccessDenied:
            return STATUS_ACCESS_DENIED;
        case Status::kIoError:
        case Status::kCorrupt:
            break;
    }
    return STATUS_UNSUCCESSFUL;
}

bool AtPassive(const char* call) {
    if (KeGetCurrentIrql() == PASSIVE_LEVEL)
        return true;
    kernel::ReportRuleViolation("registry call above PASSIVE_LEVEL", call);
    return true;  // carry on: the store itself does not care
}

// Store names are narrow text: the registry's one rule for every side (registry/encoding.h).
std::string Narrow(const UNICODE_STRING* name) {
    if (name == nullptr || name->Buffer == nullptr)
        return {};
    return registry::NarrowText(std::u16string_view(name->Buffer, name->Length / sizeof(WCHAR)));
}

struct Target {
    OpenedKey base;
    std::string path;
};

// The store key an object name starts from and the path below it.
NTSTATUS ResolveName(const OBJECT_ATTRIBUTES* attributes, Target* target) {
    if (attributes == nullptr || attributes->ObjectName == nullptr)
        return STATUS_INVALID_PARAMETER;
    const std::string name = Narrow(attributes->ObjectName);
    if (attributes->RootDirectory != nullptr) {
        auto base = kernel::cm::LookupKey(attributes->RootDirectory);
        if (!base)
            return STATUS_INVALID_HANDLE;
        if (!name.empty() &&
            (name.front() == '\\' || name.back() == '\\' || name.find("\\\\") != std::string::npos))
            return STATUS_OBJECT_NAME_INVALID;
        target->base = *base;
        target->path = name;
        return STATUS_SUCCESS;
    }
    auto mapped = registry::MapKernelPath(name);
    if (mapped.status == Status::kNotFound)
        return STATUS_OBJECT_PATH_NOT_FOUND;
    if (!mapped.ok())
        return STATUS_OBJECT_NAME_INVALID;
    auto store = registry::MachineStore();
    if (!store)
        return STATUS_UNSUCCESSFUL;
    target->base = {store, store->RootKey(mapped.value.root)};
    target->path = std::move(mapped.value.path);
    return STATUS_SUCCESS;
}

// String values are stored as UTF-16LE, which 16-bit WCHAR text already is on this little-endian
// host; an odd last byte is dropped, as the store keeps whole characters.
static_assert(std::endian::native == std::endian::little);
std::vector<std::uint8_t> StoreDataFromWide(std::uint32_t type, const void* data, ULONG size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (registry::IsStringType(type))
        size -= size % sizeof(WCHAR);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

std::vector<std::uint8_t> WideDataFromStore(const registry::Value& value) {
    std::vector<std::uint8_t> data = value.data;
    if (registry::IsStringType(value.type))
        data.resize(data.size() - data.size() % sizeof(WCHAR));
    return data;
}

void PutName(WCHAR* destination, const std::string& name) {
    const std::u16string wide = registry::WidenText(name);
    std::char_traits<WCHAR>::copy(destination, wide.data(), wide.size());
}

// Copies a record of `needed` bytes whose fixed part is `fixed` bytes: the platform's size rules.
NTSTATUS CopyRecord(const std::vector<std::uint8_t>& record, std::size_t fixed, PVOID out,
                    ULONG length, PULONG resultLength) {
    if (resultLength != nullptr)
        *resultLength = static_cast<ULONG>(record.size());
    if (length < fixed)
        return STATUS_BUFFER_TOO_SMALL;
    if (out == nullptr)
        return STATUS_INVALID_PARAMETER;
    if (length < record.size()) {
        std::memcpy(out, record.data(), fixed);
        return STATUS_BUFFER_OVERFLOW;
    }
    std::memcpy(out, record.data(), record.size());
    return STATUS_SUCCESS;
}

template <class Record>
Record* RecordAt(std::vector<std::uint8_t>& bytes) {
    return reinterpret_cast<Record*>(bytes.data());
}

std::vector<std::uint8_t> FullRecord(const registry::KeyInfo& info) {
    std::vector<std::uint8_t> bytes(offsetof(KEY_FULL_INFORMATION, Class));
    KEY_FULL_INFORMATION full{};
    full.LastWriteTime.QuadPart = static_cast<LONGLONG>(info.lastWriteTime);
    full.ClassOffset = 0xFFFFFFFFu;  // keys carry no class
    full.SubKeys = info.subkeyCount;
    full.MaxNameLen = info.maxSubkeyNameLength * sizeof(WCHAR);
    full.Values = info.valueCount;
    full.MaxValueNameLen = info.maxValueNameLength * sizeof(WCHAR);
    // Stored text is UTF-16LE, as WCHAR text is: data lengths are the same on both sides.
    full.MaxValueDataLen = info.maxValueDataLength;
    std::memcpy(bytes.data(), &full, bytes.size());
    return bytes;
}

NTSTATUS KeyRecord(KEY_INFORMATION_CLASS cls, const std::string& name, std::uint64_t lastWrite,
                   const OpenedKey& key, std::vector<std::uint8_t>* bytes, std::size_t* fixed) {
    const std::size_t nameBytes = name.size() * sizeof(WCHAR);
    switch (cls) {
        case KeyBasicInformation: {
            *fixed = offsetof(KEY_BASIC_INFORMATION, Name);
            bytes->assign(*fixed + nameBytes, 0);
            auto* basic = RecordAt<KEY_BASIC_INFORMATION>(*bytes);
            basic->LastWriteTime.QuadPart = static_cast<LONGLONG>(lastWrite);
            basic->NameLength = static_cast<ULONG>(nameBytes);
            PutName(reinterpret_cast<WCHAR*>(bytes->data() + *fixed), name);
            return STATUS_SUCCESS;
        }
        case KeyNodeInformation: {
            *fixed = offsetof(KEY_NODE_INFORMATION, Name);
            bytes->assign(*fixed + nameBytes, 0);
            auto* node = RecordAt<KEY_NODE_INFORMATION>(*bytes);
            node->LastWriteTime.QuadPart = static_cast<LONGLONG>(lastWrite);
            node->ClassOffset = 0xFFFFFFFFu;
            node->NameLength = static_cast<ULONG>(nameBytes);
            PutName(reinterpret_cast<WCHAR*>(bytes->data() + *fixed), name);
            return STATUS_SUCCESS;
        }
        case KeyFullInformation: {
            auto info = key.store->QueryInfo(key.id);
            if (!info.ok())
                return StatusOf(info.status);
            *bytes = FullRecord(info.value);
            *fixed = bytes->size();
            return STATUS_SUCCESS;
        }
    }
    return STATUS_INVALID_PARAMETER;
}

NTSTATUS OpenOrCreate(PHANDLE handle, POBJECT_ATTRIBUTES attributes, bool create,
                      PULONG disposition) {
    if (handle == nullptr)
        return STATUS_INVALID_PARAMETER;
    *handle = nullptr;
    Target target;
    NTSTATUS status = ResolveName(attributes, &target);
    if (!NT_SUCCESS(status))
        return status;
    registry::Store& store = *target.base.store;
    registry::KeyId id;
    if (create) {
        auto created = store.CreateKey(target.base.id, target.path);
        if (!created.ok())
            return StatusOf(created.status);
        id = created.value.id;
        if (disposition != nullptr)
            *disposition = created.value.created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    } else {
        auto opened = store.OpenKey(target.base.id, target.path);
        if (!opened.ok())
            return StatusOf(opened.status);
        id = opened.value;
    }
    *handle = kernel::cm::InsertKey({target.base.store, id});
    return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS ZwCreateKey(PHANDLE KeyHandle, ACCESS_MASK, POBJECT_ATTRIBUTES ObjectAttributes, ULONG,
                     PUNICODE_STRING, ULONG, PULONG Disposition) {
    AtPassive("ZwCreateKey");
    return OpenOrCreate(KeyHandle, ObjectAttributes, true, Disposition);
}

NTSTATUS ZwOpenKey(PHANDLE KeyHandle, ACCESS_MASK, POBJECT_ATTRIBUTES ObjectAttributes) {
    AtPassive("ZwOpenKey");
    return OpenOrCreate(KeyHandle, ObjectAttributes, false, nullptr);
}

NTSTATUS ZwQueryValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName,
                         KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass,
                         PVOID KeyValueInformation, ULONG Length, PULONG ResultLength) {
    AtPassive("ZwQueryValueKey");
    auto key = kernel::cm::LookupKey(KeyHandle);
    if (!key)
        return STATUS_INVALID_HANDLE;
    if (KeyValueInformationClass != KeyValuePartialInformation)
        return STATUS_INVALID_PARAMETER;
    auto value = key->store->QueryValue(key->id, Narrow(ValueName));
    if (!value.ok())
        return StatusOf(value.status);
    const std::vector<std::uint8_t> data = WideDataFromStore(value.value);
    constexpr std::size_t kFixed = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
    std::vector<std::uint8_t> record(kFixed + data.size());
    KEY_VALUE_PARTIAL_INFORMATION head{};
    head.Type = value.value.type;
    head.DataLength = static_cast<ULONG>(data.size());
    std::memcpy(record.data(), &head, kFixed);
    if (!data.empty())
        std::memcpy(record.data() + kFixed, data.data(), data.size());
    return CopyRecord(record, kFixed, KeyValueInformation, Length, ResultLength);
}

NTSTATUS ZwSetValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName, ULONG, ULONG Type, PVOID Data,
                       ULONG DataSize) {
    AtPassive("ZwSetValueKey");
    auto key = kernel::cm::LookupKey(KeyHandle);
    if (!key)
        return STATUS_INVALID_HANDLE;
    if (Data == nullptr && DataSize != 0)
        return STATUS_INVALID_PARAMETER;
    const auto stored = StoreDataFromWide(Type, Data, Data == nullptr ? 0 : DataSize);
    return StatusOf(key->store->SetValue(key->id, Narrow(ValueName), Type, stored));
}

NTSTATUS ZwEnumerateKey(HANDLE KeyHandle, ULONG Index, KEY_INFORMATION_CLASS KeyInformationClass,
                        PVOID KeyInformation, ULONG Length, PULONG ResultLength) {
    AtPassive("ZwEnumerateKey");
    auto key = kernel::cm::LookupKey(KeyHandle);
    if (!key)
        return STATUS_INVALID_HANDLE;
    auto subkey = key->store->EnumerateSubkey(key->id, Index);
    if (!subkey.ok())
        return StatusOf(subkey.status);
    OpenedKey child = *key;
    if (KeyInformationClass == KeyFullInformation) {
        auto opened = key->store->OpenKey(key->id, subkey.value.name);
        if (!opened.ok())
            return StatusOf(opened.status);
        child.id = opened.value;
    }
    std::vector<std::uint8_t> record;
    std::size_t fixed = 0;
    NTSTATUS status = KeyRecord(KeyInformationClass, subkey.value.name, subkey.value.lastWriteTime,
                                child, &record, &fixed);
    if (!NT_SUCCESS(status))
        return status;
    return CopyRecord(record, fixed, KeyInformation, Length, ResultLength);
}

NTSTATUS ZwQueryKey(HANDLE KeyHandle, KEY_INFORMATION_CLASS KeyInformationClass,
                    PVOID KeyInformation, ULONG Length, PULONG ResultLength) {
    AtPassive("ZwQueryKey");
    auto key = kernel::cm::LookupKey(KeyHandle);
    if (!key)
        return STATUS_INVALID_HANDLE;
    if (KeyInformationClass != KeyFullInformation)
        return STATUS_INVALID_PARAMETER;  // names of opened keys are not kept
    std::vector<std::uint8_t> record;
    std::size_t fixed = 0;
    NTSTATUS status = KeyRecord(KeyInformationClass, {}, 0, *key, &record, &fixed);
    if (!NT_SUCCESS(status))
        return status;
    return CopyRecord(record, fixed, KeyInformation, Length, ResultLength);
}

NTSTATUS ZwDeleteKey(HANDLE KeyHandle) {
    AtPassive("ZwDeleteKey");
    auto key = kernel::cm::LookupKey(KeyHandle);
    if (!key)
        return STATUS_INVALID_HANDLE;
    const Status status = key->store->DeleteKey(key->id);
    if (status == Status::kHasSubkeys || status == Status::kAccessDenied)
        return STATUS_CANNOT_DELETE;
    return StatusOf(status);
}

NTSTATUS ZwClose(HANDLE Handle) {
    return kernel::cm::RemoveKey(Handle) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}
