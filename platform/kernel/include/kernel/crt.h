// The C run-time's wide-string calls that the kernel offers drivers, on 16-bit WCHAR text (the
// host library's wcs* calls work on its own 4-byte char16_t and do not apply).
#pragma once

#include "kernel/ntdef.h"

SIZE_T wcslen(PCWSTR text);
// Copies at most count characters and pads with NULs up to count, as the C call does (no
// terminator when the source is count characters or longer).
PWSTR wcsncpy(PWSTR destination, PCWSTR source, SIZE_T count);
int wcsncmp(PCWSTR a, PCWSTR b, SIZE_T count);
// The first occurrence of c (the terminator included), or null.
PWSTR wcschr(PWSTR text, WCHAR c);
PCWSTR wcschr(PCWSTR text, WCHAR c);
PWSTR wmemcpy(PWSTR destination, PCWSTR source, SIZE_T count);
// Formats into buffer (count characters with the terminator): %d %i %u %x %X with flag '0' and a
// width (digits or *), %c, and %s %ls %ws for WCHAR strings; %% for a percent sign. Returns the
// characters written without the terminator, or -1 when they do not fit (the buffer then holds
// the truncated text, terminated).
int swprintf(PWSTR buffer, SIZE_T count, PCWSTR format, ...);
