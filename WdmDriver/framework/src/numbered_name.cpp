#include "framework/numbered_name.h"

#include "framework/pool.h"

namespace wdm {
namespace {

// Digits of the longest 32-bit number in the radix.
SIZE_T MaxDigits(ULONG radix) {
    return radix == 16 ? 8 : 10;
}

}  // namespace

NumberedName::~NumberedName() {
    Free();
}

void NumberedName::Free() {
    PoolFree(buffer_);
    buffer_ = nullptr;
    string_ = {0, 0, nullptr};
}

NTSTATUS NumberedName::Make(PCWSTR base, ULONG number, ULONG radix) {
    Free();
    if (radix != 10 && radix != 16)
        return STATUS_INVALID_PARAMETER;
    const SIZE_T baseLength = WideLength(base);
    const SIZE_T capacity = (baseLength + MaxDigits(radix) + 1) * kCharBytes;
    if (capacity > CountedString::kMaxBytes)
        return STATUS_INSUFFICIENT_RESOURCES;
    buffer_ = static_cast<PWSTR>(PoolAllocate(PagedPool, capacity));
    if (buffer_ == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    RtlCopyMemory(buffer_, base, baseLength * kCharBytes);
    number_ = number;
    baseLength_ = baseLength;
    radix_ = radix;

    // The digits go behind the base through the kernel's conversion, into the room left.
    UNICODE_STRING digits{0, static_cast<USHORT>(capacity - baseLength * kCharBytes),
                          buffer_ + baseLength};
    const NTSTATUS status = RtlIntegerToUnicodeString(number, radix, &digits);
    if (!NT_SUCCESS(status)) {
        Free();
        return status;
    }
    const SIZE_T length = baseLength + digits.Length / kCharBytes;
    buffer_[length] = u'\0';
    string_ = {static_cast<USHORT>(length * kCharBytes), static_cast<USHORT>(capacity), buffer_};
    return STATUS_SUCCESS;
}

}  // namespace wdm
