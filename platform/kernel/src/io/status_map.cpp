// NTSTATUS -> Win32 error, the entries of the platform's conversion table that our drivers and
// the I/O manager produce.
#include "kernel/io_user.h"
#include "kernel/ntstatus.h"

namespace {

struct StatusMapping {
    NTSTATUS status;
    ULONG error;
};

constexpr ULONG kUnknownStatus = 317;  // ERROR_MR_MID_NOT_FOUND

constexpr StatusMapping kStatusTable[] = {
    {STATUS_SUCCESS, 0},
    {STATUS_TIMEOUT, 258},                   // WAIT_TIMEOUT
    {STATUS_PENDING, 997},                   // ERROR_IO_PENDING
    {STATUS_BUFFER_OVERFLOW, 234},           // ERROR_MORE_DATA
    {STATUS_DEVICE_BUSY, 170},               // ERROR_BUSY
    {STATUS_NO_MORE_ENTRIES, 259},           // ERROR_NO_MORE_ITEMS
    {STATUS_UNSUCCESSFUL, 31},               // ERROR_GEN_FAILURE
    {STATUS_NOT_IMPLEMENTED, 1},             // ERROR_INVALID_FUNCTION
    {STATUS_INVALID_HANDLE, 6},              // ERROR_INVALID_HANDLE
    {STATUS_INVALID_PARAMETER, 87},          // ERROR_INVALID_PARAMETER
    {STATUS_NO_SUCH_DEVICE, 2},              // ERROR_FILE_NOT_FOUND
    {STATUS_INVALID_DEVICE_REQUEST, 1},      // ERROR_INVALID_FUNCTION
    {STATUS_MORE_PROCESSING_REQUIRED, 234},  // ERROR_MORE_DATA
    {STATUS_NO_MEMORY, 8},                   // ERROR_NOT_ENOUGH_MEMORY
    {STATUS_ACCESS_DENIED, 5},               // ERROR_ACCESS_DENIED
    {STATUS_BUFFER_TOO_SMALL, 122},          // ERROR_INSUFFICIENT_BUFFER
    {STATUS_OBJECT_TYPE_MISMATCH, 6},        // ERROR_INVALID_HANDLE
    {STATUS_OBJECT_NAME_INVALID, 123},       // ERROR_INVALID_NAME
    {STATUS_OBJECT_NAME_NOT_FOUND, 2},       // ERROR_FILE_NOT_FOUND
    {STATUS_OBJECT_NAME_COLLISION, 183},     // ERROR_ALREADY_EXISTS
    {STATUS_SHARING_VIOLATION, 32},          // ERROR_SHARING_VIOLATION
    {STATUS_OBJECT_PATH_NOT_FOUND, 3},       // ERROR_PATH_NOT_FOUND
    {STATUS_DELETE_PENDING, 5},              // ERROR_ACCESS_DENIED
    {STATUS_PROCEDURE_NOT_FOUND, 127},       // ERROR_PROC_NOT_FOUND
    {STATUS_INSUFFICIENT_RESOURCES, 1450},   // ERROR_NO_SYSTEM_RESOURCES
    {STATUS_DEVICE_DATA_ERROR, 23},          // ERROR_CRC
    {STATUS_DEVICE_NOT_CONNECTED, 21},       // ERROR_NOT_READY
    {STATUS_IO_TIMEOUT, 121},                // ERROR_SEM_TIMEOUT
    {STATUS_NOT_SUPPORTED, 50},              // ERROR_NOT_SUPPORTED
    {STATUS_DEVICE_DOES_NOT_EXIST, 55},      // ERROR_DEV_NOT_EXIST
    {STATUS_INVALID_USER_BUFFER, 1784},      // ERROR_INVALID_USER_BUFFER
    {STATUS_CANCELLED, 995},                 // ERROR_OPERATION_ABORTED
    {STATUS_DLL_NOT_FOUND, 126},             // ERROR_MOD_NOT_FOUND
    {STATUS_DEVICE_REMOVED, 1617},           // ERROR_DEVICE_REMOVED
};

}  // namespace

ULONG RtlNtStatusToDosError(NTSTATUS status) {
    for (const auto& entry : kStatusTable)
        if (entry.status == status)
            return entry.error;
    return kUnknownStatus;
}

namespace kernel::user_io {
std::uint32_t Win32ErrorFromStatus(std::int32_t status) {
    return RtlNtStatusToDosError(status);
}
}  // namespace kernel::user_io
