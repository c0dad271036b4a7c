#include "framework/registry_key.h"

#include <cstddef>

#include "framework/pool.h"

namespace wdm {
namespace {

constexpr ULONG kValueHeader = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
constexpr ULONG kNodeBufferBytes = 232;

UNICODE_STRING View(PCWSTR text) {
    UNICODE_STRING string;
    RtlInitUnicodeString(&string, text);
    return string;
}

// Pool block freed at scope exit.
struct PoolBlock {
    void* block = nullptr;
    ~PoolBlock() { PoolFree(block); }
};

}  // namespace

PCWSTR RegistryRootPath(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::Services:
            return u"\\Registry\\Machine\\System\\CurrentControlSet\\Services";
        case RegistryRoot::Control:
            return u"\\Registry\\Machine\\System\\CurrentControlSet\\Control";
        case RegistryRoot::WindowsNtCurrentVersion:
            return u"\\Registry\\Machine\\Software\\Microsoft\\Windows NT\\CurrentVersion";
        case RegistryRoot::DeviceMap:
            return u"\\REGISTRY\\Machine\\HARDWARE\\DEVICEMAP";
        case RegistryRoot::User:
            return u"\\Registry\\User";
        default:
            return u"";
    }
}

NTSTATUS RegistryKey::Open(RegistryRoot root, PCWSTR subPath, ACCESS_MASK access, bool create,
                           ULONG createOptions) {
    return Open(RegistryRootPath(root), subPath, access, create, createOptions);
}

NTSTATUS RegistryKey::Open(PCWSTR parent, PCWSTR subPath, ACCESS_MASK access, bool create,
                           ULONG createOptions) {
    Close();
    enumerationIndex_ = 0;
    disposition_ = 0;
    const SIZE_T parentLength = WideLength(parent);
    const SIZE_T subLength = WideLength(subPath);
    const bool separator = parentLength > 0 && subLength > 0 && parent[parentLength - 1] != u'\\' &&
                           subPath[0] != u'\\';
    const SIZE_T length = parentLength + (separator ? 1 : 0) + subLength;
    if ((length + 1) * kCharBytes > CountedString::kMaxBytes)
        return status_ = STATUS_OBJECT_NAME_INVALID;
    CountedString path;
    if (!NT_SUCCESS(path.Make(static_cast<ULONG>((length + 1) * kCharBytes), PagedPool)))
        return status_ = STATUS_INSUFFICIENT_RESOURCES;
    path.Append(parent);
    if (separator)
        path.Append(u"\\");
    path.Append(subPath);

    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, path.Get(), OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    HANDLE handle = nullptr;
    if (create)
        status_ =
            ZwCreateKey(&handle, access, &attributes, 0, nullptr, createOptions, &disposition_);
    else
        status_ = ZwOpenKey(&handle, access, &attributes);
    if (NT_SUCCESS(status_))
        handle_ = handle;
    return status_;
}

void RegistryKey::Close() {
    if (handle_ != nullptr)
        ZwClose(handle_);
    handle_ = nullptr;
}

NTSTATUS RegistryKey::QueryPartial(PCWSTR name, ULONG dataBytes,
                                   PKEY_VALUE_PARTIAL_INFORMATION* record, PULONG resultLength) {
    *record = nullptr;
    const ULONGLONG bytes = ULONGLONG{dataBytes} + kValueHeader;
    if (bytes > 0xFFFFFFFFull)
        return STATUS_INSUFFICIENT_RESOURCES;
    auto* block = static_cast<PKEY_VALUE_PARTIAL_INFORMATION>(
        PoolAllocate(PagedPool, static_cast<SIZE_T>(bytes)));
    if (block == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    UNICODE_STRING valueName = View(name);
    const NTSTATUS status = ZwQueryValueKey(handle_, &valueName, KeyValuePartialInformation, block,
                                            static_cast<ULONG>(bytes), resultLength);
    *record = block;
    return status;
}

NTSTATUS RegistryKey::QueryValue(PCWSTR name, PULONG type, PULONG size, PVOID data) {
    PKEY_VALUE_PARTIAL_INFORMATION record = nullptr;
    ULONG result = 0;
    const NTSTATUS status = QueryPartial(name, *size, &record, &result);
    PoolBlock owner{record};
    if (status == STATUS_BUFFER_OVERFLOW || status == STATUS_BUFFER_TOO_SMALL) {
        *size = result > kValueHeader ? result - kValueHeader : 0;
        return STATUS_BUFFER_OVERFLOW;
    }
    if (!NT_SUCCESS(status))
        return status;
    *type = record->Type;
    *size = record->DataLength;
    if (record->DataLength > 0)
        RtlCopyMemory(data, record->Data, record->DataLength);
    return STATUS_SUCCESS;
}

NTSTATUS RegistryKey::QueryDword(PCWSTR name, PULONG value) {
    ULONG type = REG_NONE;
    ULONG size = sizeof(ULONG);
    ULONG data = 0;
    const NTSTATUS status = QueryValue(name, &type, &size, &data);
    if (status == STATUS_BUFFER_OVERFLOW)
        return STATUS_OBJECT_TYPE_MISMATCH;  // longer than a DWORD: not one
    if (!NT_SUCCESS(status))
        return status;
    if (type != REG_DWORD || size != sizeof(ULONG))
        return STATUS_OBJECT_TYPE_MISMATCH;
    *value = data;
    return STATUS_SUCCESS;
}

NTSTATUS RegistryKey::QueryString(PCWSTR name, PWSTR* buffer, PULONG size, POOL_TYPE pool) {
    ULONG dataBytes = *size;
    const bool allocate = dataBytes == 0;
    if (allocate) {
        // Ask for the size with a record that holds no data.
        PKEY_VALUE_PARTIAL_INFORMATION probe = nullptr;
        ULONG result = 0;
        const NTSTATUS status = QueryPartial(name, 0, &probe, &result);
        PoolBlock probeOwner{probe};
        if (status != STATUS_SUCCESS && status != STATUS_BUFFER_OVERFLOW &&
            status != STATUS_BUFFER_TOO_SMALL)
            return status;
        dataBytes = result > kValueHeader ? result - kValueHeader : 0;
        if (dataBytes == 0)
            return STATUS_INSUFFICIENT_RESOURCES;
    }

    PKEY_VALUE_PARTIAL_INFORMATION record = nullptr;
    ULONG result = 0;
    NTSTATUS status = QueryPartial(name, dataBytes, &record, &result);
    PoolBlock owner{record};
    if (!NT_SUCCESS(status))
        return status == STATUS_BUFFER_TOO_SMALL ? STATUS_BUFFER_OVERFLOW : status;
    if (record->Type != REG_SZ)
        return STATUS_OBJECT_TYPE_MISMATCH;

    // The text is the data up to its first terminator, whole characters only.
    const auto* text = reinterpret_cast<const WCHAR*>(record->Data);
    SIZE_T characters = 0;
    while (characters < record->DataLength / kCharBytes && text[characters] != u'\0')
        ++characters;
    const SIZE_T needed = (characters + 1) * kCharBytes;

    PWSTR destination = *buffer;
    if (allocate) {
        // The data length and room for a terminator that the stored data may lack.
        const SIZE_T bytes = SIZE_T{dataBytes} + kCharBytes;
        destination = static_cast<PWSTR>(PoolAllocate(pool, bytes));
        if (destination == nullptr)
            return STATUS_INSUFFICIENT_RESOURCES;
    } else if (destination == nullptr || needed > *size) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    RtlCopyMemory(destination, text, characters * kCharBytes);
    destination[characters] = u'\0';
    *buffer = destination;
    *size = static_cast<ULONG>(needed);
    return STATUS_SUCCESS;
}

NTSTATUS RegistryKey::EnumerateNextSubkey(CountedString* name, CountedString* keyClass,
                                          SubkeyInformation* information) {
    const ULONG index = enumerationIndex_++;
    ULONG bytes = kNodeBufferBytes;
    PoolBlock node{PoolAllocate(PagedPool, bytes)};
    if (node.block == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    ULONG result = 0;
    NTSTATUS status =
        ZwEnumerateKey(handle_, index, KeyNodeInformation, node.block, bytes, &result);
    if (status == STATUS_BUFFER_OVERFLOW || status == STATUS_BUFFER_TOO_SMALL) {
        PoolFree(node.block);
        bytes = result;
        node.block = PoolAllocate(PagedPool, bytes);
        if (node.block == nullptr)
            return STATUS_INSUFFICIENT_RESOURCES;
        status = ZwEnumerateKey(handle_, index, KeyNodeInformation, node.block, bytes, &result);
    }
    if (!NT_SUCCESS(status))
        return status;

    const auto* record = static_cast<const KEY_NODE_INFORMATION*>(node.block);
    if (name != nullptr) {
        UNICODE_STRING part{static_cast<USHORT>(record->NameLength),
                            static_cast<USHORT>(record->NameLength),
                            const_cast<PWSTR>(record->Name)};
        if (record->NameLength > CountedString::kMaxBytes || !NT_SUCCESS(name->CopyFrom(&part)))
            return STATUS_BUFFER_OVERFLOW;
    }
    if (keyClass != nullptr) {
        UNICODE_STRING part{0, 0, nullptr};
        if (record->ClassLength > 0) {
            part.Length = part.MaximumLength = static_cast<USHORT>(record->ClassLength);
            part.Buffer =
                reinterpret_cast<PWSTR>(static_cast<char*>(node.block) + record->ClassOffset);
        }
        if (record->ClassLength > CountedString::kMaxBytes ||
            !NT_SUCCESS(keyClass->CopyFrom(&part)))
            return STATUS_BUFFER_OVERFLOW;
    }
    if (information == nullptr)
        return STATUS_SUCCESS;

    KEY_FULL_INFORMATION full{};
    status = ZwEnumerateKey(handle_, index, KeyFullInformation, &full, sizeof(full), &result);
    if (status == STATUS_BUFFER_OVERFLOW)
        status = STATUS_SUCCESS;  // the fixed part is all that is asked for
    if (!NT_SUCCESS(status))
        return status;
    information->nameLength = record->NameLength;
    information->classLength = full.ClassLength;
    information->subkeys = full.SubKeys;
    information->values = full.Values;
    information->maxSubkeyNameLength = full.MaxNameLen;
    information->maxClassLength = full.MaxClassLen;
    information->maxValueNameLength = full.MaxValueNameLen;
    information->maxValueDataLength = full.MaxValueDataLen;
    information->lastWriteTime = full.LastWriteTime;
    return STATUS_SUCCESS;
}

NTSTATUS RegistryKey::WriteDword(PCWSTR name, ULONG value) {
    UNICODE_STRING valueName = View(name);
    return ZwSetValueKey(handle_, &valueName, 0, REG_DWORD, &value, sizeof(value));
}

NTSTATUS RegistryKey::WriteString(PCWSTR name, PCWSTR text) {
    UNICODE_STRING valueName = View(name);
    return ZwSetValueKey(handle_, &valueName, 0, REG_SZ, const_cast<PWSTR>(text),
                         static_cast<ULONG>(WideByteLength(text) + kCharBytes));
}

}  // namespace wdm
