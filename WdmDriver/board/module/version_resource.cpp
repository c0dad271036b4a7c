// The driver module's version resource: the library reports its "FileVersion" for an MQ5120 from
// the driver file installed as MQ5120k.sys.
#include "win32/version_info.h"

MQ_VERSIONINFO_BEGIN
MQ_VERSION_STRING("CompanyName", "Marquell")
MQ_VERSION_STRING("FileDescription", "MQ5120 USB data-acquisition board driver")
MQ_VERSION_STRING("FileVersion", "6.5.0.1")
MQ_VERSION_STRING("InternalName", "MQ5120k")
MQ_VERSION_STRING("OriginalFilename", "MQ5120k.sys")
MQ_VERSION_STRING("ProductVersion", "6.5.0.1")
MQ_VERSIONINFO_END(MQ_VERSION_NUMBER(6, 5, 0, 1), MQ_VERSION_NUMBER(6, 5, 0, 1), VFT_DRV)
