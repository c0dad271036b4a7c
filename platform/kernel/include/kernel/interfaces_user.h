// The boundary through which user-mode device enumeration lists device interfaces. Like
// io_user.h it carries plain values only, so that the kernel could later live in a process of its
// own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kernel::user_interfaces {

struct InterfaceClass {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

struct PresentInterface {
    std::string devicePath;       // "\\?\<instance>#{GUID}": opens the device's stack
    std::string registryKeyPath;  // the interface's own key, below HKEY_LOCAL_MACHINE
};

// The enabled interfaces of the class on present devices, in the order they were registered, as
// they are at the call. The first call of a process boots the simulated machine (kernel/machine.h).
std::vector<PresentInterface> ListPresentInterfaces(const InterfaceClass& interfaceClass);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
std::string GuidText(const InterfaceClass& interfaceClass);

}  // namespace kernel::user_interfaces
