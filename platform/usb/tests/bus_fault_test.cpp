// Fault injection: the exact status pairs a driver tells apart, halted pipes, unanswered and
// zero-length transfers, failing descriptor reads.
#include <gtest/gtest.h>

#include "simclock/thread.h"
#include "usb_test_support.h"

namespace usb::test {
namespace {

using Faults = BusFixture;

TEST_F(Faults, EachFaultGivesItsStatusPair) {
    struct Case {
        Fault fault;
        NTSTATUS status;
        USBD_STATUS usbd;
    } cases[] = {
        {Fault::TransactionError, STATUS_UNSUCCESSFUL, USBD_STATUS_XACT_ERROR},
        {Fault::Stall, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID},
        {Fault::DataError, STATUS_DEVICE_DATA_ERROR, USBD_STATUS_DEV_NOT_RESPONDING},
        {Fault::Removed, STATUS_DEVICE_NOT_CONNECTED, USBD_STATUS_DEVICE_GONE},
        {Fault::ZeroLength, STATUS_SUCCESS, USBD_STATUS_SUCCESS},
    };
    for (const auto& c : cases) {
        // Armed while a transfer waits for data, and armed before the transfer arrives.
        for (bool armFirst : {false, true}) {
            std::uint8_t buffer[8];
            UrbRequest request;
            Build(request, ScriptedDevice::kInterruptIn, buffer, 4, USBD_TRANSFER_DIRECTION_IN);
            if (armFirst)
                bus.InjectFault(pdo, ScriptedDevice::kInterruptIn, c.fault);
            EXPECT_EQ(request.Send(pdo), STATUS_PENDING);
            if (!armFirst)
                bus.InjectFault(pdo, ScriptedDevice::kInterruptIn, c.fault);
            ASSERT_TRUE(request.Wait());
            EXPECT_EQ(request.Status(), c.status) << int(c.fault);
            EXPECT_EQ(request.urb()->UrbHeader.Status, c.usbd) << int(c.fault);
            EXPECT_EQ(request.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 0u);
            if (c.fault == Fault::Stall) {
                UrbRequest reset;
                reset.urb()->UrbHeader.Function = URB_FUNCTION_RESET_PIPE;
                reset.urb()->UrbPipeRequest.PipeHandle = pipes[ScriptedDevice::kInterruptIn];
                EXPECT_EQ(reset.Send(pdo), STATUS_SUCCESS);
            }
        }
    }
    // Faults are one-shot: the next transfer works.
    std::uint8_t buffer[8];
    UrbRequest request;
    Build(request, ScriptedDevice::kInterruptIn, buffer, 4, USBD_TRANSFER_DIRECTION_IN);
    request.Send(pdo);
    device->Offer(ScriptedDevice::kInterruptIn, {9, 8, 7, 6});
    ASSERT_TRUE(request.Wait());
    EXPECT_EQ(request.Status(), STATUS_SUCCESS);
}

TEST_F(Faults, StallHaltsThePipeUntilReset) {
    std::uint8_t buffer[64];
    bus.InjectFault(pdo, ScriptedDevice::kBulkIn, Fault::Stall);
    UrbRequest stalled, queued;
    Build(stalled, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    Build(queued, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    stalled.Send(pdo);
    queued.Send(pdo);
    ASSERT_TRUE(stalled.Wait());
    ASSERT_TRUE(queued.Wait());
    EXPECT_EQ(stalled.urb()->UrbHeader.Status, USBD_STATUS_STALL_PID);
    EXPECT_EQ(queued.Status(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(queued.urb()->UrbHeader.Status, USBD_STATUS_ENDPOINT_HALTED);

    UrbRequest refused;
    Build(refused, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(refused.Send(pdo), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(refused.urb()->UrbHeader.Status, USBD_STATUS_ENDPOINT_HALTED);
    // Other pipes are not halted.
    UrbRequest other;
    Build(other, ScriptedDevice::kBulkOut, buffer, 4, USBD_TRANSFER_DIRECTION_OUT);
    other.Send(pdo);
    ASSERT_TRUE(other.Wait());
    EXPECT_EQ(other.Status(), STATUS_SUCCESS);

    UrbRequest reset;
    reset.urb()->UrbHeader.Function = URB_FUNCTION_RESET_PIPE;
    reset.urb()->UrbPipeRequest.PipeHandle = pipes[ScriptedDevice::kBulkIn];
    EXPECT_EQ(reset.Send(pdo), STATUS_SUCCESS);
    UrbRequest after;
    Build(after, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(after.Send(pdo), STATUS_PENDING);
    device->Offer(ScriptedDevice::kBulkIn, Bytes(64, 1));
    ASSERT_TRUE(after.Wait());
    EXPECT_EQ(after.Status(), STATUS_SUCCESS);
}

TEST_F(Faults, NeverAnswerHoldsThePipeUntilCancelled) {
    std::uint8_t buffer[64];
    bus.InjectFault(pdo, ScriptedDevice::kBulkOut, Fault::NeverAnswer);
    UrbRequest silent, behind;
    Build(silent, ScriptedDevice::kBulkOut, buffer, 4, USBD_TRANSFER_DIRECTION_OUT);
    Build(behind, ScriptedDevice::kBulkOut, buffer, 4, USBD_TRANSFER_DIRECTION_OUT);
    EXPECT_EQ(silent.Send(pdo), STATUS_PENDING);
    EXPECT_EQ(behind.Send(pdo), STATUS_PENDING);
    // The port has tried the first (a cancel before that would leave the fault to the second).
    ASSERT_TRUE(simclock::testing::Settle());
    EXPECT_FALSE(silent.Done());
    EXPECT_FALSE(behind.Done()) << "the pipe is a FIFO";
    EXPECT_TRUE(silent.Cancel());
    ASSERT_TRUE(silent.Wait());
    EXPECT_EQ(silent.Status(), STATUS_CANCELLED);
    EXPECT_EQ(silent.urb()->UrbHeader.Status, USBD_STATUS_CANCELED);
    ASSERT_TRUE(behind.Wait());
    EXPECT_EQ(behind.Status(), STATUS_SUCCESS);
    EXPECT_EQ(device->Received(ScriptedDevice::kBulkOut).size(), 1u);
}

TEST_F(Faults, DescriptorReadsFailOnTheControlPipe) {
    struct Case {
        Fault fault;
        NTSTATUS status;
        USBD_STATUS usbd;
    } cases[] = {
        {Fault::TransactionError, STATUS_UNSUCCESSFUL, USBD_STATUS_XACT_ERROR},
        {Fault::Stall, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID},
        {Fault::DataError, STATUS_DEVICE_DATA_ERROR, USBD_STATUS_DEV_NOT_RESPONDING},
    };
    for (const auto& c : cases) {
        std::uint8_t buffer[18] = {};
        bus.InjectFault(pdo, 0, c.fault);
        UrbRequest request;
        UsbBuildGetDescriptorRequest(request.urb(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST),
                                     USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, buffer, nullptr, 18,
                                     nullptr);
        EXPECT_EQ(request.Send(pdo), c.status);
        EXPECT_EQ(request.urb()->UrbHeader.Status, c.usbd);
        EXPECT_EQ(request.urb()->UrbControlDescriptorRequest.TransferBufferLength, 0u);
    }
}

}  // namespace
}  // namespace usb::test
