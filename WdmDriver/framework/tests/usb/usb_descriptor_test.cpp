// Configuration descriptors come from the device: the target uses no byte beyond what it read,
// what its buffer holds and what the descriptor claims, and refuses a descriptor set in which a
// length is 0 or runs past that end.
#include <gtest/gtest.h>

#include "usb/bus.h"
#include "usb_fixture.h"

namespace wdm_usb_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One interface with the six endpoints of the board: 60 bytes.
Bytes BoardLikeConfiguration() {
    Bytes out = {9, USB_CONFIGURATION_DESCRIPTOR_TYPE, 60, 0, 1, 1,    0, 0x80, 50,
                 9, USB_INTERFACE_DESCRIPTOR_TYPE,     0,  0, 6, 0xFF, 0, 0,    0};
    for (std::uint8_t address : {0x01, 0x81, 0x86, 0x88, 0x04, 0x02}) {
        const std::uint8_t type =
            address == 0x86 ? USB_ENDPOINT_TYPE_INTERRUPT : USB_ENDPOINT_TYPE_BULK;
        out.insert(out.end(), {7, USB_ENDPOINT_DESCRIPTOR_TYPE, address, type, 0, 2, 1});
    }
    return out;
}

class ScriptedDevice : public usb::DeviceModel {
  public:
    explicit ScriptedDevice(Bytes configuration) : configuration_(std::move(configuration)) {}
    std::vector<std::uint8_t> DeviceDescriptor() override {
        Bytes out(18, 0);
        out[0] = 18;
        out[1] = USB_DEVICE_DESCRIPTOR_TYPE;
        out[17] = 1;  // one configuration
        return out;
    }
    std::vector<std::uint8_t> ConfigurationDescriptor(std::uint8_t index) override {
        return index == 0 ? configuration_ : Bytes{};
    }
    usb::InResult In(std::uint8_t, std::span<std::uint8_t>, std::uint16_t) override { return {}; }
    usb::OutResult Out(std::uint8_t, std::span<const std::uint8_t>) override {
        return usb::OutResult::Taken;
    }

  private:
    Bytes configuration_;
};

TEST(UsbDescriptorTest, ParsingStaysWithinWhatWasReadAndRefusesBadLengths) {
    struct Case {
        const char* name;
        void (*edit)(Bytes&);
        ULONG bufferSize;
        wdm::SelectResult result;
        ULONG usableLength;  // ConfigurationLength() after a successful read
    };
    const Case cases[] = {
        {"as it should be", [](Bytes&) {}, 1024, wdm::SelectResult::kSuccess, 60},
        {"total length beyond the bytes and the buffer", [](Bytes& b) { b[2] = 0xE8, b[3] = 0x03; },
         64, wdm::SelectResult::kSuccess, 60},
        {"buffer cuts an endpoint", [](Bytes&) {}, 40, wdm::SelectResult::kConfigurationUnreadable,
         0},
        {"a descriptor of length 0", [](Bytes& b) { b[25] = 0; }, 1024,
         wdm::SelectResult::kConfigurationUnreadable, 0},
        {"last endpoint runs past the end", [](Bytes& b) { b[53] = 20; }, 1024,
         wdm::SelectResult::kConfigurationUnreadable, 0},
        {"total length below the header", [](Bytes& b) { b[2] = 4; }, 1024,
         wdm::SelectResult::kConfigurationUnreadable, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes configuration = BoardLikeConfiguration();
        c.edit(configuration);
        usb::Bus bus;
        PDEVICE_OBJECT pdo = bus.Plug(std::make_shared<ScriptedDevice>(configuration));
        {
            BoardPipes pipes;  // outlives the target that binds it
            AttachedDevice device(pdo);
            auto table = pipes.Table();
            ULONG failing = 0;
            EXPECT_EQ(
                device.target->SelectConfiguration(1, table.data(), 6, &failing, c.bufferSize),
                c.result);
            EXPECT_EQ(device.target->ConfigurationLength(), c.usableLength);
            EXPECT_EQ(pipes.da.Bound(), c.result == wdm::SelectResult::kSuccess);
            if (c.result == wdm::SelectResult::kSuccess) {
                EXPECT_EQ(device.target->Deselect(), STATUS_SUCCESS);
            }
        }
        EXPECT_EQ(kernel::testing::PoolOutstanding(wdm::kPoolTag), kernel::testing::PoolUsage{});
    }
}

}  // namespace
}  // namespace wdm_usb_test
