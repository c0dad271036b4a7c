// The API's status inside the library and the drivers: one type for the statuses of hxdacodes.h
// and of the buffer manager (200-220), apart from the kernel's NTSTATUS and the platform's last
// error.
//
// A named status (HXNOERROR, HXNOTSUPPORTED, ...) converts to it where it is written, checked at
// compile time; nothing else does. A value that arrives at run time takes one of the named
// conversions below, so that the place where another space's number becomes a status is seen:
//
//     ApiStatus status = HXNOTSUPPORTED;                // a named status
//     ApiStatus wrong = GetLastError();                 // does not compile: a run-time DWORD
//     ApiStatus alsoWrong = STATUS_UNSUCCESSFUL;        // does not compile: an NTSTATUS
//     ApiStatus passed = ApiStatus::FromLastError(e);   // the library's one rule for that case
//
// The exports hand `code()` to their callers, whose type stays the header's HXSTATUS; a driver
// writes `code()` into the request record.
#pragma once

#include <cstdint>

#include "hxdacodes.h"

namespace hxda {

class [[nodiscard]] ApiStatus {
  public:
    // A status named in the public headers; the argument must be a constant.
    consteval ApiStatus(std::uint32_t code) : code_(code) {}
    // Signed values are the kernel's NTSTATUS space (or a bare literal): never a status.
    ApiStatus(std::int32_t) = delete;
    ApiStatus(long) = delete;

    // A status word as another module of the same space wrote it: a driver's request record or
    // configuration block, the buffer manager's result, a board extension's answer.
    static constexpr ApiStatus FromCode(std::uint32_t code) { return ApiStatus(code, Received{}); }
    // A request that the platform could not deliver: its last-error value stands as the status,
    // since the drivers' callers have always seen it that way; a last error of 0 (nothing
    // recorded) becomes HXGENERALFAILURE.
    static constexpr ApiStatus FromLastError(std::uint32_t lastError) {
        return lastError != 0 ? FromCode(lastError) : ApiStatus(HXGENERALFAILURE);
    }

    constexpr std::uint32_t code() const { return code_; }
    constexpr bool succeeded() const { return code_ == HXNOERROR; }
    constexpr bool failed() const { return code_ != HXNOERROR; }
    // True for a failure, so that `if (const ApiStatus status = step()) return status;` passes
    // a failure on.
    constexpr explicit operator bool() const { return failed(); }

    friend constexpr bool operator==(ApiStatus, ApiStatus) = default;

  private:
    struct Received {};
    constexpr ApiStatus(std::uint32_t code, Received) : code_(code) {}

    std::uint32_t code_;
};

}  // namespace hxda
