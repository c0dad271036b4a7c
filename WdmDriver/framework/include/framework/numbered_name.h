// `NumberedName`: a name with a number appended in radix 10 or 16 ("\Device\MQ5120" and 7 give
// "\Device\MQ51207"). The buffer, from paged pool, has room for the longest number of the radix,
// so every 32-bit number fits; the result is zero-terminated.
#pragma once

#include "framework/counted_string.h"
#include "kernel/wdm.h"

namespace wdm {

class NumberedName {
  public:
    NumberedName() = default;
    ~NumberedName();
    NumberedName(const NumberedName&) = delete;
    NumberedName& operator=(const NumberedName&) = delete;

    // A radix other than 10 or 16 builds nothing (STATUS_INVALID_PARAMETER); no memory gives
    // STATUS_INSUFFICIENT_RESOURCES.
    NTSTATUS Make(PCWSTR base, ULONG number, ULONG radix);

    PUNICODE_STRING String() { return &string_; }
    PCWSTR Text() const { return buffer_; }
    ULONG Number() const { return number_; }
    ULONG Radix() const { return radix_; }

  private:
    void Free();

    PWSTR buffer_ = nullptr;
    ULONG number_ = 0;
    SIZE_T baseLength_ = 0;  // characters
    ULONG radix_ = 0;
    UNICODE_STRING string_{0, 0, nullptr};
};

}  // namespace wdm
