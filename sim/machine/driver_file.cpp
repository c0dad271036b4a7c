// The file of the stand-in driver as the machine installs it in its drivers folder, once per
// family and system ("<driver name>k.sys", "<driver name>k4.sys"): a module that carries only the
// driver's version resource.
#include "win32/version_info.h"

MQ_VERSIONINFO_BEGIN
MQ_VERSION_STRING("CompanyName", "Marquell")
MQ_VERSION_STRING("FileDescription", "Simulated data-acquisition board driver")
MQ_VERSION_STRING("FileVersion", "1.2.0.0")
MQ_VERSION_STRING("ProductVersion", "1.2.0.0")
MQ_VERSIONINFO_END(MQ_VERSION_NUMBER(1, 2, 0, 0), MQ_VERSION_NUMBER(1, 2, 0, 0), VFT_DRV)
