// MQ5120 boards on the USB bus: each a simulated MQ5120 (board type and serial number from its
// line) plugged into the machine's USB bus and started with the driver MQ5120k. Its physical
// device gets the instance path "USB\MQ5120\<serial as 8 hex digits>", the manufacturer
// "Marquell" and the device description "MQ5120", the name its board database key carries.
#pragma once

#include "kernel/pnp.h"
#include "plugged_board.h"
#include "usb/bus.h"

namespace sim {

class UsbPlugger final : public BoardPlugger {
  public:
    // The bus must outlive every board plugged in.
    UsbPlugger(usb::Bus* bus, kernel::pnp::FunctionDriver driver)
        : bus_(bus), driver_(std::move(driver)) {}

    NTSTATUS PlugIn(const BoardDescription& board, std::unique_ptr<PluggedBoard>* plugged) override;

  private:
    usb::Bus* bus_;
    kernel::pnp::FunctionDriver driver_;
};

}  // namespace sim
