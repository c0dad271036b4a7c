// The name of a subsystem file below a board device: "\AD", "\DA", "\DIN", "\DOUT" or "\CT"
// (case-sensitive) followed by the element as one hexadecimal digit, "\AD0", "\CTa". An empty name
// opens the device itself.
#pragma once

#include "kernel/wdm.h"

namespace dalayer {

struct SubsystemFileName {
    bool device = false;  // the empty name: a device handle, nothing bound
    ULONG type = 0;       // hxss_tag
    ULONG element = 0;
};

// STATUS_SUCCESS with the parsed name; STATUS_INVALID_PARAMETER when the last character is not a
// hexadecimal digit; STATUS_UNSUCCESSFUL for an unknown subsystem word.
NTSTATUS ParseSubsystemFileName(const UNICODE_STRING& name, SubsystemFileName* parsed);

}  // namespace dalayer
