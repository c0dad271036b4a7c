// The simulated machine under the kernel stand-in. The kernel knows no board: at the first use of
// the kernel from user mode in a process (the first user-mode open or interface listing) it boots
// the machine once, by loading the machine module (libMqMachine.so, searched in the directories of
// MQ_MODULE_PATH and then beside the kernel's own library) and calling its exported
//     extern "C" int MqMachineBoot();       // installs drivers and plugs boards; 0 on success
//     extern "C" int MqMachineShutdown();   // removes the boards and unloads the drivers; a
//                                           // nonzero result refuses (files are still open)
// A process without the module boots nothing. The machine is the one that registry::
// MachineDirectory() names when it boots. Booting is enabled by the user-mode services when they
// are loaded into the process; a process of kernel code alone (the I/O manager's own tests on
// their drivers) boots no machine.
#pragma once

namespace kernel::machine {

// Boots the machine unless it is booted (or booting is disabled). Safe to call from any thread at
// PASSIVE_LEVEL; concurrent callers wait for the one boot.
void EnsureBooted();
// True while a machine is booted.
bool IsBooted();

// Test hooks.
// Shuts the machine down (devices removed, drivers unloaded, module closed), so that the next
// first use boots it again, from the machine directory current at that time. Files still open on
// the machine's boards would be left on unloaded drivers: the shutdown is then refused as a rule
// violation (kernel/rules.h), the machine stays up and the result is false.
bool Shutdown();
// Shutdown, then boot at once; false when the shutdown was refused.
bool Reboot();
// While disabled, EnsureBooted boots nothing.
void SetBootEnabled(bool enabled);

}  // namespace kernel::machine
