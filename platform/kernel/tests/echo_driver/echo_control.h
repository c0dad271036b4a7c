// The echo/queue test driver's controls for tests, on the base declarations only, so that tests of
// the user-mode services can drive it too. Two devices: "\Device\EchoBuffered" (DO_BUFFERED_IO,
// link "\DosDevices\EchoB") and "\Device\EchoDirect" (DO_DIRECT_IO, link
// "\DosDevices\EchoD"). Reads and IOCTL_ECHO_PEND requests are queued with a cancel routine until
// a test completes them; IOCTL_ECHO_FILL answers at once.
#pragma once

#include <cstdint>
#include <string>

#include "base/base_types.h"

namespace echo {

#define IOCTL_ECHO_FILL CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_ECHO_FILL_DIRECT \
    CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_OUT_DIRECT, FILE_ANY_ACCESS)
#define IOCTL_ECHO_PEND CTL_CODE(FILE_DEVICE_UNKNOWN, 0x802, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_ECHO_FAIL CTL_CODE(FILE_DEVICE_UNKNOWN, 0x803, METHOD_BUFFERED, FILE_ANY_ACCESS)

// Input of IOCTL_ECHO_FILL(_DIRECT): fill the whole output with `fill`, report `information`.
// Input of IOCTL_ECHO_FAIL: complete at once with `status`.
struct EchoCommand {
    std::uint32_t information;
    std::uint8_t fill;
    std::int32_t status;
};

// What the driver saw, for the tests.
struct Log {
    int creates = 0, cleanups = 0, closes = 0, reads = 0, cancels = 0;
    std::u16string lastFileName;
    std::uint64_t closeThread = 0;  // host thread token of the last close
    bool closeAtPassive = true;
    int cleanupsWithPending = 0;     // cleanups that found requests still queued
    int requestsAfterClose = 0;      // reads and controls dispatched after their file's close
    int closesInsideCompletion = 0;  // closes nested in this driver's IoCompleteRequest
};
Log Snapshot();
std::size_t QueuedCount();
// Completes the oldest queued request (read or pend) with status and information, writing
// `fill` into its buffer first. False when the queue was empty.
bool CompleteOldest(std::int32_t status, std::uint32_t information, std::uint8_t fill);
// Thread token as the driver records it.
std::uint64_t CurrentThreadToken();

// Loads the driver (kernel::LoadDriver) and unloads it; Load returns the NTSTATUS.
std::int32_t Load();
void Unload();

}  // namespace echo
