// The USB target on the bus stand-in and the simulated board: configuration 1 selected and its six
// pipes bound, 512-byte command transactions checked against the board's log, time-outs, the
// bus's fault pairs, asynchronous submission, pipe abort and reset, and forwarding.
#include <gtest/gtest.h>

#include <atomic>

#include "kernel/rules.h"
#include "usb/testing.h"
#include "usb_fixture.h"

namespace wdm_usb_test {
namespace {

using namespace mq5120;
using wdm::SelectResult;

class UsbTargetTest : public UsbFixture {
  protected:
    BoardIdentity Identity() override {
        BoardIdentity identity;
        identity.boardType = 4;
        return identity;
    }
};

TEST_F(UsbTargetTest, SelectsConfigurationOneAndBindsTheSixPipes) {
    Select();
    EXPECT_EQ(bus.SelectedConfiguration(pdo), 1);
    EXPECT_EQ(board->SelectedConfiguration(), 1);
    ASSERT_TRUE(pipes.interface.Bound());
    EXPECT_EQ(pipes.interface.Information()->NumberOfPipes, 6u);
    EXPECT_NE(pipes.interface.ConfigurationHandle(), nullptr);

    struct Expected {
        const wdm::UsbPipe* pipe;
        UCHAR endpoint;
        USBD_PIPE_TYPE type;
        USHORT packet;
    };
    const Expected expected[] = {{&pipes.command, kCommandEndpoint, UsbdPipeTypeBulk, 512},
                                 {&pipes.reply, kReplyEndpoint, UsbdPipeTypeBulk, 512},
                                 {&pipes.status, kStatusEndpoint, UsbdPipeTypeInterrupt, 8},
                                 {&pipes.ad, kAdEndpoint, UsbdPipeTypeBulk, 512},
                                 {&pipes.da, kDaEndpoint, UsbdPipeTypeBulk, 512},
                                 {&pipes.spare, kSpareEndpoint, UsbdPipeTypeBulk, 512}};
    std::vector<USBD_PIPE_HANDLE> handles;
    for (const auto& e : expected) {
        SCOPED_TRACE(static_cast<int>(e.endpoint));
        ASSERT_TRUE(e.pipe->Bound());
        EXPECT_EQ(e.pipe->EndpointAddress(), e.endpoint);
        EXPECT_EQ(e.pipe->PipeType(), e.type);
        EXPECT_EQ(e.pipe->MaximumPacketSize(), e.packet);
        EXPECT_EQ(e.pipe->Interface(), &pipes.interface);
        EXPECT_GE(e.pipe->Index(), 0);
        handles.push_back(e.pipe->Handle());
    }
    std::sort(handles.begin(), handles.end());
    EXPECT_EQ(std::unique(handles.begin(), handles.end()), handles.end());
    EXPECT_EQ(pipes.ad.MaximumTransferSize(), 0x10000u);
    EXPECT_EQ(pipes.ad.RequestedMaximumTransferSize(), 0u) << "cleared once bound";
    EXPECT_EQ(pipes.command.MaximumTransferSize(), ULONG{USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE});

    EXPECT_EQ(Target().Deselect(), STATUS_SUCCESS);
    EXPECT_EQ(bus.SelectedConfiguration(pdo), 0);
    EXPECT_FALSE(pipes.interface.Bound());
    for (const auto& e : expected) {
        EXPECT_FALSE(e.pipe->Bound());
        EXPECT_EQ(e.pipe->Index(), -1);
    }
}

TEST_F(UsbTargetTest, FailedSelectionsNameTheirCauseAndLeaveNothingBound) {
    struct Case {
        const char* name;
        UCHAR value;
        UCHAR interfaceNumber;   // of entry 2
        UCHAR endpoint;          // of entry 4
        int failPoolAllocation;  // n-th "Wdm " allocation fails (0: none)
        bool failDescriptors;    // the default pipe answers with a data error
        SelectResult result;
        ULONG failing;
    };
    const Case cases[] = {
        {"no such configuration", 2, 0, kDaEndpoint, 0, false,
         SelectResult::kConfigurationUnreadable, wdm::UsbTarget::kNoFailingEntry},
        {"device descriptor unreadable", 1, 0, kDaEndpoint, 0, true,
         SelectResult::kDeviceUnreadable, wdm::UsbTarget::kNoFailingEntry},
        {"interface not in the descriptor", 1, 1, kDaEndpoint, 0, false,
         SelectResult::kInterfaceMissing, 2},
        {"endpoint not among the pipes", 1, 0, 0x83, 0, false, SelectResult::kEndpointMissing, 4},
        {"no memory for the descriptor", 1, 0, kDaEndpoint, 1, false,
         SelectResult::kConfigurationUnreadable, wdm::UsbTarget::kNoFailingEntry},
        {"no memory for the interface record", 1, 0, kDaEndpoint, 2, false, SelectResult::kNoMemory,
         0},
        {"no memory for the interface list", 1, 0, kDaEndpoint, 3, false,
         SelectResult::kRequestFailed, wdm::UsbTarget::kNoFailingEntry},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto table = pipes.Table(c.value);
        table[2].interfaceNumber = c.interfaceNumber;
        table[4].endpointAddress = c.endpoint;
        if (c.failDescriptors)
            bus.InjectFault(pdo, 0, usb::Fault::DataError);
        kernel::testing::FailPoolAllocation(c.failPoolAllocation, wdm::kPoolTag);
        ULONG failing = 0;
        EXPECT_EQ(Target().SelectConfiguration(c.value, table.data(), 6, &failing, 1024), c.result);
        kernel::testing::FailPoolAllocation(0);
        EXPECT_EQ(failing, c.failing);
        EXPECT_FALSE(pipes.interface.Bound());
        EXPECT_FALSE(pipes.command.Bound());
        EXPECT_FALSE(pipes.da.Bound());
    }
    // Afterwards the selection still works.
    Select();
    EXPECT_TRUE(pipes.da.Bound());
}

TEST_F(UsbTargetTest, CommandTransactionsAreByteExactOnTheBoard) {
    Select();
    struct Case {
        const char* name;
        Message command;
        std::size_t answerWord;  // word of the reply that carries the answer (0: a write)
        std::uint16_t answer;
    };
    const Case cases[] = {
        {"register write", Command(kRegister, true, {kDoutPort, 0x5A}), 0, 0},
        {"register read", Command(kRegister, false, {kDoutPort}), 1, 0x5A},
        {"serial write", Command(kSerialNumber, true, {0x4321, 0x0765}), 0, 0},
        {"serial read", Command(kSerialNumber, false), 1, 0x4321},
        {"board type", Command(kRegister, false, {kBoardType}), 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        board->ClearLog();
        Message message = c.command;
        ASSERT_EQ(Transact(message), STATUS_SUCCESS);
        const auto log = board->Commands();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].bytes, c.command) << "the board got the 512 bytes as sent";
        if (c.answerWord != 0) {
            EXPECT_EQ(message[0], c.command[0]);
            EXPECT_EQ(WordOf(message, c.answerWord), c.answer);
        }
    }
    EXPECT_EQ(board->DoutPort(), 0x5A);
    EXPECT_EQ(board->Identity().stored.serialNumber, 0x07654321u);
}

TEST_F(UsbTargetTest, AnExpiredWaitCancelsTheTransferAndAnswersTimeout) {
    Select();
    struct Case {
        const char* name;
        bool dropReply;  // the read gets no reply; else the command pipe never answers
    };
    for (const Case c : {Case{"unanswered read", true}, Case{"command never taken", false}}) {
        SCOPED_TRACE(c.name);
        Message message = Command(kRegister, false, {kBoardType});
        ULONG moved = 1;
        USBD_STATUS usbd = 0;
        if (c.dropReply) {
            board->DropNextReply();
            ASSERT_EQ(Transfer(pipes.command, message.data(), kMessageSize, false), STATUS_SUCCESS);
            EXPECT_EQ(Transfer(pipes.reply, message.data(), kMessageSize, true, 50, &moved, &usbd),
                      STATUS_TIMEOUT);
        } else {
            bus.InjectFault(pdo, kCommandEndpoint, usb::Fault::NeverAnswer);
            EXPECT_EQ(
                Transfer(pipes.command, message.data(), kMessageSize, false, 50, &moved, &usbd),
                STATUS_TIMEOUT);
        }
        EXPECT_EQ(usbd, USBD_STATUS_CANCELED) << "the transfer came back cancelled";
        EXPECT_EQ(moved, 0u);
        EXPECT_EQ(bus.PendingTransfers(pdo), 0u);
    }
    // The pipes still serve the next transaction.
    Message message = Command(kRegister, false, {kBoardType});
    EXPECT_EQ(Transact(message), STATUS_SUCCESS);
}

TEST_F(UsbTargetTest, FaultPairsReachTheCallerAndAStallHoldsUntilReset) {
    Select();
    struct Case {
        usb::Fault fault;
        NTSTATUS status;
        USBD_STATUS usbd;
    };
    const Case cases[] = {
        {usb::Fault::TransactionError, STATUS_UNSUCCESSFUL, USBD_STATUS_XACT_ERROR},
        {usb::Fault::DataError, STATUS_DEVICE_DATA_ERROR, USBD_STATUS_DEV_NOT_RESPONDING},
        {usb::Fault::Removed, STATUS_DEVICE_NOT_CONNECTED, USBD_STATUS_DEVICE_GONE},
        {usb::Fault::Stall, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID},
    };
    Message message = Command(kRegister, true, {kDoutPort, 1});
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        bus.InjectFault(pdo, kCommandEndpoint, c.fault);
        USBD_STATUS usbd = 0;
        EXPECT_EQ(Transfer(pipes.command, message.data(), kMessageSize, false, 0, nullptr, &usbd),
                  c.status);
        EXPECT_EQ(usbd, c.usbd);
    }
    USBD_STATUS usbd = 0;
    EXPECT_EQ(Transfer(pipes.command, message.data(), kMessageSize, false, 0, nullptr, &usbd),
              STATUS_UNSUCCESSFUL);
    EXPECT_EQ(usbd, USBD_STATUS_ENDPOINT_HALTED);
    EXPECT_EQ(Target().ResetPipe(pipes.command), STATUS_SUCCESS);
    EXPECT_EQ(Transfer(pipes.command, message.data(), kMessageSize, false), STATUS_SUCCESS);
}

TEST_F(UsbTargetTest, SynchronousSubmissionAtDispatchLevelIsRefusedWithoutSending) {
    Select();
    kernel::RuleViolationRecorder violations;
    Message message = Command(kRegister, true, {kDoutPort, 7});
    board->ClearLog();
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    const NTSTATUS status = Transfer(pipes.command, message.data(), kMessageSize, false);
    KeLowerIrql(old);
    EXPECT_EQ(status, STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(violations.Count(), 0);
    EXPECT_TRUE(board->Commands().empty());
}

struct AsyncSeen {
    std::atomic<int> calls{0};
    std::atomic<NTSTATUS> status{STATUS_PENDING};
    std::atomic<KIRQL> irql{PASSIVE_LEVEL};
    static void Callback(PDEVICE_OBJECT, PIRP irp, PVOID context) {
        auto* self = static_cast<AsyncSeen*>(context);
        self->status = irp->IoStatus.Status;
        self->irql = KeGetCurrentIrql();
        ++self->calls;
    }
};

TEST_F(UsbTargetTest, AsynchronousSubmissionCallsBackAtDispatchLevel) {
    Select();
    // A reply read waits for its command; the abort of its pipe ends it cancelled.
    Message reply{};
    URB urb;
    wdm::UsbTarget::BuildTransferUrb(pipes.reply, reply.data(), kMessageSize, true, false, nullptr,
                                     &urb);
    AsyncSeen seen;
    EXPECT_EQ(Target().SubmitUrbAsync(&urb, AsyncSeen::Callback, &seen), STATUS_PENDING);
    EXPECT_EQ(seen.calls, 0);
    EXPECT_EQ(Target().AbortPipe(pipes.reply), STATUS_SUCCESS);
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return seen.calls == 1; }));
    EXPECT_EQ(seen.status, STATUS_CANCELLED);
    EXPECT_EQ(seen.irql, DISPATCH_LEVEL);

    // A command sent asynchronously, answered by the board.
    Message command = Command(kRegister, true, {kDoutPort, 3});
    wdm::UsbTarget::BuildTransferUrb(pipes.command, command.data(), kMessageSize, false, false,
                                     nullptr, &urb);
    AsyncSeen sent;
    Target().SubmitUrbAsync(&urb, AsyncSeen::Callback, &sent);
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return sent.calls == 1; }));
    EXPECT_EQ(sent.status, STATUS_SUCCESS);
    EXPECT_EQ(board->DoutPort(), 3);

    // No memory for the callback's record: the callback still hears of it, nothing is sent.
    board->ClearLog();
    AsyncSeen starved;
    kernel::testing::FailPoolAllocation(1, wdm::kPoolTag);
    EXPECT_EQ(Target().SubmitUrbAsync(&urb, AsyncSeen::Callback, &starved),
              STATUS_INSUFFICIENT_RESOURCES);
    kernel::testing::FailPoolAllocation(0);
    EXPECT_EQ(starved.calls, 1);
    EXPECT_EQ(starved.status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_TRUE(board->Commands().empty());
}

TEST_F(UsbTargetTest, DeselectionWithACallbackUnbindsAtOnceAndReportsLater) {
    Select();
    AsyncSeen seen;
    EXPECT_EQ(Target().Deselect(AsyncSeen::Callback, &seen), STATUS_SUCCESS);
    EXPECT_FALSE(pipes.interface.Bound());
    EXPECT_FALSE(pipes.reply.Bound());
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return seen.calls == 1; }));
    EXPECT_EQ(seen.status, STATUS_SUCCESS);
    EXPECT_EQ(bus.SelectedConfiguration(pdo), 0);
    // A new selection binds again.
    Select();
    EXPECT_TRUE(pipes.reply.Bound());
}

// A request of the device's own: sent to the device, forwarded below by the target.
NTSTATUS Forward(wdm::UsbTarget& target, PDEVICE_OBJECT device, UCHAR major, UCHAR minor,
                 bool power) {
    PIRP irp = IoAllocateIrp(device->StackSize, FALSE);
    IoSetNextIrpStackLocation(irp);
    PIO_STACK_LOCATION current = IoGetCurrentIrpStackLocation(irp);
    current->MajorFunction = major;
    current->MinorFunction = minor;
    current->DeviceObject = device;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    const NTSTATUS status =
        power ? target.ForwardPowerSynchronously(irp) : target.ForwardSynchronously(irp);
    IoFreeIrp(irp);
    return status;
}

TEST_F(UsbTargetTest, ForwardedRequestsComeBackWithTheLowerDriversStatus) {
    EXPECT_EQ(device->Device()->StackSize, pdo->StackSize + 1);
    EXPECT_EQ(Target().AttachedDevice(), pdo);
    EXPECT_EQ(Forward(Target(), device->Device(), IRP_MJ_PNP, IRP_MN_START_DEVICE, false),
              STATUS_SUCCESS);
    EXPECT_EQ(Forward(Target(), device->Device(), IRP_MJ_PNP, IRP_MN_QUERY_ID, false),
              STATUS_NOT_SUPPORTED)
        << "a minor the bus does not handle keeps its status";
    bus.FailPnp(pdo, IRP_MN_START_DEVICE, STATUS_DEVICE_BUSY);
    EXPECT_EQ(Forward(Target(), device->Device(), IRP_MJ_PNP, IRP_MN_START_DEVICE, false),
              STATUS_DEVICE_BUSY);
    EXPECT_EQ(Forward(Target(), device->Device(), IRP_MJ_POWER, IRP_MN_SET_POWER, true),
              STATUS_SUCCESS);
}

}  // namespace
}  // namespace wdm_usb_test
