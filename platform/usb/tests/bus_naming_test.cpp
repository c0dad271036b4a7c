// The PDOs' names: each plugged device gets a name of its own, which a device interface
// registered against it can point at.
#include <gtest/gtest.h>

#include "kernel/io_interface.h"
#include "kernel/wide.h"
#include "registry/testing.h"
#include "usb_test_support.h"

namespace usb::test {
namespace {

TEST(BusNaming, EachPdoIsNamedSoThatInterfacesCanBeRegistered) {
    registry::ScopedMachine machine;
    Bus bus;
    PDEVICE_OBJECT first = bus.Plug(std::make_shared<ScriptedDevice>());
    PDEVICE_OBJECT second = bus.Plug(std::make_shared<ScriptedDevice>());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const GUID guid = {0x1A2B3C4D, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    int index = 0;
    for (PDEVICE_OBJECT pdo : {first, second}) {
        ASSERT_EQ(
            kernel::SetDeviceInstancePath(pdo, u"USB\\NAMING\\" + kernel::WideNumber(index++)),
            STATUS_SUCCESS);
        UNICODE_STRING link{0, 0, nullptr};
        EXPECT_EQ(IoRegisterDeviceInterface(pdo, &guid, nullptr, &link), STATUS_SUCCESS);
        EXPECT_EQ(IoSetDeviceInterfaceState(&link, TRUE), STATUS_SUCCESS);
        EXPECT_EQ(IoSetDeviceInterfaceState(&link, FALSE), STATUS_SUCCESS);
        RtlFreeUnicodeString(&link);
    }
}

}  // namespace
}  // namespace usb::test
