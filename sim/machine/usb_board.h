// MQ5120 boards on the USB bus: each a simulated MQ5120 (board type and serial number from its
// line) plugged into the machine's USB bus and started with the driver MQ5120k. Its physical
// device gets the instance path "USB\MQ5120\<serial as 8 hex digits>", the manufacturer
// "Marquell" and the device description "MQ5120", the name its board database key carries. The
// Plug and Play and power requests that reach the boards' physical devices are noted in the
// machine's log on their way to the bus, as the machine's own bus notes those of its boards.
#pragma once

#include "kernel/pnp.h"
#include "plugged_board.h"
#include "sim/bus.h"
#include "usb/bus.h"

namespace sim {

class UsbPlugger final : public BoardPlugger {
  public:
    // The bus and the log must outlive every board plugged in. One plugger per bus at a time.
    UsbPlugger(usb::Bus* bus, kernel::pnp::FunctionDriver driver, PnpLog* log);
    ~UsbPlugger() override;
    UsbPlugger(const UsbPlugger&) = delete;
    UsbPlugger& operator=(const UsbPlugger&) = delete;

    NTSTATUS PlugIn(const BoardDescription& board, std::unique_ptr<PluggedBoard>* plugged) override;

  private:
    usb::Bus* bus_;
    kernel::pnp::FunctionDriver driver_;
    PnpLog* log_;
    PDRIVER_DISPATCH busPnp_ = nullptr;
    PDRIVER_DISPATCH busPower_ = nullptr;
};

}  // namespace sim
