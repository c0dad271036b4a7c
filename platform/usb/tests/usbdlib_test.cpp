// The USBD helper library: bounded descriptor walks and the configuration request's layout.
#include <gtest/gtest.h>

#include "kernel/testing.h"
#include "usb_test_support.h"

namespace usb::test {
namespace {

// Two interfaces: 0/0 (class 0xFF, 2 endpoints) and 1/0 (class 0x03, 1 endpoint).
Bytes TwoInterfaces() {
    Bytes out;
    Append(out, USB_CONFIGURATION_DESCRIPTOR{9, 2, 0, 2, 1, 0, 0x80, 50});
    Append(out, USB_INTERFACE_DESCRIPTOR{9, 4, 0, 0, 2, 0xFF, 0, 0, 0});
    Append(out, USB_ENDPOINT_DESCRIPTOR{7, 5, 0x81, 2, 512, 0});
    Append(out, USB_ENDPOINT_DESCRIPTOR{7, 5, 0x02, 2, 512, 0});
    Append(out, USB_INTERFACE_DESCRIPTOR{9, 4, 1, 0, 1, 0x03, 1, 2, 0});
    Append(out, USB_ENDPOINT_DESCRIPTOR{7, 5, 0x83, 3, 8, 1});
    reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(out.data())->wTotalLength =
        static_cast<USHORT>(out.size());
    return out;
}

TEST(UsbdParse, FindsInterfacesByFieldsWithWildcards) {
    Bytes bytes = TwoInterfaces();
    auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    struct Case {
        LONG number, alternate, cls, subclass, protocol;
        std::ptrdiff_t expectedOffset;  // -1: none
    } cases[] = {
        {0, 0, -1, -1, -1, 9},   {1, 0, -1, -1, -1, 32},  {-1, -1, 0x03, -1, -1, 32},
        {-1, -1, -1, -1, -1, 9}, {1, 0, 0x03, 1, 2, 32},  {1, 0, 0x03, 1, 3, -1},
        {0, 1, -1, -1, -1, -1},  {2, -1, -1, -1, -1, -1},
    };
    for (const auto& c : cases) {
        auto* found = USBD_ParseConfigurationDescriptorEx(config, config, c.number, c.alternate,
                                                          c.cls, c.subclass, c.protocol);
        if (c.expectedOffset < 0)
            EXPECT_EQ(found, nullptr) << c.number << "/" << c.alternate;
        else
            EXPECT_EQ(reinterpret_cast<std::uint8_t*>(found) - bytes.data(), c.expectedOffset)
                << c.number << "/" << c.alternate;
    }
    // A start position past the first interface finds the second one for "any".
    auto* second =
        USBD_ParseConfigurationDescriptorEx(config, bytes.data() + 18, -1, -1, -1, -1, -1);
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(second) - bytes.data(), 32);
}

TEST(UsbdParse, ParseDescriptorsWalksByTypeFromStart) {
    Bytes bytes = TwoInterfaces();
    const ULONG total = static_cast<ULONG>(bytes.size());
    auto* first = USBD_ParseDescriptors(bytes.data(), total, bytes.data(), 5);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(first)->bEndpointAddress, 0x81);
    auto* after = USBD_ParseDescriptors(bytes.data(), total,
                                        reinterpret_cast<std::uint8_t*>(first) + first->bLength, 5);
    EXPECT_EQ(reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(after)->bEndpointAddress, 0x02);
    EXPECT_EQ(USBD_ParseDescriptors(bytes.data(), total, bytes.data(), 3), nullptr);
}

// Malformed or overlong descriptor sets: the walk never leaves the bytes it was given. Each
// case is run on an exact-size heap copy, so that AddressSanitizer sees any read past it.
TEST(UsbdParse, StaysInsideTheGivenBytes) {
    struct Case {
        const char* name;
        std::size_t keep;       // bytes of the set actually present
        USHORT totalLength;     // wTotalLength claimed
        std::size_t zeroAt;     // offset of a bLength to zero (0: none)
        std::uint8_t lengthAt;  // with lengthValue: overwrite a bLength there
        std::uint8_t lengthValue;
        bool expectSecond;  // interface 1 found with the bounded parse
    } cases[] = {
        {"complete", 48, 48, 0, 0, 0, true},
        {"claims more than was read", 20, 1000, 0, 0, 0, false},
        {"interface cut by the end", 36, 48, 0, 0, 0, false},
        {"zero bLength stops the walk", 48, 48, 25, 0, 0, false},
        {"bLength runs past the end", 48, 48, 0, 25, 200, false},
    };
    for (const auto& c : cases) {
        Bytes full = TwoInterfaces();
        auto* fullConfig = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(full.data());
        fullConfig->wTotalLength = c.totalLength;
        if (c.zeroAt != 0)
            full[c.zeroAt] = 0;
        if (c.lengthAt != 0)
            full[c.lengthAt] = c.lengthValue;
        auto* copy = new std::uint8_t[c.keep];
        std::memcpy(copy, full.data(), c.keep);
        auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(copy);
        auto* found = USBD_ParseConfigurationDescriptorInBuffer(config, static_cast<ULONG>(c.keep),
                                                                nullptr, 1, 0, -1, -1, -1);
        EXPECT_EQ(found != nullptr, c.expectSecond) << c.name;
        EXPECT_EQ(USBD_ParseDescriptors(copy, static_cast<ULONG>(c.keep), copy, 0x42), nullptr)
            << c.name;
        if (c.totalLength <= c.keep) {  // the unbounded form is safe when wTotalLength is true
            EXPECT_EQ(
                USBD_ParseConfigurationDescriptorEx(config, nullptr, 1, 0, -1, -1, -1) != nullptr,
                c.expectSecond)
                << c.name;
        }
        delete[] copy;
    }
}

TEST(UsbdConfigurationRequest, OneSizedBlockPerListEntryInOrder) {
    Bytes bytes = TwoInterfaces();
    auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    USBD_INTERFACE_LIST_ENTRY list[3] = {};
    list[0].InterfaceDescriptor =
        USBD_ParseConfigurationDescriptorEx(config, config, 1, 0, -1, -1, -1);
    list[1].InterfaceDescriptor =
        USBD_ParseConfigurationDescriptorEx(config, config, 0, 0, -1, -1, -1);
    const auto before = kernel::testing::PoolOutstanding(USBD_POOL_TAG);
    PURB urb = USBD_CreateConfigurationRequestEx(config, list);
    ASSERT_NE(urb, nullptr);
    EXPECT_EQ(kernel::testing::PoolOutstanding(USBD_POOL_TAG).allocations, before.allocations + 1);
    EXPECT_EQ(urb->UrbHeader.Function, URB_FUNCTION_SELECT_CONFIGURATION);
    EXPECT_EQ(urb->UrbHeader.Length, GET_SELECT_CONFIGURATION_REQUEST_SIZE(2, 3));
    EXPECT_EQ(urb->UrbSelectConfiguration.ConfigurationDescriptor, config);

    auto* first = &urb->UrbSelectConfiguration.Interface;
    EXPECT_EQ(list[0].Interface, first);
    EXPECT_EQ(first->InterfaceNumber, 1);
    EXPECT_EQ(first->NumberOfPipes, 1u);
    EXPECT_EQ(first->Length, GET_USBD_INTERFACE_SIZE(1));
    auto* second = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(
        reinterpret_cast<std::uint8_t*>(first) + first->Length);
    EXPECT_EQ(list[1].Interface, second);
    EXPECT_EQ(second->InterfaceNumber, 0);
    EXPECT_EQ(second->NumberOfPipes, 2u);
    EXPECT_EQ(second->Length, GET_USBD_INTERFACE_SIZE(2));
    for (ULONG i = 0; i < 2; ++i)
        EXPECT_EQ(second->Pipes[i].MaximumTransferSize,
                  static_cast<ULONG>(USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE));
    EXPECT_LE(reinterpret_cast<std::uint8_t*>(&second->Pipes[2]),
              reinterpret_cast<std::uint8_t*>(urb) + urb->UrbHeader.Length);
    ExFreePool(urb);
    EXPECT_EQ(kernel::testing::PoolOutstanding(USBD_POOL_TAG), before);
}

TEST(UsbdConfigurationRequest, NoMemoryGivesNull) {
    Bytes bytes = TwoInterfaces();
    auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(bytes.data());
    USBD_INTERFACE_LIST_ENTRY list[2] = {};
    list[0].InterfaceDescriptor =
        USBD_ParseConfigurationDescriptorEx(config, config, 0, 0, -1, -1, -1);
    kernel::testing::FailPoolAllocation(1, USBD_POOL_TAG);
    EXPECT_EQ(USBD_CreateConfigurationRequestEx(config, list), nullptr);
    kernel::testing::FailPoolAllocation(0);
}

}  // namespace
}  // namespace usb::test
