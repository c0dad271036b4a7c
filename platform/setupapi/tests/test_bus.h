// A small bus driver for the SetupApi tests, kept in its own file because the kernel's and the
// user-mode services' declarations do not mix in one source file.
#pragma once

#include <cstdint>

namespace testbus {

// The class that the tests list, and another one.
inline constexpr std::uint32_t kListedClassData1 = 0x12345678;
inline constexpr std::uint32_t kOtherClassData1 = 0x0badf00d;

// Loads the bus driver (machine boot disabled while it is loaded). Unload deletes every device.
void Load();
void Unload();
// A physical device "TEST\DEV\<number>" with an interface of the listed (or the other) class
// whose key holds SerialNumber = serial; enabled when asked. Returns an index for Enable.
int Plug(int number, bool otherClass, bool enable, std::uint32_t serial);
void Enable(int index);
// Registry key handles the kernel still has open.
std::size_t OpenKernelKeys();

}  // namespace testbus
