// A process that uses the user-mode services runs on the simulated machine: loading them enables
// the kernel's machine boot, which then happens at the first device open or enumeration.
#include "kernel/machine.h"

namespace {

struct EnableMachineBoot {
    EnableMachineBoot() { kernel::machine::SetBootEnabled(true); }
};

const EnableMachineBoot g_enableMachineBoot;

}  // namespace
