// The stand-in driver of the board families: one driver on the I/O manager that serves the device
// protocol for a board of the families Mq5200, Mq5130 and MQ5310 from that family's extension
// tables (MQ5120 boards have a driver of their own, MQ5120k, and are refused here).
//
// Per board (a physical device of the machine's bus carrying a SimulatedBoard):
//   device "\Device\MqSimDa_<driver name>_<n>", link "\??\<driver name>_<n>" (n counts the boards
//   of a family from 0), the device interface of the protocol's GUID, enabled once the board is
//   registered; for MQ5310 boards also the device-map entry
//   HKLM\Hardware\DeviceMap\MqHalcyonDaDevice\<driver name>_<n> with LinkName
//   "\DosDevices\<driver name>_<n>" and the board's values.
// Registration writes MqHalcyonBoardName, DriverName, BoardModelName, BoardType, SerialNumber and
// DeviceInstanceNumber to the interface key, keeping the board's name in the board database
// HKLM\System\CurrentControlSet\Control\MqHalcyonDaDevice\BoardDatabase\<description>\<serial>.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/wdm.h"

namespace sim {

inline constexpr char16_t kFamilyDriverService[] = u"MqSimDa";

// DriverEntry of the stand-in driver; its AddDevice takes a physical device of the machine's bus.
NTSTATUS FamilyDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// Files opened on the driver's boards and not yet cleaned up.
std::size_t OpenFileCount(PDRIVER_OBJECT driver);

// Faults a test raises in the running transfer of a subsystem of the board on a physical device
// of the bus: an overrun (the board stops converting and reports it) or a trigger event. False
// when the board, the subsystem or a running transfer is not there.
enum class InjectedFault { kOverrun = 1, kTrigger = 2 };
bool InjectFault(PDEVICE_OBJECT physicalDevice, std::uint32_t type, std::uint32_t element,
                 InjectedFault fault);

}  // namespace sim
