// `CountedString`: a counted wide string (lengths in bytes, as the kernel's strings count them)
// with a buffer from pool that it owns, or a caller's buffer that it only describes.
//
// The text is kept terminated whenever the buffer has room after it; CopyTo always terminates and
// refuses a buffer without room for the terminator. Capacities are whole characters and never
// exceed kMaxBytes, the largest whole-character size a 16-bit length can describe.
#pragma once

#include "kernel/wdm.h"

namespace wdm {

inline constexpr USHORT kCharBytes = sizeof(WCHAR);

// Plain wide-string operations on zero-terminated text.
SIZE_T WideLength(PCWSTR text);      // characters
SIZE_T WideByteLength(PCWSTR text);  // bytes, without the terminator
// Copies / appends with the destination's size in bytes; STATUS_BUFFER_TOO_SMALL (destination
// unchanged) when the text and its terminator do not fit.
NTSTATUS WideCopy(PWSTR destination, SIZE_T destinationBytes, PCWSTR source);
NTSTATUS WideAppend(PWSTR destination, SIZE_T destinationBytes, PCWSTR source);

class CountedString {
  public:
    static constexpr USHORT kMaxBytes = static_cast<USHORT>(0xFFFF / kCharBytes * kCharBytes);

    CountedString() = default;
    ~CountedString();
    CountedString(CountedString&& other) noexcept;
    CountedString& operator=(CountedString&& other) noexcept;
    CountedString(const CountedString&) = delete;
    CountedString& operator=(const CountedString&) = delete;

    // A new owned buffer of capacityBytes (rounded down to whole characters). A capacity below one
    // character, above kMaxBytes, or no memory leaves the string empty without a buffer.
    // STATUS_INSUFFICIENT_RESOURCES then, else STATUS_SUCCESS.
    NTSTATUS Make(ULONG capacityBytes, POOL_TYPE pool);
    // Describes a caller's buffer (not freed by this string); the text starts empty.
    void Attach(PWSTR buffer, USHORT capacityBytes);
    void Free();

    // STATUS_BUFFER_TOO_SMALL, the string unchanged, when the text does not fit.
    NTSTATUS CopyFrom(PCUNICODE_STRING source);
    NTSTATUS CopyFrom(const CountedString& source) { return CopyFrom(&source.string_); }
    NTSTATUS CopyFrom(PCWSTR source);
    // Into a zero-terminated buffer of sizeBytes: needs Length + one character for the terminator.
    NTSTATUS CopyTo(PWSTR destination, SIZE_T sizeBytes) const;
    // A new owned buffer of capacity + n characters takes the text. STATUS_INSUFFICIENT_RESOURCES,
    // the string unchanged, when the pool is out of memory or the capacity would exceed kMaxBytes.
    NTSTATUS Grow(ULONG characters, POOL_TYPE pool);
    // Drops up to n characters from the end.
    void DropCharacters(ULONG characters);
    // STATUS_BUFFER_TOO_SMALL, the string unchanged, when the capacity is too small.
    NTSTATUS Append(PCWSTR text);

    USHORT Length() const { return string_.Length; }
    USHORT Capacity() const { return string_.MaximumLength; }
    PWSTR Buffer() const { return string_.Buffer; }
    bool Owned() const { return owned_; }
    PUNICODE_STRING Get() { return &string_; }
    PCUNICODE_STRING Get() const { return &string_; }

  private:
    void Terminate();

    UNICODE_STRING string_{0, 0, nullptr};
    bool owned_ = false;
};

}  // namespace wdm
