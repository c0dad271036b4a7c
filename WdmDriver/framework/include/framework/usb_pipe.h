// `UsbInterface` and `UsbPipe`: the driver's handles on a selected interface and on one of its
// pipes. A device owns them (usually inside its own object) and names them in the pipe bindings it
// hands to UsbTarget::SelectConfiguration, which binds them to what the bus returned. They stay
// bound until the configuration is deselected or the target is destroyed.
#pragma once

#include "usb/usb.h"

namespace wdm {

class UsbTarget;

class UsbInterface {
  public:
    UsbInterface() = default;
    UsbInterface(const UsbInterface&) = delete;
    UsbInterface& operator=(const UsbInterface&) = delete;

    bool Bound() const { return information_ != nullptr; }
    // The interface information the bus returned (pipes included); null while unbound.
    PUSBD_INTERFACE_INFORMATION Information() const { return information_; }
    UsbTarget* Target() const { return target_; }
    USBD_CONFIGURATION_HANDLE ConfigurationHandle() const { return configurationHandle_; }

  private:
    friend class UsbTarget;
    PUSBD_INTERFACE_INFORMATION information_ = nullptr;
    PUSBD_INTERFACE_LIST_ENTRY entry_ = nullptr;
    UsbTarget* target_ = nullptr;
    USBD_CONFIGURATION_HANDLE configurationHandle_ = nullptr;
};

class UsbPipe {
  public:
    // maximumTransferSize: what the selection asks the bus for (0 = the bus's default).
    explicit UsbPipe(ULONG maximumTransferSize = 0) : requestedMaximum_(maximumTransferSize) {}
    UsbPipe(const UsbPipe&) = delete;
    UsbPipe& operator=(const UsbPipe&) = delete;

    bool Bound() const { return information_ != nullptr; }
    // Valid only while bound.
    USBD_PIPE_HANDLE Handle() const { return information_->PipeHandle; }
    UCHAR EndpointAddress() const { return information_->EndpointAddress; }
    USHORT MaximumPacketSize() const { return information_->MaximumPacketSize; }
    ULONG MaximumTransferSize() const { return information_->MaximumTransferSize; }
    USBD_PIPE_TYPE PipeType() const { return information_->PipeType; }
    UsbInterface* Interface() const { return interface_; }
    // Index in its interface's pipes; -1 while unbound.
    LONG Index() const { return index_; }
    ULONG RequestedMaximumTransferSize() const { return requestedMaximum_; }

  private:
    friend class UsbTarget;
    ULONG requestedMaximum_;
    PUSBD_PIPE_INFORMATION information_ = nullptr;
    UsbInterface* interface_ = nullptr;
    LONG index_ = -1;
};

}  // namespace wdm
