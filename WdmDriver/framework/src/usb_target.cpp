// The USB target: attaching, descriptors, configuration selection by pipe bindings, and release.
#include <cstddef>
#include <cstring>

#include "framework/pool.h"
#include "framework/usb_target.h"
#include "usb/usbdlib.h"

namespace wdm {

// One selected interface: its descriptor and the interface information the bus filled in, with
// room for one pipe entry per endpoint.
struct UsbTarget::InterfaceRecord {
    LIST_ENTRY link;  // first: the record list links at offset 0
    PUSB_INTERFACE_DESCRIPTOR descriptor;
    PUSB_ENDPOINT_DESCRIPTOR firstEndpoint;  // null when the interface has none
    ULONG endpoints;                         // endpoint descriptors present behind it
    USHORT capacity;                         // bytes of information
    USBD_INTERFACE_INFORMATION information;  // variable length: keep last
};

namespace {

// Checks that every descriptor in the first `length` bytes has a length of at least 2 and ends
// within them.
bool DescriptorsWellFormed(const UCHAR* bytes, ULONG length) {
    ULONG offset = 0;
    while (offset < length) {
        if (length - offset < sizeof(USB_COMMON_DESCRIPTOR))
            return false;
        const UCHAR size = bytes[offset];
        if (size < sizeof(USB_COMMON_DESCRIPTOR) || size > length - offset)
            return false;
        offset += size;
    }
    return true;
}

}  // namespace

UsbTarget::~UsbTarget() {
    ReleaseConfiguration();
    FreeDescriptor();
}

NTSTATUS UsbTarget::Attach(PDEVICE_OBJECT device, PDEVICE_OBJECT physicalDevice) {
    device_ = device;
    physical_ = physicalDevice;
    lower_ = IoAttachDeviceToDeviceStack(device, physicalDevice);
    status_ = lower_ != nullptr ? STATUS_SUCCESS : STATUS_NO_SUCH_DEVICE;
    return status_;
}

void UsbTarget::Detach() {
    if (lower_ == nullptr)
        return;
    IoDetachDevice(lower_);
    lower_ = nullptr;
    status_ = STATUS_NO_SUCH_DEVICE;
}

NTSTATUS UsbTarget::ReadDeviceDescriptor(USB_DEVICE_DESCRIPTOR* descriptor) {
    URB urb;
    std::memset(&urb, 0, sizeof urb);
    std::memset(descriptor, 0, sizeof *descriptor);
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST),
                                 USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, descriptor, nullptr,
                                 sizeof *descriptor, nullptr);
    const NTSTATUS status = SubmitUrb(&urb);
    if (!NT_SUCCESS(status))
        return status;
    if (urb.UrbControlDescriptorRequest.TransferBufferLength < sizeof *descriptor ||
        descriptor->bDescriptorType != USB_DEVICE_DESCRIPTOR_TYPE)
        return STATUS_DEVICE_DATA_ERROR;
    return STATUS_SUCCESS;
}

void UsbTarget::FreeDescriptor() {
    PoolFree(descriptor_);
    descriptor_ = nullptr;
    descriptorLength_ = 0;
}

NTSTATUS UsbTarget::ReadConfigurationDescriptor(UCHAR index, ULONG size) {
    FreeDescriptor();
    if (size < sizeof(USB_CONFIGURATION_DESCRIPTOR))
        return STATUS_INVALID_PARAMETER;
    auto* buffer = static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(PoolAllocate(NonPagedPool, size));
    if (buffer == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    URB urb;
    std::memset(&urb, 0, sizeof urb);
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST),
                                 USB_CONFIGURATION_DESCRIPTOR_TYPE, index, 0, buffer, nullptr, size,
                                 nullptr);
    NTSTATUS status = SubmitUrb(&urb);
    if (!NT_SUCCESS(status)) {
        PoolFree(buffer);
        return status;
    }
    // Only what was read, and no more than the descriptor claims, is ever looked at.
    ULONG usable = urb.UrbControlDescriptorRequest.TransferBufferLength;
    if (usable > size)
        usable = size;
    if (usable < sizeof(USB_CONFIGURATION_DESCRIPTOR) ||
        buffer->bDescriptorType != USB_CONFIGURATION_DESCRIPTOR_TYPE ||
        buffer->bLength < sizeof(USB_CONFIGURATION_DESCRIPTOR) ||
        buffer->wTotalLength < sizeof(USB_CONFIGURATION_DESCRIPTOR)) {
        PoolFree(buffer);
        return STATUS_DEVICE_DATA_ERROR;
    }
    if (usable > buffer->wTotalLength)
        usable = buffer->wTotalLength;
    if (!DescriptorsWellFormed(reinterpret_cast<const UCHAR*>(buffer), usable)) {
        PoolFree(buffer);
        return STATUS_DEVICE_DATA_ERROR;
    }
    // Whatever walks wTotalLength later stays inside the bytes read.
    buffer->wTotalLength = static_cast<USHORT>(usable);
    descriptor_ = buffer;
    descriptorLength_ = usable;
    return STATUS_SUCCESS;
}

SelectResult UsbTarget::FindConfiguration(UCHAR* value, ULONG descriptorSize) {
    if (*value == 0) {
        if (!NT_SUCCESS(ReadConfigurationDescriptor(0, descriptorSize)))
            return SelectResult::kConfigurationUnreadable;
        *value = descriptor_->bConfigurationValue;
        return SelectResult::kSuccess;
    }
    USB_DEVICE_DESCRIPTOR device;
    if (!NT_SUCCESS(ReadDeviceDescriptor(&device)))
        return SelectResult::kDeviceUnreadable;
    for (UCHAR index = 0; index < device.bNumConfigurations; ++index) {
        if (!NT_SUCCESS(ReadConfigurationDescriptor(index, descriptorSize)))
            return SelectResult::kConfigurationUnreadable;
        if (descriptor_->bConfigurationValue == *value)
            return SelectResult::kSuccess;
    }
    FreeDescriptor();
    return SelectResult::kConfigurationUnreadable;
}

UsbTarget::InterfaceRecord* UsbTarget::FindRecord(UCHAR interfaceNumber,
                                                  UCHAR alternateSetting) const {
    return static_cast<InterfaceRecord*>(records_.Search(nullptr, true, [&](void* element) {
        auto* record = static_cast<InterfaceRecord*>(element);
        return record->descriptor->bInterfaceNumber == interfaceNumber &&
               record->descriptor->bAlternateSetting == alternateSetting;
    }));
}

SelectResult UsbTarget::SelectConfiguration(UCHAR value, const PipeBinding* bindings, ULONG count,
                                            ULONG* failingEntry, ULONG descriptorSize) {
    *failingEntry = kNoFailingEntry;
    ReleaseConfiguration();
    SelectResult result = FindConfiguration(&value, descriptorSize);
    if (result != SelectResult::kSuccess)
        return result;

    // One record per interface the table names.
    const auto* config = descriptor_;
    const auto* end = reinterpret_cast<const UCHAR*>(config) + descriptorLength_;
    for (ULONG i = 0; i < count; ++i) {
        const PipeBinding& binding = bindings[i];
        if (binding.configuration != value && binding.configuration != 0)
            continue;
        if (FindRecord(binding.interfaceNumber, binding.alternateSetting) != nullptr)
            continue;
        PUSB_INTERFACE_DESCRIPTOR interface = USBD_ParseConfigurationDescriptorInBuffer(
            descriptor_, descriptorLength_, descriptor_, binding.interfaceNumber,
            binding.alternateSetting, -1, -1, -1);
        if (interface == nullptr || interface->bLength < sizeof(USB_INTERFACE_DESCRIPTOR)) {
            *failingEntry = i;
            ReleaseConfiguration();
            return SelectResult::kInterfaceMissing;
        }
        // The endpoints actually present behind it, up to the next interface.
        ULONG endpoints = 0;
        PUSB_ENDPOINT_DESCRIPTOR first = nullptr;
        auto* at = reinterpret_cast<UCHAR*>(interface) + interface->bLength;
        while (at < end) {
            auto* next = reinterpret_cast<PUSB_COMMON_DESCRIPTOR>(at);
            if (next->bDescriptorType == USB_INTERFACE_DESCRIPTOR_TYPE)
                break;
            if (next->bDescriptorType == USB_ENDPOINT_DESCRIPTOR_TYPE &&
                next->bLength >= sizeof(USB_ENDPOINT_DESCRIPTOR)) {
                if (first == nullptr)
                    first = reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(next);
                ++endpoints;
            }
            at += next->bLength;
        }
        const ULONG pipes =
            endpoints > interface->bNumEndpoints ? endpoints : interface->bNumEndpoints;
        const USHORT capacity = GET_USBD_INTERFACE_SIZE(pipes == 0 ? 1 : pipes);
        auto* record = static_cast<InterfaceRecord*>(
            PoolAllocate(NonPagedPool, offsetof(InterfaceRecord, information) + capacity));
        if (record == nullptr) {
            *failingEntry = i;
            ReleaseConfiguration();
            return SelectResult::kNoMemory;
        }
        record->descriptor = interface;
        record->firstEndpoint = first;
        record->endpoints = endpoints;
        record->capacity = capacity;
        records_.InsertTail(record);
    }

    result = SendConfiguration(value, bindings, count);
    if (result == SelectResult::kSuccess)
        result = BindAll(value, bindings, count, failingEntry);
    if (result != SelectResult::kSuccess)
        ReleaseConfiguration();
    return result;
}

SelectResult UsbTarget::SendConfiguration(UCHAR value, const PipeBinding* bindings, ULONG count) {
    const std::size_t interfaces = records_.Count();
    interfaceList_ = static_cast<PUSBD_INTERFACE_LIST_ENTRY>(
        PoolAllocate(NonPagedPool, sizeof(USBD_INTERFACE_LIST_ENTRY) * (interfaces + 1)));
    if (interfaceList_ == nullptr)
        return SelectResult::kRequestFailed;
    std::size_t n = 0;
    for (void* e = records_.First(); e != nullptr; e = records_.Next(e))
        interfaceList_[n++].InterfaceDescriptor = static_cast<InterfaceRecord*>(e)->descriptor;

    PURB urb = USBD_CreateConfigurationRequestEx(descriptor_, interfaceList_);
    if (urb == nullptr)
        return SelectResult::kRequestFailed;
    // Pipes that ask for a maximum transfer size: their entry is found by the endpoint's place
    // among the interface's endpoint descriptors, the order the bus fills the pipes in.
    for (ULONG i = 0; i < count; ++i) {
        const PipeBinding& binding = bindings[i];
        if ((binding.configuration != value && binding.configuration != 0) ||
            binding.pipe == nullptr || binding.pipe->requestedMaximum_ == 0)
            continue;
        for (std::size_t k = 0; k < interfaces; ++k) {
            PUSB_INTERFACE_DESCRIPTOR interface = interfaceList_[k].InterfaceDescriptor;
            if (interface->bInterfaceNumber != binding.interfaceNumber ||
                interface->bAlternateSetting != binding.alternateSetting)
                continue;
            const auto* end = reinterpret_cast<const UCHAR*>(descriptor_) + descriptorLength_;
            auto* at = reinterpret_cast<const UCHAR*>(interface) + interface->bLength;
            ULONG index = 0;
            while (at < end) {
                const auto* next = reinterpret_cast<const USB_COMMON_DESCRIPTOR*>(at);
                if (next->bDescriptorType == USB_INTERFACE_DESCRIPTOR_TYPE)
                    break;
                if (next->bDescriptorType == USB_ENDPOINT_DESCRIPTOR_TYPE &&
                    next->bLength >= sizeof(USB_ENDPOINT_DESCRIPTOR)) {
                    const auto* endpoint = reinterpret_cast<const USB_ENDPOINT_DESCRIPTOR*>(next);
                    if (endpoint->bEndpointAddress == binding.endpointAddress &&
                        index < interfaceList_[k].Interface->NumberOfPipes)
                        interfaceList_[k].Interface->Pipes[index].MaximumTransferSize =
                            binding.pipe->requestedMaximum_;
                    ++index;
                }
                at += next->bLength;
            }
        }
    }
    const NTSTATUS status = SubmitUrb(urb);
    if (!NT_SUCCESS(status)) {
        ExFreePool(urb);
        return SelectResult::kRequestFailed;
    }
    configurationHandle_ = urb->UrbSelectConfiguration.ConfigurationHandle;
    n = 0;
    for (void* e = records_.First(); e != nullptr; e = records_.Next(e), ++n) {
        auto* record = static_cast<InterfaceRecord*>(e);
        PUSBD_INTERFACE_INFORMATION returned = interfaceList_[n].Interface;
        const USHORT bytes =
            returned->Length < record->capacity ? returned->Length : record->capacity;
        std::memcpy(&record->information, returned, bytes);
        record->information.Length = bytes;
        const ULONG room =
            (bytes - offsetof(USBD_INTERFACE_INFORMATION, Pipes)) / sizeof(USBD_PIPE_INFORMATION);
        if (record->information.NumberOfPipes > room)
            record->information.NumberOfPipes = room;
        interfaceList_[n].Interface = &record->information;
    }
    ExFreePool(urb);
    return SelectResult::kSuccess;
}

NTSTATUS UsbTarget::BindInterface(UsbInterface* interface, UCHAR interfaceNumber) {
    if (interfaceList_ == nullptr)
        return STATUS_NO_SUCH_DEVICE;
    for (PUSBD_INTERFACE_LIST_ENTRY entry = interfaceList_; entry->InterfaceDescriptor != nullptr;
         ++entry) {
        if (entry->Interface == nullptr || entry->Interface->InterfaceNumber != interfaceNumber)
            continue;
        interface->information_ = entry->Interface;
        interface->entry_ = entry;
        interface->target_ = this;
        interface->configurationHandle_ = configurationHandle_;
        return STATUS_SUCCESS;
    }
    return STATUS_NO_SUCH_DEVICE;
}

SelectResult UsbTarget::BindAll(UCHAR value, const PipeBinding* bindings, ULONG count,
                                ULONG* failingEntry) {
    // A copy of the table: the caller's may be gone by the time the configuration is released.
    bindings_ = static_cast<PipeBinding*>(PoolAllocate(NonPagedPool, sizeof(PipeBinding) * count));
    if (bindings_ == nullptr)
        return SelectResult::kBindInterfaceFailed;
    bindingCount_ = count;
    std::memcpy(bindings_, bindings, sizeof(PipeBinding) * count);
    for (ULONG i = 0; i < count; ++i) {
        const PipeBinding& binding = bindings[i];
        if ((binding.configuration != value && binding.configuration != 0) ||
            binding.interface == nullptr || binding.interface->Bound())
            continue;
        if (!NT_SUCCESS(BindInterface(binding.interface, binding.interfaceNumber))) {
            *failingEntry = i;
            return SelectResult::kBindInterfaceFailed;
        }
        PUSBD_INTERFACE_INFORMATION information = binding.interface->information_;
        for (ULONG j = i; j < count; ++j) {
            const PipeBinding& entry = bindings[j];
            if (entry.interface != binding.interface || entry.pipe == nullptr ||
                (entry.configuration != value && entry.configuration != 0))
                continue;
            LONG found = -1;
            for (ULONG p = 0; p < information->NumberOfPipes; ++p)
                if (information->Pipes[p].EndpointAddress == entry.endpointAddress)
                    found = static_cast<LONG>(p);
            if (found < 0) {
                *failingEntry = j;
                return SelectResult::kEndpointMissing;
            }
            entry.pipe->requestedMaximum_ = 0;
            entry.pipe->information_ = &information->Pipes[found];
            entry.pipe->interface_ = binding.interface;
            entry.pipe->index_ = found;
        }
    }
    return SelectResult::kSuccess;
}

NTSTATUS UsbTarget::Deselect(UrbCallback callback, PVOID context) {
    NTSTATUS status;
    URB* urb;
    URB local;
    if (callback != nullptr) {
        // The URB must outlive this call: it rides in pool memory freed by the completion.
        struct Pending {
            URB urb;
            UrbCallback callback;
            PVOID context;
        };
        auto* pending = static_cast<Pending*>(PoolAllocate(NonPagedPool, sizeof(Pending)));
        if (pending == nullptr) {
            status = STATUS_INSUFFICIENT_RESOURCES;
        } else {
            pending->callback = callback;
            pending->context = context;
            urb = &pending->urb;
            UsbBuildSelectConfigurationRequest(urb, sizeof(_URB_SELECT_CONFIGURATION), nullptr);
            status = SubmitUrbAsync(
                urb,
                [](PDEVICE_OBJECT device, PIRP irp, PVOID raw) {
                    auto* p = static_cast<Pending*>(raw);
                    p->callback(device, irp, p->context);
                    PoolFree(p);
                },
                pending);
        }
    } else {
        std::memset(&local, 0, sizeof local);
        urb = &local;
        UsbBuildSelectConfigurationRequest(urb, sizeof(_URB_SELECT_CONFIGURATION), nullptr);
        status = SubmitUrb(urb);
    }
    ReleaseConfiguration();
    return status;
}

void UsbTarget::ReleaseConfiguration() {
    // Pipes first: whether a pipe is ours is told by its interface.
    for (ULONG i = 0; i < bindingCount_; ++i) {
        UsbPipe* pipe = bindings_[i].pipe;
        if (pipe != nullptr && pipe->interface_ != nullptr && pipe->interface_->target_ == this) {
            pipe->information_ = nullptr;
            pipe->interface_ = nullptr;
            pipe->index_ = -1;
        }
    }
    for (ULONG i = 0; i < bindingCount_; ++i) {
        UsbInterface* interface = bindings_[i].interface;
        if (interface != nullptr && interface->target_ == this) {
            interface->information_ = nullptr;
            interface->entry_ = nullptr;
            interface->target_ = nullptr;
            interface->configurationHandle_ = nullptr;
        }
    }
    PoolFree(bindings_);
    bindings_ = nullptr;
    bindingCount_ = 0;
    while (void* record = records_.RemoveHead())
        PoolFree(record);
    PoolFree(interfaceList_);
    interfaceList_ = nullptr;
    configurationHandle_ = nullptr;
}

}  // namespace wdm
