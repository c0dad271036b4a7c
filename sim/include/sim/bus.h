// The machine's bus: the physical device objects of the plugged-in boards. Each carries its
// SimulatedBoard, the instance path "SIM\<driver name>\<serial as 8 hex digits>", and the device
// properties Manufacturer "Marquell" and DeviceDescription = the driver name.
#pragma once

#include "kernel/wdm.h"
#include "sim/simulated_board.h"

namespace sim {

inline constexpr wchar_t kBusDriverService[] = L"MqSimBus";

NTSTATUS BusDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// The board behind a physical device of the bus, or null for any other device.
SimulatedBoard* BoardOfPhysicalDevice(PDEVICE_OBJECT device);

// Creates the physical device of a board (index: its place on the bus) and hands it to the
// function driver (AddDevice, then the start request). The board object is owned by the device.
NTSTATUS PlugIn(PDRIVER_OBJECT bus, PDRIVER_OBJECT functionDriver,
                const BoardDescription& description, int index);
// Sends the remove request down the board's stack and deletes the physical device.
void Unplug(PDEVICE_OBJECT physicalDevice);
// The board is pulled out while files may be open on it: the surprise-removal request goes down
// the stack, which fails what is pending and takes no new work; the device objects stay until
// Unplug (at the machine's shutdown), once every file is closed.
void PullOut(PDEVICE_OBJECT physicalDevice);
// False for a device that is not a board of the bus or was pulled out.
bool IsPluggedIn(PDEVICE_OBJECT physicalDevice);

}  // namespace sim
