// The machine's bus: the physical device objects (PDOs) of the plugged-in boards, reported to the
// kernel's Plug and Play manager, which builds their stacks with the function driver and removes
// them. Each PDO carries its SimulatedBoard, the instance path
// "SIM\<driver name>\<serial as 8 hex digits>", and the device properties Manufacturer "Marquell"
// and DeviceDescription = the driver name. The PDO completes the Plug and Play and power requests
// that reach it as a bus driver must, and notes every Plug and Play request in the bus's log.
//
// PlugIn, PullOut and Unplug wait for the manager: never call them from a Plug and Play dispatch.
#pragma once

#include <compare>
#include <map>
#include <mutex>
#include <vector>

#include "kernel/pnp.h"
#include "kernel/wdm.h"
#include "sim/simulated_board.h"

namespace sim {

inline constexpr char16_t kBusDriverService[] = u"MqSimBus";

NTSTATUS BusDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// The board behind a physical device of the bus, or null for any other device.
SimulatedBoard* BoardOfPhysicalDevice(PDEVICE_OBJECT device);

// A board of the machine: its family and serial number (a board list names each once).
struct BoardKey {
    Family family = Family::kMq5120;
    std::uint32_t serialNumber = 0;
    auto operator<=>(const BoardKey&) const = default;
};
inline BoardKey KeyOf(const BoardDescription& board) {
    return {board.family, board.serialNumber};
}

// The minor codes of the Plug and Play requests, and apart from them of the power requests, that
// reached the physical devices of each board, in order, over all the times it was plugged in.
class PnpLog {
  public:
    void Note(const BoardKey& board, UCHAR major, UCHAR minor);
    // Of IRP_MJ_PNP or IRP_MJ_POWER.
    std::vector<UCHAR> Seen(const BoardKey& board, UCHAR major) const;

  private:
    mutable std::mutex mutex_;
    std::map<std::pair<BoardKey, UCHAR>, std::vector<UCHAR>> seen_;
};

// Creates the physical device of a board (index: a number no other device of the bus has) and
// reports it to the manager, which loads the function driver if need be and runs AddDevice,
// QUERY_CAPABILITIES, START_DEVICE and QUERY_PNP_DEVICE_STATE. Waits for the plug-in. On success
// *physical receives the device; a board that did not start is deleted again. The log must
// outlive the device.
NTSTATUS PlugIn(PDRIVER_OBJECT bus, const kernel::pnp::FunctionDriver& functionDriver,
                const BoardDescription& description, int index, PnpLog* log,
                PDEVICE_OBJECT* physical);
// The board is pulled out while files may be open on it: the stack gets SURPRISE_REMOVAL (waited
// for), and REMOVE_DEVICE once every file on it is closed. Once only.
void PullOut(PDEVICE_OBJECT physical);
// False for a device that is not a board of the bus or was pulled out.
bool IsPluggedIn(PDEVICE_OBJECT physical);
// Orderly removal: QUERY_REMOVE, then REMOVE_DEVICE (waited for); a board whose stack refuses is
// pulled out instead.
void Unplug(PDEVICE_OBJECT physical);
// True once no stack is left on the device: it was removed, or never started.
bool StackRemoved(PDEVICE_OBJECT physical);
// Deletes the device and its board; only once StackRemoved.
void DeletePhysicalDevice(PDEVICE_OBJECT physical);

}  // namespace sim
