// Counted-string calls: copy, append, and conversions between integers and digits.
#include <cwctype>

#include "kernel/crt.h"
#include "kernel/ntstatus.h"
#include "kernel/rtl.h"

namespace {

constexpr SIZE_T kChar = sizeof(WCHAR);

// Writes a terminator after the text when the buffer has room for it.
void TerminateIfRoom(PUNICODE_STRING string) {
    if (string->Length + kChar <= string->MaximumLength)
        string->Buffer[string->Length / kChar] = u'\0';
}

NTSTATUS Append(PUNICODE_STRING destination, const WCHAR* text, SIZE_T bytes) {
    if (bytes == 0)
        return STATUS_SUCCESS;
    if (destination->Length + bytes > destination->MaximumLength)
        return STATUS_BUFFER_TOO_SMALL;
    __builtin_memmove(destination->Buffer + destination->Length / kChar, text, bytes);
    destination->Length = static_cast<USHORT>(destination->Length + bytes);
    TerminateIfRoom(destination);
    return STATUS_SUCCESS;
}

int DigitValue(WCHAR c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    return 99;
}

}  // namespace

void RtlCopyUnicodeString(PUNICODE_STRING destination, PCUNICODE_STRING source) {
    if (source == nullptr || source->Buffer == nullptr) {
        destination->Length = 0;
        return;
    }
    const USHORT bytes = source->Length < destination->MaximumLength
                             ? source->Length
                             : static_cast<USHORT>(destination->MaximumLength / kChar * kChar);
    __builtin_memmove(destination->Buffer, source->Buffer, bytes);
    destination->Length = bytes;
    TerminateIfRoom(destination);
}

NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING destination, PCWSTR source) {
    if (source == nullptr)
        return STATUS_SUCCESS;
    return Append(destination, source, wcslen(source) * kChar);
}

NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING destination, PCUNICODE_STRING source) {
    if (source == nullptr || source->Buffer == nullptr)
        return STATUS_SUCCESS;
    return Append(destination, source->Buffer, source->Length);
}

NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING string) {
    if (base == 0)
        base = 10;
    if (base != 2 && base != 8 && base != 10 && base != 16)
        return STATUS_INVALID_PARAMETER;
    WCHAR digits[32];
    int count = 0;
    do {
        digits[count++] = u"0123456789ABCDEF"[value % base];
        value /= base;
    } while (value != 0);
    if (count * kChar > string->MaximumLength)
        return STATUS_BUFFER_OVERFLOW;
    for (int i = 0; i < count; ++i)
        string->Buffer[i] = digits[count - 1 - i];
    string->Length = static_cast<USHORT>(count * kChar);
    TerminateIfRoom(string);
    return STATUS_SUCCESS;
}

NTSTATUS RtlUnicodeStringToInteger(PCUNICODE_STRING string, ULONG base, PULONG value) {
    if (base != 0 && base != 2 && base != 8 && base != 10 && base != 16)
        return STATUS_INVALID_PARAMETER;
    const WCHAR* text = string->Buffer;
    SIZE_T left = string->Buffer == nullptr ? 0 : string->Length / kChar;
    while (left > 0 && *text <= u' ') {
        ++text;
        --left;
    }
    bool negative = false;
    if (left > 0 && (*text == u'+' || *text == u'-')) {
        negative = *text == u'-';
        ++text;
        --left;
    }
    if (base == 0) {
        base = 10;
        if (left >= 2 && text[0] == u'0') {
            const WCHAR prefix = static_cast<WCHAR>(std::towlower(text[1]));
            const ULONG prefixed = prefix == u'x'   ? 16
                                   : prefix == u'o' ? 8
                                   : prefix == u'b' ? 2
                                                    : 0;
            if (prefixed != 0) {
                base = prefixed;
                text += 2;
                left -= 2;
            }
        }
    }
    ULONG result = 0;
    SIZE_T digits = 0;
    for (; left > 0; ++text, --left, ++digits) {
        const int digit = DigitValue(*text);
        if (digit >= static_cast<int>(base))
            break;
        result = result * base + static_cast<ULONG>(digit);
    }
    if (digits == 0)
        return STATUS_INVALID_PARAMETER;
    *value = negative ? 0u - result : result;
    return STATUS_SUCCESS;
}
