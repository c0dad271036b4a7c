// `RegistryKey`: a registry key opened by path (absolute, or below one of the driver's roots),
// with typed value access and subkey enumeration. Every buffer comes from paged pool; the calls
// run at PASSIVE_LEVEL.
#pragma once

#include "framework/counted_string.h"
#include "kernel/wdm.h"

namespace wdm {

enum class RegistryRoot : ULONG {
    None = 0,      // the path is absolute
    Services = 1,  // \Registry\Machine\System\CurrentControlSet\Services
    Control = 2,   // \Registry\Machine\System\CurrentControlSet\Control
    WindowsNtCurrentVersion = 3,
    DeviceMap = 4,  // \REGISTRY\Machine\HARDWARE\DEVICEMAP
    User = 5,       // \Registry\User
};

// The path of a root; empty for None and for numbers outside the table.
PCWSTR RegistryRootPath(RegistryRoot root);

// What the full information of a subkey says.
struct SubkeyInformation {
    ULONG nameLength = 0;  // bytes
    ULONG classLength = 0;
    ULONG subkeys = 0;
    ULONG values = 0;
    ULONG maxSubkeyNameLength = 0;
    ULONG maxClassLength = 0;
    ULONG maxValueNameLength = 0;
    ULONG maxValueDataLength = 0;
    LARGE_INTEGER lastWriteTime{};
};

class RegistryKey {
  public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Joins parent and subPath with one "\" (none added when the parent ends with one or the sub
    // path begins with one; an empty sub path names the parent), then creates or opens the key.
    // A handle held before is closed first. Returns and keeps the status; enumeration restarts.
    NTSTATUS Open(PCWSTR parent, PCWSTR subPath, ACCESS_MASK access, bool create,
                  ULONG createOptions = 0);
    NTSTATUS Open(RegistryRoot root, PCWSTR subPath, ACCESS_MASK access, bool create,
                  ULONG createOptions = 0);
    void Close();

    // Copies the value's type and data; *size is the buffer's size on entry and the value's data
    // length on return (also when the buffer was too small: STATUS_BUFFER_OVERFLOW).
    NTSTATUS QueryValue(PCWSTR name, PULONG type, PULONG size, PVOID data);
    // STATUS_OBJECT_TYPE_MISMATCH for a value that is not REG_DWORD.
    NTSTATUS QueryDword(PCWSTR name, PULONG value);
    // A REG_SZ value as terminated text (else STATUS_OBJECT_TYPE_MISMATCH). With *size not 0 the
    // text goes into *buffer, which must hold it and its terminator (STATUS_BUFFER_TOO_SMALL
    // otherwise). With *size 0 a buffer of the data length and a terminator is allocated from pool
    // (the caller frees it with PoolFree) and returned in *buffer. *size becomes the bytes written,
    // terminator included. Stored data without a terminator is terminated here.
    NTSTATUS QueryString(PCWSTR name, PWSTR* buffer, PULONG size, POOL_TYPE pool);

    // The next subkey: its name and class into the caller's strings (STATUS_BUFFER_OVERFLOW when
    // one is too small for its part), its full information into *information (optional).
    // STATUS_NO_MORE_ENTRIES after the last.
    NTSTATUS EnumerateNextSubkey(CountedString* name, CountedString* keyClass,
                                 SubkeyInformation* information);

    NTSTATUS WriteDword(PCWSTR name, ULONG value);
    // REG_SZ: the text and its terminator.
    NTSTATUS WriteString(PCWSTR name, PCWSTR text);

    HANDLE Handle() const { return handle_; }
    NTSTATUS Status() const { return status_; }
    ULONG Disposition() const { return disposition_; }

  private:
    NTSTATUS QueryPartial(PCWSTR name, ULONG dataBytes, PKEY_VALUE_PARTIAL_INFORMATION* record,
                          PULONG resultLength);

    ULONG disposition_ = 0;
    HANDLE handle_ = nullptr;
    NTSTATUS status_ = STATUS_UNSUCCESSFUL;
    ULONG enumerationIndex_ = 0;
};

}  // namespace wdm
