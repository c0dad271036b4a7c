// The PDO's Plug and Play and power handling, unplug, and the PDO's lifetime.
#include <gtest/gtest.h>

#include "kernel/testing.h"
#include "usb_test_support.h"

namespace usb::test {
namespace {

using Pnp = BusFixture;

TEST_F(Pnp, MinorsTheBusOwnsSucceedOthersKeepTheirStatus) {
    const UCHAR succeeding[] = {IRP_MN_START_DEVICE,        IRP_MN_QUERY_STOP_DEVICE,
                                IRP_MN_STOP_DEVICE,         IRP_MN_CANCEL_STOP_DEVICE,
                                IRP_MN_QUERY_REMOVE_DEVICE, IRP_MN_CANCEL_REMOVE_DEVICE,
                                IRP_MN_SURPRISE_REMOVAL,    IRP_MN_QUERY_PNP_DEVICE_STATE};
    for (UCHAR minor : succeeding)
        EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, minor), STATUS_SUCCESS) << int(minor);
    const UCHAR unchanged[] = {IRP_MN_QUERY_CAPABILITIES, IRP_MN_QUERY_ID,
                               IRP_MN_QUERY_DEVICE_RELATIONS, IRP_MN_QUERY_INTERFACE};
    for (UCHAR minor : unchanged) {
        EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, minor), STATUS_NOT_SUPPORTED) << int(minor);
        EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, minor, STATUS_SUCCESS), STATUS_SUCCESS) << int(minor);
    }
    EXPECT_EQ(SendPnp(pdo, IRP_MJ_POWER, IRP_MN_SET_POWER), STATUS_SUCCESS);
    EXPECT_EQ(SendPnp(pdo, IRP_MJ_POWER, IRP_MN_QUERY_POWER), STATUS_SUCCESS);
    EXPECT_EQ(SendPnp(pdo, IRP_MJ_POWER, IRP_MN_WAIT_WAKE), STATUS_NOT_SUPPORTED);
}

TEST_F(Pnp, HooksFailStartAndTheCancels) {
    const UCHAR minors[] = {IRP_MN_START_DEVICE, IRP_MN_CANCEL_STOP_DEVICE,
                            IRP_MN_CANCEL_REMOVE_DEVICE};
    for (UCHAR minor : minors) {
        bus.FailPnp(pdo, minor, STATUS_INSUFFICIENT_RESOURCES);
        EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, minor), STATUS_INSUFFICIENT_RESOURCES) << int(minor);
        bus.FailPnp(pdo, minor, STATUS_SUCCESS);
        EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, minor), STATUS_SUCCESS) << int(minor);
    }
}

TEST_F(Pnp, UnplugFailsPendingAndNewUrbsAsDeviceGone) {
    std::uint8_t buffer[64];
    UrbRequest in, out;
    Build(in, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    bus.InjectFault(pdo, ScriptedDevice::kBulkOut, Fault::NeverAnswer);
    Build(out, ScriptedDevice::kBulkOut, buffer, 8, USBD_TRANSFER_DIRECTION_OUT);
    in.Send(pdo);
    out.Send(pdo);
    bus.Unplug(pdo);
    EXPECT_FALSE(bus.IsPlugged(pdo));
    EXPECT_FALSE(device->HasPort());
    for (UrbRequest* request : {&in, &out}) {
        ASSERT_TRUE(request->Wait());
        EXPECT_EQ(request->Status(), STATUS_DEVICE_NOT_CONNECTED);
        EXPECT_EQ(request->urb()->UrbHeader.Status, USBD_STATUS_DEVICE_GONE);
    }
    UrbRequest later;
    Build(later, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(later.Send(pdo), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(later.urb()->UrbHeader.Status, USBD_STATUS_DEVICE_GONE);
    UrbRequest descriptor;
    UsbBuildGetDescriptorRequest(descriptor.urb(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST),
                                 USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, buffer, nullptr, 18, nullptr);
    EXPECT_EQ(descriptor.Send(pdo), STATUS_DEVICE_NOT_CONNECTED);

    // Surprise removal and removal still reach the PDO; after REMOVE it is deleted.
    EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, IRP_MN_SURPRISE_REMOVAL), STATUS_SUCCESS);
    const auto devices = kernel::testing::LiveDevices();
    EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_TRUE(bus.WaitDeleted(pdo));
    EXPECT_EQ(kernel::testing::LiveDevices(), devices - 1);
    EXPECT_TRUE(bus.Devices().empty());
}

// REMOVE completes only after every URB the PDO holds has completed.
TEST_F(Pnp, RemoveCompletesHeldUrbsFirst) {
    std::uint8_t buffer[64];
    UrbRequest a, b;
    Build(a, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    Build(b, ScriptedDevice::kInterruptIn, buffer, 4, USBD_TRANSFER_DIRECTION_IN);
    a.Send(pdo);
    b.Send(pdo);
    EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_TRUE(a.Done());
    EXPECT_TRUE(b.Done());
    EXPECT_EQ(a.Status(), STATUS_CANCELLED);
    EXPECT_EQ(bus.PendingTransfers(pdo), 0u);
    // Still plugged in: the PDO stays, and takes no transfers until it is started again.
    EXPECT_TRUE(bus.IsPlugged(pdo));
    UrbRequest refused;
    Build(refused, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(refused.Send(pdo), STATUS_CANCELLED);
    EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, IRP_MN_START_DEVICE), STATUS_SUCCESS);
    Select();
    UrbRequest again;
    Build(again, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(again.Send(pdo), STATUS_PENDING);
    again.Cancel();
}

// A device attached above the PDO keeps it alive after REMOVE until it detaches.
TEST(PnpLifetime, UnpluggedPdoIsDeletedOnceDetached) {
    Bus bus;
    auto device = std::make_shared<ScriptedDevice>();
    PDEVICE_OBJECT pdo = bus.Plug(device);
    PDEVICE_OBJECT fdo = nullptr;
    ASSERT_EQ(IoCreateDevice(bus.Driver(), 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo),
              STATUS_SUCCESS);
    EXPECT_EQ(IoAttachDeviceToDeviceStack(fdo, pdo), pdo);
    bus.Unplug(pdo);
    EXPECT_EQ(SendPnp(pdo, IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_FALSE(bus.WaitDeleted(pdo, 100)) << "deleted while a device is attached";
    IoDetachDevice(pdo);
    EXPECT_TRUE(bus.WaitDeleted(pdo));
    IoDeleteDevice(fdo);
}

TEST(PnpLifetime, BusDeletesEveryPdoItMade) {
    const auto before = kernel::testing::LiveDevices();
    {
        Bus bus;
        bus.Plug(std::make_shared<ScriptedDevice>());
        PDEVICE_OBJECT second = bus.Plug(std::make_shared<ScriptedDevice>());
        bus.Unplug(second);
        EXPECT_EQ(bus.Devices().size(), 2u);
        EXPECT_EQ(kernel::testing::LiveDevices(), before + 2);
    }
    EXPECT_EQ(kernel::testing::LiveDevices(), before);
}

}  // namespace
}  // namespace usb::test
