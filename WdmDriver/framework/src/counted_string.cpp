#include "framework/counted_string.h"

#include <utility>

#include "framework/pool.h"

namespace wdm {

SIZE_T WideLength(PCWSTR text) {
    SIZE_T length = 0;
    if (text != nullptr)
        while (text[length] != u'\0')
            ++length;
    return length;
}

SIZE_T WideByteLength(PCWSTR text) {
    return WideLength(text) * kCharBytes;
}

NTSTATUS WideCopy(PWSTR destination, SIZE_T destinationBytes, PCWSTR source) {
    const SIZE_T length = WideLength(source);
    if ((length + 1) * kCharBytes > destinationBytes)
        return STATUS_BUFFER_TOO_SMALL;
    RtlCopyMemory(destination, source, length * kCharBytes);
    destination[length] = u'\0';
    return STATUS_SUCCESS;
}

NTSTATUS WideAppend(PWSTR destination, SIZE_T destinationBytes, PCWSTR source) {
    const SIZE_T used = WideByteLength(destination);
    if (used + kCharBytes > destinationBytes)
        return STATUS_BUFFER_TOO_SMALL;
    return WideCopy(destination + used / kCharBytes, destinationBytes - used, source);
}

CountedString::~CountedString() {
    Free();
}

CountedString::CountedString(CountedString&& other) noexcept
    : string_(std::exchange(other.string_, UNICODE_STRING{0, 0, nullptr})),
      owned_(std::exchange(other.owned_, false)) {}

CountedString& CountedString::operator=(CountedString&& other) noexcept {
    if (this != &other) {
        Free();
        string_ = std::exchange(other.string_, UNICODE_STRING{0, 0, nullptr});
        owned_ = std::exchange(other.owned_, false);
    }
    return *this;
}

void CountedString::Free() {
    if (owned_)
        PoolFree(string_.Buffer);
    string_ = {0, 0, nullptr};
    owned_ = false;
}

NTSTATUS CountedString::Make(ULONG capacityBytes, POOL_TYPE pool) {
    Free();
    capacityBytes = capacityBytes / kCharBytes * kCharBytes;
    if (capacityBytes < kCharBytes || capacityBytes > kMaxBytes)
        return STATUS_INSUFFICIENT_RESOURCES;
    auto* buffer = static_cast<PWSTR>(PoolAllocate(pool, capacityBytes));
    if (buffer == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    string_ = {0, static_cast<USHORT>(capacityBytes), buffer};
    owned_ = true;
    return STATUS_SUCCESS;
}

void CountedString::Attach(PWSTR buffer, USHORT capacityBytes) {
    Free();
    string_ = {0, static_cast<USHORT>(capacityBytes / kCharBytes * kCharBytes), buffer};
    Terminate();
}

void CountedString::Terminate() {
    if (string_.Buffer != nullptr && string_.Length + kCharBytes <= string_.MaximumLength)
        string_.Buffer[string_.Length / kCharBytes] = u'\0';
}

NTSTATUS CountedString::CopyFrom(PCUNICODE_STRING source) {
    const USHORT length = source == nullptr ? 0 : source->Length / kCharBytes * kCharBytes;
    if (length > string_.MaximumLength)
        return STATUS_BUFFER_TOO_SMALL;
    if (length > 0)
        RtlMoveMemory(string_.Buffer, source->Buffer, length);
    string_.Length = length;
    Terminate();
    return STATUS_SUCCESS;
}

NTSTATUS CountedString::CopyFrom(PCWSTR source) {
    const SIZE_T bytes = WideByteLength(source);
    if (bytes > string_.MaximumLength)
        return STATUS_BUFFER_TOO_SMALL;
    UNICODE_STRING view{static_cast<USHORT>(bytes), static_cast<USHORT>(bytes),
                        const_cast<PWSTR>(source)};
    return CopyFrom(&view);
}

NTSTATUS CountedString::CopyTo(PWSTR destination, SIZE_T sizeBytes) const {
    if (destination == nullptr || string_.Length + SIZE_T{kCharBytes} > sizeBytes)
        return STATUS_BUFFER_TOO_SMALL;
    if (string_.Length > 0)
        RtlCopyMemory(destination, string_.Buffer, string_.Length);
    destination[string_.Length / kCharBytes] = u'\0';
    return STATUS_SUCCESS;
}

NTSTATUS CountedString::Grow(ULONG characters, POOL_TYPE pool) {
    const ULONGLONG capacity =
        ULONGLONG{string_.MaximumLength} + ULONGLONG{characters} * kCharBytes;
    if (capacity > kMaxBytes || capacity < kCharBytes)
        return STATUS_INSUFFICIENT_RESOURCES;
    auto* buffer = static_cast<PWSTR>(PoolAllocate(pool, static_cast<SIZE_T>(capacity)));
    if (buffer == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    if (string_.Length > 0)
        RtlCopyMemory(buffer, string_.Buffer, string_.Length);
    const USHORT length = string_.Length;
    Free();
    string_ = {length, static_cast<USHORT>(capacity), buffer};
    owned_ = true;
    Terminate();
    return STATUS_SUCCESS;
}

void CountedString::DropCharacters(ULONG characters) {
    const ULONGLONG bytes = ULONGLONG{characters} * kCharBytes;
    string_.Length = bytes >= string_.Length ? 0 : static_cast<USHORT>(string_.Length - bytes);
    Terminate();
}

NTSTATUS CountedString::Append(PCWSTR text) {
    if (string_.Buffer == nullptr)
        return WideLength(text) == 0 ? STATUS_SUCCESS : STATUS_BUFFER_TOO_SMALL;
    return RtlAppendUnicodeToString(&string_, text);
}

}  // namespace wdm
