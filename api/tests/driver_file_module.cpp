// A module that stands for a board driver's file in the tests: it carries only a version resource.
#include "win32/version_info.h"

MQ_VERSIONINFO_BEGIN
MQ_VERSION_STRING("FileDescription", "Test board driver")
MQ_VERSION_STRING("FileVersion", "6.5.0.0")
MQ_VERSIONINFO_END(MQ_VERSION_NUMBER(6, 5, 0, 0), MQ_VERSION_NUMBER(6, 5, 0, 0), VFT_DRV)
