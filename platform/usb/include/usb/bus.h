// The USB bus stand-in: one physical device object (PDO) per plugged-in device model, named
// "\Device\USBPDO-<n>" (n unique in the process), so that interfaces and links can point at it.
//
// A driver reaches its device only through the PDO: IRP_MJ_INTERNAL_DEVICE_CONTROL with
// IOCTL_INTERNAL_USB_SUBMIT_URB and the URB in Parameters.Others.Argument1, IRP_MJ_PNP and
// IRP_MJ_POWER. Transfers wait in a FIFO per pipe and complete at DISPATCH_LEVEL on the port's own
// thread, or, when time alone moves them on (the device named when its data comes), on the bus's
// frame thread at the end of the 1-ms frame (kBusFrame) that holds that time; descriptor,
// configuration, abort and reset requests complete inside IoCallDriver (also at DISPATCH_LEVEL).
// Every pending transfer is cancellable (IoCancelIrp): STATUS_CANCELLED, USBD_STATUS_CANCELED and
// the bytes moved so far.
//
// Unplug fails every pending transfer and every later URB with STATUS_DEVICE_NOT_CONNECTED /
// USBD_STATUS_DEVICE_GONE. The PDO of an unplugged device is deleted once it has handled
// IRP_MN_REMOVE_DEVICE and no device is attached to it any more, or with the bus.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/wdm.h"
#include "simclock/clock.h"
#include "usb/device_model.h"

namespace usb {

// The bus's frame: a transfer that waits for its device's time completes at the end of the frame
// that holds that time, with every other transfer due in the same frame.
inline constexpr simclock::Duration kBusFrame = std::chrono::milliseconds(1);
// The end of the frame that holds the reading (the reading itself if it ends one).
inline simclock::Duration BusFrameEnd(simclock::Duration reading) {
    return (reading + kBusFrame - simclock::Duration(1)) / kBusFrame * kBusFrame;
}

class FrameService;
class Port;

class Bus {
  public:
    Bus();
    ~Bus();  // unplugs what is still plugged and deletes every PDO
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    // Plugs a device in: creates its PDO and port. The model stays shared with the caller.
    PDEVICE_OBJECT Plug(std::shared_ptr<DeviceModel> model);
    // The physical removal: pending and later URBs fail as "device gone". Idempotent.
    void Unplug(PDEVICE_OBJECT pdo);
    bool IsPlugged(PDEVICE_OBJECT pdo) const;
    // PDOs still alive (plugged in, or unplugged and not yet removed).
    std::vector<PDEVICE_OBJECT> Devices() const;

    // The driver object of the bus (the PDOs' driver).
    PDRIVER_OBJECT Driver() const { return driver_; }

    // ---- Test hooks -------------------------------------------------------------------------
    // The next `count` transfers on the endpoint get the fault.
    void InjectFault(PDEVICE_OBJECT pdo, std::uint8_t endpoint, Fault fault, int count = 1);
    // The PDO fails this PnP minor (START, or a CANCEL_*) with the status; STATUS_SUCCESS clears.
    void FailPnp(PDEVICE_OBJECT pdo, UCHAR minor, NTSTATUS status);
    // Transfers pending on the device's pipes.
    std::size_t PendingTransfers(PDEVICE_OBJECT pdo) const;
    // Configuration value currently selected (0 = none).
    std::uint8_t SelectedConfiguration(PDEVICE_OBJECT pdo) const;
    // Waits (bounded) until the PDO of an unplugged device has been deleted.
    bool WaitDeleted(PDEVICE_OBJECT pdo, int timeoutMs = 5000);

  private:
    Port* Find(PDEVICE_OBJECT pdo) const;
    void Reap();

    // Destroyed after the ports, which it serves.
    std::unique_ptr<FrameService> frames_;
    PDRIVER_OBJECT driver_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Port>> ports_;
};

}  // namespace usb
