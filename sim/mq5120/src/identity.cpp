// The board's descriptors, built from its identity.
#include <cstring>

#include "mq5120/identity.h"
#include "mq5120/protocol.h"
#include "usb/usb.h"

namespace mq5120 {
namespace {

template <typename T>
void Append(std::vector<std::uint8_t>& out, const T& descriptor) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&descriptor);
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

struct EndpointEntry {
    std::uint8_t address;
    std::uint8_t attributes;
    bool bulkSized;  // max packet follows the bus speed
    std::uint16_t fixedPacket;
    std::uint8_t interval;
};

// The six endpoints, in the order the board lists them.
constexpr EndpointEntry kEndpoints[] = {
    {kCommandEndpoint, USB_ENDPOINT_TYPE_BULK, true, 0, 0},
    {kReplyEndpoint, USB_ENDPOINT_TYPE_BULK, true, 0, 0},
    {kStatusEndpoint, USB_ENDPOINT_TYPE_INTERRUPT, false, kStatusPacket, 1},
    {kAdEndpoint, USB_ENDPOINT_TYPE_BULK, true, 0, 0},
    {kDaEndpoint, USB_ENDPOINT_TYPE_BULK, true, 0, 0},
    {kSpareEndpoint, USB_ENDPOINT_TYPE_BULK, true, 0, 0},
};

}  // namespace

std::vector<std::uint8_t> DeviceDescriptor(const BoardIdentity& identity) {
    USB_DEVICE_DESCRIPTOR device{};
    device.bLength = sizeof(USB_DEVICE_DESCRIPTOR);
    device.bDescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
    device.bcdUSB = identity.highSpeed ? 0x0200 : 0x0110;
    device.bDeviceClass = 0xFF;
    device.bMaxPacketSize0 = 64;
    device.idVendor = identity.vendorId;
    device.idProduct = identity.productId;
    device.bcdDevice = identity.deviceRelease;
    device.bNumConfigurations = 1;
    std::vector<std::uint8_t> out;
    Append(out, device);
    return out;
}

std::vector<std::uint8_t> ConfigurationDescriptor(const BoardIdentity& identity) {
    std::vector<std::uint8_t> out;
    USB_CONFIGURATION_DESCRIPTOR config{};
    config.bLength = sizeof(USB_CONFIGURATION_DESCRIPTOR);
    config.bDescriptorType = USB_CONFIGURATION_DESCRIPTOR_TYPE;
    config.bNumInterfaces = 1;
    config.bConfigurationValue = kConfigurationValue;
    config.bmAttributes = 0x80;
    config.MaxPower = 250;  // 500 mA
    Append(out, config);
    USB_INTERFACE_DESCRIPTOR interface {};
    interface.bLength = sizeof(USB_INTERFACE_DESCRIPTOR);
    interface.bDescriptorType = USB_INTERFACE_DESCRIPTOR_TYPE;
    interface.bInterfaceClass = 0xFF;
    const std::size_t interfaceAt = out.size();
    Append(out, interface);
    std::uint8_t endpoints = 0;
    for (const auto& entry : kEndpoints) {
        if (entry.address == identity.omittedEndpoint)
            continue;
        USB_ENDPOINT_DESCRIPTOR endpoint{};
        endpoint.bLength = sizeof(USB_ENDPOINT_DESCRIPTOR);
        endpoint.bDescriptorType = USB_ENDPOINT_DESCRIPTOR_TYPE;
        endpoint.bEndpointAddress = entry.address;
        endpoint.bmAttributes = entry.attributes;
        endpoint.wMaxPacketSize = entry.bulkSized
                                      ? (identity.highSpeed ? kHighSpeedPacket : kFullSpeedPacket)
                                      : entry.fixedPacket;
        endpoint.bInterval = entry.interval;
        Append(out, endpoint);
        ++endpoints;
    }
    out[interfaceAt + offsetof(USB_INTERFACE_DESCRIPTOR, bNumEndpoints)] = endpoints;
    const auto total = static_cast<std::uint16_t>(out.size());
    std::memcpy(out.data() + offsetof(USB_CONFIGURATION_DESCRIPTOR, wTotalLength), &total, 2);
    return out;
}

}  // namespace mq5120
