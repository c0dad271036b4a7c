// `UsbTarget`: the device's end of the USB stack. It attaches the device above the bus's physical
// device object, sends URBs to the device below (synchronously with an optional time-out, or
// asynchronously with a completion callback), forwards requests, reads the descriptors, selects a
// configuration by a table of pipe bindings and deselects it, and runs the pipe requests.
//
// Synchronous submission waits, so it runs only below DISPATCH_LEVEL; called at DISPATCH_LEVEL it
// sends nothing and answers STATUS_INVALID_DEVICE_REQUEST.
//
// Descriptors come from the device and are not trusted: a configuration descriptor is used only
// up to min(wTotalLength, buffer size, bytes returned), and one in which any descriptor has a
// length of 0 or runs past that end is refused.
#pragma once

#include "framework/locked_list.h"
#include "framework/usb_pipe.h"
#include "usb/usb.h"

namespace wdm {

// One entry of the table a device hands to SelectConfiguration. Entries of other configurations
// are skipped; a configuration value of 0 stands for the one selected.
struct PipeBinding {
    UCHAR configuration;
    UCHAR interfaceNumber;
    UCHAR alternateSetting;
    UCHAR endpointAddress;
    UsbInterface* interface;
    UsbPipe* pipe;  // null: the entry only selects the interface
};

// Result of SelectConfiguration.
enum class SelectResult : int {
    kSuccess = 0,
    kInterfaceMissing = 1,         // no interface descriptor for an entry's interface
    kNoMemory = 2,                 // no memory for an interface record
    kRequestFailed = 3,            // the configuration request failed (or had no memory)
    kBindInterfaceFailed = 4,      // no information returned for an entry's interface (or no
                                   // memory to keep the table)
    kEndpointMissing = 5,          // an entry's endpoint is not among its interface's pipes
    kConfigurationUnreadable = 6,  // unreadable, malformed, or no configuration has the value
    kDeviceUnreadable = 7,         // the device descriptor could not be read
};

class UsbTarget {
  public:
    // Completion of an asynchronous submission, at DISPATCH_LEVEL (or in the submitter's
    // context when the submission failed at once). The request is freed after it returns.
    using UrbCallback = void (*)(PDEVICE_OBJECT device, PIRP irp, PVOID context);

    static constexpr ULONG kNoFailingEntry = 0xFFFFFFFF;

    UsbTarget() = default;
    // Frees the descriptor and the interface records; does not detach (see Detach).
    ~UsbTarget();
    UsbTarget(const UsbTarget&) = delete;
    UsbTarget& operator=(const UsbTarget&) = delete;

    // Attaches device above physicalDevice. STATUS_NO_SUCH_DEVICE when nothing was attached.
    NTSTATUS Attach(PDEVICE_OBJECT device, PDEVICE_OBJECT physicalDevice);
    // Detaches from the device below (at removal).
    void Detach();
    NTSTATUS Status() const { return status_; }
    PDEVICE_OBJECT AttachedDevice() const { return lower_; }
    PDEVICE_OBJECT PhysicalDevice() const { return physical_; }

    // ---- Submission ------------------------------------------------------------------------
    // Synchronous: waits for the URB; timeoutMs 0 waits without limit. An expired wait cancels
    // the request, waits for it to come back and answers STATUS_TIMEOUT.
    NTSTATUS SubmitUrb(PURB urb, ULONG timeoutMs = 0);
    // Asynchronous: callback(device, irp, context) runs at the completion. Without memory the
    // callback still runs (with STATUS_INSUFFICIENT_RESOURCES) and so does the answer.
    NTSTATUS SubmitUrbAsync(PURB urb, UrbCallback callback, PVOID context);
    // On a request the caller owns and reuses (allocated with StackSize() + 1 locations): with a
    // routine, sets it (success, error and cancel) and sends; the routine owns the request again
    // when it runs. Without one, synchronous as SubmitUrb.
    NTSTATUS SubmitUrbOnIrp(PIRP irp, PURB urb, PIO_COMPLETION_ROUTINE routine, PVOID context,
                            ULONG timeoutMs = 0);
    // The stack size a request to the device below needs.
    CCHAR StackSize() const { return lower_->StackSize; }

    // Sends the request's current location down and waits until it comes back; the caller then
    // completes it. information receives IoStatus.Information when given.
    NTSTATUS ForwardSynchronously(PIRP irp, ULONG_PTR* information = nullptr);
    NTSTATUS ForwardPowerSynchronously(PIRP irp, ULONG_PTR* information = nullptr);

    // ---- Descriptors and configuration -----------------------------------------------------
    NTSTATUS ReadDeviceDescriptor(USB_DEVICE_DESCRIPTOR* descriptor);
    // Reads configuration descriptor `index` into a new buffer of `size` bytes (the previous one
    // is freed) and checks it; see ConfigurationDescriptor.
    NTSTATUS ReadConfigurationDescriptor(UCHAR index, ULONG size);
    // The descriptor read last, its wTotalLength cut down to the bytes that may be used (null when
    // none was read or it was refused).
    PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor() const { return descriptor_; }
    ULONG ConfigurationLength() const { return descriptorLength_; }

    // Selects configuration `value` (0: the first the device has) and binds the table's
    // interfaces and pipes, which must outlive the selection (until Deselect, the next selection
    // or the target's destruction unbinds them). failingEntry receives the index of the entry that
    // failed, or kNoFailingEntry.
    SelectResult SelectConfiguration(UCHAR value, const PipeBinding* bindings, ULONG count,
                                     ULONG* failingEntry, ULONG descriptorSize);
    // Deselects (every pipe handle becomes invalid) and unbinds. Synchronous unless a callback
    // is given.
    NTSTATUS Deselect(UrbCallback callback = nullptr, PVOID context = nullptr);
    USBD_CONFIGURATION_HANDLE ConfigurationHandle() const { return configurationHandle_; }
    // Binds interface to the selected interface with that number; STATUS_NO_SUCH_DEVICE if none.
    NTSTATUS BindInterface(UsbInterface* interface, UCHAR interfaceNumber);

    // ---- Pipes -----------------------------------------------------------------------------
    NTSTATUS ResetPipe(const UsbPipe& pipe);
    NTSTATUS AbortPipe(const UsbPipe& pipe);
    // A bulk or interrupt transfer URB on the pipe, in `memory` when given, else in pool memory
    // the caller frees with PoolFree. Null when out of memory.
    static PURB BuildTransferUrb(const UsbPipe& pipe, PVOID buffer, ULONG length, bool in,
                                 bool shortTransferOk, PURB link = nullptr, PURB memory = nullptr);

  private:
    struct InterfaceRecord;
    NTSTATUS PipeRequest(const UsbPipe& pipe, USHORT function);
    NTSTATUS SubmitAndWait(PIRP irp, PURB urb, ULONG timeoutMs);
    NTSTATUS ForwardAndWait(PIRP irp, ULONG_PTR* information, bool power);
    SelectResult FindConfiguration(UCHAR* value, ULONG descriptorSize);
    SelectResult SendConfiguration(UCHAR value, const PipeBinding* bindings, ULONG count);
    SelectResult BindAll(UCHAR value, const PipeBinding* bindings, ULONG count,
                         ULONG* failingEntry);
    InterfaceRecord* FindRecord(UCHAR interfaceNumber, UCHAR alternateSetting) const;
    void ReleaseConfiguration();  // unbinds and frees the records and the interface list
    void FreeDescriptor();

    NTSTATUS status_ = STATUS_NO_SUCH_DEVICE;
    PDEVICE_OBJECT device_ = nullptr;
    PDEVICE_OBJECT lower_ = nullptr;
    PDEVICE_OBJECT physical_ = nullptr;
    UnlockedList records_{0};
    USBD_CONFIGURATION_HANDLE configurationHandle_ = nullptr;
    PUSB_CONFIGURATION_DESCRIPTOR descriptor_ = nullptr;
    ULONG descriptorLength_ = 0;
    PUSBD_INTERFACE_LIST_ENTRY interfaceList_ = nullptr;
    PipeBinding* bindings_ = nullptr;  // copy of the table bound last, unbound at release
    ULONG bindingCount_ = 0;
};

}  // namespace wdm
