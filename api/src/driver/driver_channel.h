// The library's path to a board driver: synchronous device-control requests on one open file
// (the board's device or one subsystem file). The production channel sits on the platform's file
// handles; tests put a recording driver behind it.
#pragma once

#include <cstdint>

namespace hxda {

class DriverChannel {
  public:
    virtual ~DriverChannel() = default;

    // Sends one request with `in` as input and `out` as output (they may be the same buffer).
    // Returns true when the request was delivered; otherwise *lastError receives the system's
    // error value.
    virtual bool control(std::uint32_t code, const void* in, std::uint32_t inBytes, void* out,
                         std::uint32_t outBytes, std::uint32_t* bytesReturned,
                         std::uint32_t* lastError) = 0;
};

}  // namespace hxda
