// The entry points of the SetupApi stand-in (exported through the module's export table only).
#pragma once

#include "win32/setupapi.h"

namespace setupapi {

HDEVINFO WINAPI GetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
BOOL WINAPI EnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                 const GUID* interfaceClassGuid, DWORD index,
                                 PSP_DEVICE_INTERFACE_DATA interfaceData);
BOOL WINAPI GetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                      PDWORD requiredSize, PSP_DEVINFO_DATA deviceInfo);
HKEY WINAPI OpenDeviceInterfaceRegKey(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                      DWORD reserved, REGSAM desiredAccess);
BOOL WINAPI DestroyDeviceInfoList(HDEVINFO set);

}  // namespace setupapi
