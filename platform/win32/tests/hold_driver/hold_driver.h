// A test driver whose requests complete late: reads and device-control requests on
// "\\.\Hold" are held, without a cancel routine, until the test completes them, so a cancel only
// marks them. Declared without kernel types, for the tests of the user-mode services.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hold {

inline constexpr const char* kPath = "\\\\.\\Hold";

// Loads the driver (its device and link) and unloads it; Load returns the NTSTATUS.
std::int32_t Load();
void Unload();

// Requests held, and how many of them a cancel has reached.
std::size_t HeldCount();
std::size_t CancelledCount();
// Completes the oldest held request with status and information; false when none is held.
bool CompleteOldest(std::int32_t status, std::uint32_t information);

}  // namespace hold
