#include "kernel/crt.h"

#include "kernel/ex.h"

void RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source) {
    if (source == nullptr) {
        destination->Length = destination->MaximumLength = 0;
        destination->Buffer = nullptr;
        return;
    }
    const SIZE_T bytes = wcslen(source) * sizeof(WCHAR);
    destination->Length = static_cast<USHORT>(bytes);
    destination->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
    destination->Buffer = const_cast<PWSTR>(source);
}
