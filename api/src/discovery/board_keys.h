// The registry keys of the installed boards, in order, from either source.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "discovery/os_support.h"
#include "win32/registry.h"

namespace hxda {

struct BoardKey {
    HKEY key = nullptr;       // open only during the visit
    std::string devicePath;   // what CreateFile opens
    std::uint32_t index = 0;  // position in the source's order
};

// Visits every board key of `path` in order until `visit` returns false. On the device-interface
// path the keys come from SetupApi, loaded for this walk and unloaded after it; on the device-map
// path they are the subkeys of HKLM "Hardware\DeviceMap\MqHalcyonDaDevice".
void forEachBoardKey(DiscoveryPath path, const std::function<bool(const BoardKey&)>& visit);

}  // namespace hxda
