// USBD helper library: bounded descriptor walks and the configuration request.
#include "usb/usbdlib.h"

#include <algorithm>

namespace {

// Walks the descriptors in [begin, end) from start; returns the first of the wanted type (-1:
// any), or null at the end or at a malformed descriptor.
PUSB_COMMON_DESCRIPTOR Walk(const UCHAR* begin, const UCHAR* end, const UCHAR* start, LONG type) {
    if (start < begin)
        start = begin;
    for (const UCHAR* at = start; at + sizeof(USB_COMMON_DESCRIPTOR) <= end;) {
        const auto* common = reinterpret_cast<const USB_COMMON_DESCRIPTOR*>(at);
        if (common->bLength == 0 || at + common->bLength > end)
            return nullptr;
        if (type == -1 || common->bDescriptorType == type)
            return const_cast<PUSB_COMMON_DESCRIPTOR>(common);
        at += common->bLength;
    }
    return nullptr;
}

bool Matches(LONG wanted, UCHAR value) {
    return wanted == -1 || wanted == value;
}

}  // namespace

PUSB_COMMON_DESCRIPTOR USBD_ParseDescriptors(PVOID descriptorBuffer, ULONG totalLength,
                                             PVOID startPosition, LONG descriptorType) {
    if (descriptorBuffer == nullptr)
        return nullptr;
    const auto* begin = static_cast<const UCHAR*>(descriptorBuffer);
    const auto* start = startPosition != nullptr ? static_cast<const UCHAR*>(startPosition) : begin;
    return Walk(begin, begin + totalLength, start, descriptorType);
}

PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorInBuffer(
    PUSB_CONFIGURATION_DESCRIPTOR configuration, ULONG bufferLength, PVOID startPosition,
    LONG interfaceNumber, LONG alternateSetting, LONG interfaceClass, LONG interfaceSubClass,
    LONG interfaceProtocol) {
    if (configuration == nullptr || bufferLength < sizeof(USB_CONFIGURATION_DESCRIPTOR))
        return nullptr;
    const ULONG length = std::min<ULONG>(configuration->wTotalLength, bufferLength);
    const auto* begin = reinterpret_cast<const UCHAR*>(configuration);
    const auto* end = begin + length;
    const auto* at = startPosition != nullptr ? static_cast<const UCHAR*>(startPosition) : begin;
    for (;;) {
        auto* found = Walk(begin, end, at, USB_INTERFACE_DESCRIPTOR_TYPE);
        if (found == nullptr)
            return nullptr;
        if (found->bLength >= sizeof(USB_INTERFACE_DESCRIPTOR)) {
            auto* interface = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(found);
            if (Matches(interfaceNumber, interface->bInterfaceNumber) &&
                Matches(alternateSetting, interface->bAlternateSetting) &&
                Matches(interfaceClass, interface->bInterfaceClass) &&
                Matches(interfaceSubClass, interface->bInterfaceSubClass) &&
                Matches(interfaceProtocol, interface->bInterfaceProtocol))
                return interface;
        }
        at = reinterpret_cast<const UCHAR*>(found) + found->bLength;
    }
}

PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(
    PUSB_CONFIGURATION_DESCRIPTOR configuration, PVOID startPosition, LONG interfaceNumber,
    LONG alternateSetting, LONG interfaceClass, LONG interfaceSubClass, LONG interfaceProtocol) {
    if (configuration == nullptr)
        return nullptr;
    return USBD_ParseConfigurationDescriptorInBuffer(
        configuration, configuration->wTotalLength, startPosition, interfaceNumber,
        alternateSetting, interfaceClass, interfaceSubClass, interfaceProtocol);
}

PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR configuration,
                                       PUSBD_INTERFACE_LIST_ENTRY interfaceList) {
    if (configuration == nullptr || interfaceList == nullptr)
        return nullptr;
    std::size_t size = offsetof(_URB_SELECT_CONFIGURATION, Interface);
    int interfaces = 0;
    for (auto* entry = interfaceList; entry->InterfaceDescriptor != nullptr; ++entry) {
        size +=
            GET_USBD_INTERFACE_SIZE(std::max<ULONG>(entry->InterfaceDescriptor->bNumEndpoints, 1));
        ++interfaces;
    }
    if (interfaces == 0)
        size += sizeof(USBD_INTERFACE_INFORMATION);
    size = std::max(size, sizeof(_URB_SELECT_CONFIGURATION));
    if (size > 0xFFFF)
        return nullptr;
    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, size, USBD_POOL_TAG));
    if (urb == nullptr)
        return nullptr;
    auto* block = reinterpret_cast<UCHAR*>(&urb->UrbSelectConfiguration.Interface);
    for (auto* entry = interfaceList; entry->InterfaceDescriptor != nullptr; ++entry) {
        const PUSB_INTERFACE_DESCRIPTOR descriptor = entry->InterfaceDescriptor;
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(block);
        const ULONG pipes = descriptor->bNumEndpoints;
        info->Length = GET_USBD_INTERFACE_SIZE(std::max<ULONG>(pipes, 1));
        info->InterfaceNumber = descriptor->bInterfaceNumber;
        info->AlternateSetting = descriptor->bAlternateSetting;
        info->NumberOfPipes = pipes;
        for (ULONG i = 0; i < pipes; ++i)
            info->Pipes[i].MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
        entry->Interface = info;
        block += info->Length;
    }
    UsbBuildSelectConfigurationRequest(urb, size, configuration);
    return urb;
}
