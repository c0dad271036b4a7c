// Counted-string calls of the run-time library. Lengths count bytes; a result is terminated with
// a NUL character only when the buffer has room for it after the text.
#pragma once

#include "kernel/crt.h"
#include "kernel/ntdef.h"

// Copies as much of source as destination's buffer holds (none for a null source).
void RtlCopyUnicodeString(PUNICODE_STRING destination, PCUNICODE_STRING source);
// STATUS_BUFFER_TOO_SMALL, with destination unchanged, when the text does not fit.
NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING destination, PCWSTR source);
NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING destination, PCUNICODE_STRING source);
// base 2, 8, 10 or 16 (0 means 10; other bases STATUS_INVALID_PARAMETER); hex digits upper-case.
// STATUS_BUFFER_OVERFLOW, with the string unchanged, when the digits do not fit.
NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING string);
// Leading white space is skipped, then an optional sign; base 0 reads a "0x", "0o" or "0b" prefix
// (else decimal). Digits are read up to the first character that is not one of the base;
// STATUS_INVALID_PARAMETER when there is none, or for a base other than 0, 2, 8, 10 or 16. The
// value wraps modulo 2^32, and a minus sign negates it.
NTSTATUS RtlUnicodeStringToInteger(PCUNICODE_STRING string, ULONG base, PULONG value);
