// The library's version resource, which hxDaGetVersion reads back. Its numbers are the project's
// version (HXDAAPI32_VERSION_*, set by the build), which the package files carry too.
#include "win32/version_info.h"

MQ_VERSIONINFO_BEGIN
MQ_VERSION_STRING("CompanyName", "Marquell")
MQ_VERSION_STRING("FileDescription", "MQ-Halcyon Data Acquisition API")
MQ_VERSION_STRING("FileVersion", HXDAAPI32_FILE_VERSION)
MQ_VERSION_STRING("InternalName", "hxdaapi32")
MQ_VERSION_STRING("OriginalFilename", "hxdaapi32.dll")
MQ_VERSION_STRING("ProductVersion", HXDAAPI32_FILE_VERSION)
MQ_VERSIONINFO_END(MQ_VERSION_NUMBER(HXDAAPI32_VERSION_MAJOR, HXDAAPI32_VERSION_MINOR,
                                     HXDAAPI32_VERSION_PATCH, 0),
                   MQ_VERSION_NUMBER(HXDAAPI32_VERSION_MAJOR, HXDAAPI32_VERSION_MINOR,
                                     HXDAAPI32_VERSION_PATCH, 0),
                   VFT_DLL)
