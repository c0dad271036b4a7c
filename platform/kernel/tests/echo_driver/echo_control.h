// The echo/queue test driver's controls for tests, without kernel types, so that tests of the
// user-mode services can drive it too. Two devices: "\Device\EchoBuffered" (DO_BUFFERED_IO,
// link "\DosDevices\EchoB") and "\Device\EchoDirect" (DO_DIRECT_IO, link
// "\DosDevices\EchoD"). Reads and IOCTL_ECHO_PEND requests are queued with a cancel routine until
// a test completes them; IOCTL_ECHO_FILL answers at once.
#pragma once

#include <cstdint>
#include <string>

namespace echo {

#define MQ_ECHO_CODE(function, method) ((0x22u << 16) | ((function) << 2) | (method))
#define IOCTL_ECHO_FILL MQ_ECHO_CODE(0x800, 0)
#define IOCTL_ECHO_FILL_DIRECT MQ_ECHO_CODE(0x801, 2)
#define IOCTL_ECHO_PEND MQ_ECHO_CODE(0x802, 0)
#define IOCTL_ECHO_FAIL MQ_ECHO_CODE(0x803, 0)

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
    std::wstring lastFileName;
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
