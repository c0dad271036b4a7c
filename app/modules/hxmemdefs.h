// Wrappers of the buffer manager hxmem32, bound by name ("HXMEM32.DLL") on first call. Each
// raises a nonzero status as error 0x80040000 + status with the wrapper's name as source and the
// buffer manager's text as description; the status is first narrowed to 16 bits, so one beyond
// that range raises the runtime's overflow error instead.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace larkspur::hxmemdefs {

using Handle = std::int32_t;  // HBUF, passed by value

inline constexpr std::int32_t kLibraryErrorBase = static_cast<std::int32_t>(0x80040000u);

// The new handle; never 0 (a failure raises instead).
Handle AllocBuffer(std::int32_t flags, std::int32_t samples);
Handle CallocBuffer(std::int32_t flags, std::int32_t flags2, std::int32_t samples,
                    std::int32_t bytesPerSample);
void CopyToBuffer(Handle buffer, const std::int16_t* first, std::int32_t count);
void CopyLongToBuffer(Handle buffer, const std::int32_t* first, std::int32_t count);
void CopyFromBuffer(Handle buffer, std::int16_t* first, std::int32_t count);
void CopyLongFromBuffer(Handle buffer, std::int32_t* first, std::int32_t count);
void FreeBuffer(Handle buffer);

// Tells an observer of every buffer the wrappers allocate (tests and diagnostics check that each
// is freed in the end, whoever frees it); nullptr removes it.
void ObserveAllocations(std::function<void(Handle)> observer);

// The text of a status, at most maxLength characters (and at most 255), cut at its first NUL.
std::string MemErrorString(std::int16_t status, std::int16_t maxLength);
[[noreturn]] void RaiseMemError(const std::string& source, std::int16_t status);

}  // namespace larkspur::hxmemdefs
