// A scripted streaming board driver of the API tests on the kernel stand-in: one device
// ("\\.\HxdaStream") whose files are the board device and its subsystem files ("\AD0", "\DA0",
// ...). Each subsystem file is a stream the test drives by hand: reads wait until the test
// completes them with data, fails them or has them refused; event requests wait until the test
// raises an event; stop requests finish the reads in process, abort requests cancel them.
// In the unpaced mode every read is filled and completed as soon as it arrives.
//
// Read data: consecutive 16-bit sample numbers per stream (0, 1, 2, ...), so a test can tell the
// order in which buffers were filled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace streamer {

inline constexpr const char* kDevicePath = "\\\\.\\HxdaStream";

std::int32_t Load();
void Unload();

// How a stream behaves; settable before the file is opened. Each setting holds until Load.
void SetUnpaced(const std::u16string& file, bool unpaced);
// false: completed reads carry whatever the buffer held (no sample numbers are written), so that
// a benchmark measures the transfer rather than the fill.
void SetFillData(const std::u16string& file, bool fill);
// The next `count` reads are refused at once (the caller's read call fails).
void RefuseNextReads(const std::u16string& file, std::uint32_t count);
// false: a stop request leaves the reads in process to the test instead of finishing them.
void SetFinishOnStop(const std::u16string& file, bool finish);
// true: an abort request delivers the reads in process with their data instead of cancelling them.
void SetFinishOnAbort(const std::u16string& file, bool finish);
// The status written at offset 12 of the answer to a request code.
void SetStatus(std::uint32_t code, std::uint32_t status);
// Requests of `code` on the file wait (cancellable) until the test answers them with
// ReleaseHeld: `status` at offset 12, `value` at offset 20. Holds until Load.
void HoldRequests(const std::u16string& file, std::uint32_t code);
std::size_t HeldRequests(const std::u16string& file);
bool ReleaseHeld(const std::u16string& file, std::uint32_t status, std::uint32_t value);

// Reads and event requests waiting in the stream.
std::size_t PendingReads(const std::u16string& file);
std::size_t PendingEventRequests(const std::u16string& file);
// Polls (bounded) until at least `count` reads are pending; false on time-out.
bool WaitForPendingReads(const std::u16string& file, std::size_t count, int timeoutMs = 5000);
bool WaitForPendingEventRequests(const std::u16string& file, std::size_t count,
                                 int timeoutMs = 5000);

// Completes up to `count` of the oldest pending reads, filled whole; returns how many.
std::size_t CompleteReads(const std::u16string& file, std::size_t count);
// Completes up to `count` of the oldest pending reads with the failure `status`.
std::size_t FailReads(const std::u16string& file, std::size_t count, std::int32_t status);
// Completes the oldest pending event request with the event code and data; with none pending
// the event waits for the next request.
void RaiseEvent(const std::u16string& file, std::uint32_t code, std::uint32_t data = 0);
// The board is pulled out: the device-removed event is raised and every pending read fails.
void RemoveDevice(const std::u16string& file);

// Device-control codes the stream received, in order (event requests included).
std::vector<std::uint32_t> Codes(const std::u16string& file);
// Reads the stream received, refused ones included.
std::uint64_t ReadsReceived(const std::u16string& file);

// Failure statuses a test may pass to FailReads.
std::int32_t DataError();

}  // namespace streamer
