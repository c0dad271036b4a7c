// Device-interface enumeration ("SetupApi.dll"). Programs load the module by name and take its
// functions by name with GetProcAddress, so this header gives the records, flags and the types of
// the entry points; it declares no functions to link against.
//
// SetupDiGetClassDevsA(guid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE) lists the enabled
// interfaces of that class on present devices, as they are when the call is made.
// SetupDiEnumDeviceInterfaces(set, NULL, guid, index, &data) fills data (cbSize must be
// sizeof(SP_DEVICE_INTERFACE_DATA)); past the end it fails with ERROR_NO_MORE_ITEMS.
// SetupDiGetDeviceInterfaceDetailA follows the two-call protocol: with no buffer (or one too small)
// it fails with ERROR_INSUFFICIENT_BUFFER and sets *requiredSize; detail->cbSize must be
// sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) or SP_DEVICE_INTERFACE_DETAIL_DATA_A_SIZE (the fixed
// part), else ERROR_INVALID_USER_BUFFER. DevicePath opens the device.
// SetupDiOpenDeviceInterfaceRegKey opens the interface's own registry key, the one the driver
// opened with IoOpenDeviceInterfaceRegistryKey; INVALID_HANDLE_VALUE on failure.
#pragma once

#include "win32/registry.h"
#include "win32/types.h"

using HDEVINFO = void*;

// A record whose cbSize is not the one the call expects.
#ifndef ERROR_INVALID_USER_BUFFER
#define ERROR_INVALID_USER_BUFFER 1784L
#endif

#define DIGCF_DEFAULT 0x00000001u
#define DIGCF_PRESENT 0x00000002u
#define DIGCF_ALLCLASSES 0x00000004u
#define DIGCF_PROFILE 0x00000008u
#define DIGCF_DEVICEINTERFACE 0x00000010u

#define SPINT_ACTIVE 0x00000001u
#define SPINT_DEFAULT 0x00000002u
#define SPINT_REMOVED 0x00000004u

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};
using PSP_DEVICE_INTERFACE_DATA = SP_DEVICE_INTERFACE_DATA*;

struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    CHAR DevicePath[1];  // the path runs on past the record's end
};
using PSP_DEVICE_INTERFACE_DETAIL_DATA_A = SP_DEVICE_INTERFACE_DETAIL_DATA_A*;

// The fixed part's size, as cbSize must give it.
#define SP_DEVICE_INTERFACE_DETAIL_DATA_A_SIZE \
    (offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + sizeof(CHAR))

#define DIREG_DEV 0x00000001u
#define DIREG_DRV 0x00000002u

using SetupDiGetClassDevsA_t = HDEVINFO(WINAPI*)(const GUID* classGuid, PCSTR enumerator,
                                                 HWND parent, DWORD flags);
using SetupDiEnumDeviceInterfaces_t = BOOL(WINAPI*)(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                                    const GUID* interfaceClassGuid, DWORD index,
                                                    PSP_DEVICE_INTERFACE_DATA interfaceData);
using SetupDiGetDeviceInterfaceDetailA_t = BOOL(WINAPI*)(HDEVINFO set,
                                                         PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                         PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                         DWORD detailSize, PDWORD requiredSize,
                                                         PSP_DEVINFO_DATA deviceInfo);
using SetupDiOpenDeviceInterfaceRegKey_t = HKEY(WINAPI*)(HDEVINFO set,
                                                         PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                         DWORD reserved, REGSAM desiredAccess);
using SetupDiDestroyDeviceInfoList_t = BOOL(WINAPI*)(HDEVINFO set);
