// The export table of "SetupApi.dll".
#include "win32/exports.h"
#include "device_info_sets.h"

#pragma GCC diagnostic ignored "-Wcast-function-type"

MQ_EXPORTS_BEGIN
MQ_EXPORT_AS(1, "SetupDiGetClassDevsA", setupapi::GetClassDevsA, 16)
MQ_EXPORT_AS(2, "SetupDiEnumDeviceInterfaces", setupapi::EnumDeviceInterfaces, 20)
MQ_EXPORT_AS(3, "SetupDiGetDeviceInterfaceDetailA", setupapi::GetDeviceInterfaceDetailA, 24)
MQ_EXPORT_AS(4, "SetupDiOpenDeviceInterfaceRegKey", setupapi::OpenDeviceInterfaceRegKey, 16)
MQ_EXPORT_AS(5, "SetupDiDestroyDeviceInfoList", setupapi::DestroyDeviceInfoList, 4)
MQ_EXPORTS_END
