// The boundary between user-mode file calls and the I/O manager: open, read, write, device
// control, cancel and close, with completions reported through a callback. It carries plain
// values only, no pointers into kernel objects, so that the kernel could later live in a process
// of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace kernel::user_io {

using FileId = std::uint64_t;    // an open file object; 0 is none
using IssuerId = std::uint64_t;  // the user thread that issues a request (nonzero)

struct OpenResult {
    std::int32_t status;  // NTSTATUS of IRP_MJ_CREATE, or of the name lookup
    FileId file;          // nonzero on success
};

// Opens "\\.\NAME\rest", "\\?\NAME\rest" or a kernel name ("\??\NAME", "\Device\NAME"). The longest
// prefix naming a device or link selects the device (the top of its stack receives the IRPs) and
// the rest becomes FileObject->FileName. Sends IRP_MJ_CREATE and waits for it.
OpenResult Open(std::string_view path, std::uint32_t desiredAccess, IssuerId issuer);

enum class Operation { Read, Write, DeviceControl };

struct Request {
    Operation operation = Operation::Read;
    std::uint32_t controlCode = 0;  // DeviceControl only
    const void* input = nullptr;    // Write data, or DeviceControl input
    std::uint32_t inputLength = 0;
    void* output = nullptr;  // Read buffer, or DeviceControl output
    std::uint32_t outputLength = 0;
    std::uint64_t offset = 0;  // Read and Write
};

struct Completion {
    std::int32_t status;        // IoStatus.Status
    std::uint64_t information;  // IoStatus.Information
    // False for a request that failed at once without being marked pending: the caller reports
    // the error from Submit's result and nothing else (no event, no completion routine).
    bool notify;
};

// Called exactly once per Submit, on the thread that completes the request (possibly inside
// Submit), after output buffers are filled; for a submission that fails before its IRP exists,
// inside Submit with notify false. It must not block.
using CompletionCallback = std::function<void(const Completion&)>;

// Builds the IRP (buffers by the device's DO_BUFFERED_IO/DO_DIRECT_IO flags and the control
// code's method), sends it, and returns the dispatch routine's status. An unknown file, or one
// whose close has been sent: STATUS_INVALID_HANDLE; no IRP: STATUS_INSUFFICIENT_RESOURCES.
std::int32_t Submit(FileId file, IssuerId issuer, const Request& request,
                    CompletionCallback onComplete);

// IoCancelIrp on every request still outstanding that issuer sent on file.
void CancelRequests(FileId file, IssuerId issuer);
// IoCancelIrp on every request still outstanding that issuer sent (the issuer's thread ends).
void CancelIssuerRequests(IssuerId issuer);

// Last handle closed: sends IRP_MJ_CLEANUP and waits for it, even while requests are pending.
// IRP_MJ_CLOSE follows once no request of the file is outstanding: here, or, when the last one
// completes later, from an I/O manager thread at PASSIVE_LEVEL, never nested in the completing
// driver's IoCompleteRequest. A Close called inside a completion is done by that thread too.
void Close(FileId file);

// The Win32 error code for a status (RtlNtStatusToDosError).
std::uint32_t Win32ErrorFromStatus(std::int32_t status);

}  // namespace kernel::user_io
