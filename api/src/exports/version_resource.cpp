// The library's version resource, which hxDaGetVersion reads back.
#include "win32/version_info.h"

MQ_VERSIONINFO_BEGIN
MQ_VERSION_STRING("CompanyName", "Marquell")
MQ_VERSION_STRING("FileDescription", "MQ-Halcyon Data Acquisition API")
MQ_VERSION_STRING("FileVersion", "1.0.0.0")
MQ_VERSION_STRING("InternalName", "hxdaapi32")
MQ_VERSION_STRING("OriginalFilename", "hxdaapi32.dll")
MQ_VERSION_STRING("ProductVersion", "1.0.0.0")
MQ_VERSIONINFO_END(MQ_VERSION_NUMBER(1, 0, 0, 0), MQ_VERSION_NUMBER(1, 0, 0, 0), VFT_DLL)
