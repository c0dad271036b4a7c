// Which source of installed boards the operating system offers.
#pragma once

namespace hxda {

enum class DiscoveryPath {
    Unsupported,       // the library does not run here
    DeviceInterfaces,  // present device interfaces, listed through SetupApi
    DeviceMap,         // the subkeys of the older device map in the registry
};

// From the platform and version GetVersionEx answers: the 9x family from 4.10 on and the NT family
// from 5 on list device interfaces; NT 4 has the device map; anything else is not supported.
DiscoveryPath discoveryPath();

}  // namespace hxda
