// Registry calls of the kernel: keys opened by object name ("\Registry\Machine\..." is
// HKEY_LOCAL_MACHINE, "\Registry\User\..." HKEY_USERS) on the machine's shared registry store, so
// that a driver's writes are seen at once by the user-mode registry calls and survive the process.
//
// Rules kept from the platform:
// - Names are case-insensitive and keep the case they were created with.
// - An empty path component ("\\", a trailing "\") is refused with STATUS_OBJECT_NAME_INVALID; a
//   path outside \Registry\Machine and \Registry\User gives STATUS_OBJECT_PATH_NOT_FOUND.
// - ZwOpenKey of a missing key: STATUS_OBJECT_NAME_NOT_FOUND. ZwQueryValueKey of a missing value:
//   STATUS_OBJECT_NAME_NOT_FOUND.
// - Information queries: a buffer smaller than the fixed part of the record gives
//   STATUS_BUFFER_TOO_SMALL; one that holds the fixed part but not the names or data gives
//   STATUS_BUFFER_OVERFLOW with the fixed part filled; both set *ResultLength to the size needed.
// - ZwEnumerateKey past the last subkey: STATUS_NO_MORE_ENTRIES.
// - String values (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are WCHAR text here; the store keeps them
//   as the platform's 16-bit text, so the user-mode calls read the same strings.
// - Registry calls above PASSIVE_LEVEL are a rule violation.
#pragma once

#include "kernel/ntdef.h"
#include "kernel/ntstatus.h"
#include "registry/constants.h"

#ifndef STATUS_CANNOT_DELETE
#define STATUS_CANNOT_DELETE MQ_NTSTATUS(0xC0000121)
#endif
#ifndef STATUS_KEY_DELETED
#define STATUS_KEY_DELETED MQ_NTSTATUS(0xC000017C)
#endif

using HANDLE = void*;
using PHANDLE = HANDLE*;

#define OBJ_INHERIT 0x00000002u
#define OBJ_CASE_INSENSITIVE 0x00000040u
#define OBJ_KERNEL_HANDLE 0x00000200u

struct OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;  // a key handle the name is relative to, or null for an absolute name
    PUNICODE_STRING ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};
using POBJECT_ATTRIBUTES = OBJECT_ATTRIBUTES*;

inline void InitializeObjectAttributes(POBJECT_ATTRIBUTES attributes, PUNICODE_STRING name,
                                       ULONG flags, HANDLE root, PVOID security) {
    attributes->Length = sizeof(OBJECT_ATTRIBUTES);
    attributes->RootDirectory = root;
    attributes->ObjectName = name;
    attributes->Attributes = flags;
    attributes->SecurityDescriptor = security;
    attributes->SecurityQualityOfService = nullptr;
}

enum KEY_VALUE_INFORMATION_CLASS {
    KeyValueBasicInformation = 0,
    KeyValueFullInformation = 1,
    KeyValuePartialInformation = 2
};

struct KEY_VALUE_PARTIAL_INFORMATION {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataLength;
    UCHAR Data[1];  // DataLength bytes run on past the record's end
};
using PKEY_VALUE_PARTIAL_INFORMATION = KEY_VALUE_PARTIAL_INFORMATION*;

enum KEY_INFORMATION_CLASS {
    KeyBasicInformation = 0,
    KeyNodeInformation = 1,
    KeyFullInformation = 2
};

struct KEY_BASIC_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG NameLength;  // bytes
    WCHAR Name[1];
};
using PKEY_BASIC_INFORMATION = KEY_BASIC_INFORMATION*;

struct KEY_NODE_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG ClassOffset;  // from the record's start; keys carry no class, so ClassLength is 0
    ULONG ClassLength;
    ULONG NameLength;  // bytes
    WCHAR Name[1];
};
using PKEY_NODE_INFORMATION = KEY_NODE_INFORMATION*;

struct KEY_FULL_INFORMATION {
    LARGE_INTEGER LastWriteTime;
    ULONG TitleIndex;
    ULONG ClassOffset;
    ULONG ClassLength;
    ULONG SubKeys;
    ULONG MaxNameLen;  // bytes
    ULONG MaxClassLen;
    ULONG Values;
    ULONG MaxValueNameLen;  // bytes
    ULONG MaxValueDataLen;  // bytes as a query would answer them
    WCHAR Class[1];
};
using PKEY_FULL_INFORMATION = KEY_FULL_INFORMATION*;

// Disposition (optional) is REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
NTSTATUS ZwCreateKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                     POBJECT_ATTRIBUTES ObjectAttributes, ULONG TitleIndex, PUNICODE_STRING Class,
                     ULONG CreateOptions, PULONG Disposition);
NTSTATUS ZwOpenKey(PHANDLE KeyHandle, ACCESS_MASK DesiredAccess,
                   POBJECT_ATTRIBUTES ObjectAttributes);
// Only KeyValuePartialInformation is answered; other classes give STATUS_INVALID_PARAMETER.
NTSTATUS ZwQueryValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName,
                         KEY_VALUE_INFORMATION_CLASS KeyValueInformationClass,
                         PVOID KeyValueInformation, ULONG Length, PULONG ResultLength);
NTSTATUS ZwSetValueKey(HANDLE KeyHandle, PUNICODE_STRING ValueName, ULONG TitleIndex, ULONG Type,
                       PVOID Data, ULONG DataSize);
// Subkeys in case-insensitive order of their names. Basic, node and full information.
NTSTATUS ZwEnumerateKey(HANDLE KeyHandle, ULONG Index, KEY_INFORMATION_CLASS KeyInformationClass,
                        PVOID KeyInformation, ULONG Length, PULONG ResultLength);
NTSTATUS ZwQueryKey(HANDLE KeyHandle, KEY_INFORMATION_CLASS KeyInformationClass,
                    PVOID KeyInformation, ULONG Length, PULONG ResultLength);
// Deletes the key (which must have no subkeys; STATUS_CANNOT_DELETE otherwise). The handle stays
// open and every later call on it fails with STATUS_KEY_DELETED.
NTSTATUS ZwDeleteKey(HANDLE KeyHandle);
// Closes a key handle; an unknown handle gives STATUS_INVALID_HANDLE.
NTSTATUS ZwClose(HANDLE Handle);

namespace kernel::testing {
// Key handles a driver has opened and not closed (a leak check for tests).
std::size_t OpenKeyHandles();
}  // namespace kernel::testing
