// The device base driven by the kernel's Plug and Play manager through the test bus: plug-in and
// start, orderly removal, rebalance with requests held and released, surprise removal, removal
// that waits for the requests inside the driver, power pass-through, and the hold queue's cancel
// safety. After each test the driver's pool tag is balanced.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "framework/kernel_timer.h"
#include "framework_testing.h"
#include "kernel/interfaces_user.h"
#include "kernel/io_user.h"
#include "kernel/machine.h"
#include "kernel/pnp.h"
#include "pnp_test_bus.h"
#include "pnp_test_device.h"
#include "registry/testing.h"
#include "simclock/thread.h"

namespace {

using namespace std::chrono_literals;
using Entries = std::vector<std::string>;
using kernel::pnp::DeviceState;
using wdm::PnpDeviceBase;
using wdm_test::TestDevice;
using wdm_test::TestIrp;

constexpr kernel::user_io::IssuerId kIssuer = 5120;

NTSTATUS Await(std::future<NTSTATUS> result) {
    if (result.wait_for(10s) != std::future_status::ready) {
        ADD_FAILURE() << "the Plug and Play operation did not finish";
        return STATUS_TIMEOUT;
    }
    return result.get();
}

// A read issued from user mode and its outcome.
struct UserRead {
    std::atomic<int> completions{0};
    std::atomic<NTSTATUS> status{STATUS_PENDING};
    NTSTATUS submitted = STATUS_PENDING;
    char buffer[16] = {};
};

std::size_t PresentInterfaces() {
    const auto& g = wdm_test::kTestInterface;
    kernel::user_interfaces::InterfaceClass guid{g.Data1, g.Data2, g.Data3, {}};
    std::copy(std::begin(g.Data4), std::end(g.Data4), guid.data4);
    return kernel::user_interfaces::ListPresentInterfaces(guid).size();
}

class PnpDeviceBaseTest : public wdm_test::PoolCheckedTest {
  protected:
    void SetUp() override {
        kernel::machine::SetBootEnabled(false);
        log_.journal = &journal_;
        wdm_test::TheDriverLog() = &log_;
        devicesBefore_ = kernel::testing::LiveDevices();
    }
    void TearDown() override {
        kernel::pnp::testing::SetEarlyRemove(false);
        EXPECT_TRUE(kernel::pnp::testing::WaitIdle());
        EXPECT_FALSE(kernel::pnp::DriverLoaded(u"wdmpnptest"));
        EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
        bus_.reset();
        EXPECT_EQ(kernel::testing::LiveDevices(), devicesBefore_);
        wdm_test::TheDriverLog() = nullptr;
        PoolCheckedTest::TearDown();
    }

    PDEVICE_OBJECT PlugIn(wdm_test::BusAnswers answers = {}, NTSTATUS expected = STATUS_SUCCESS) {
        PDEVICE_OBJECT pdo = bus_->CreatePdo(std::move(answers));
        EXPECT_EQ(Await(kernel::pnp::DeviceArrived(pdo, wdm_test::TestPnpDriver())), expected);
        return pdo;
    }
    static TestDevice* DeviceOf(PDEVICE_OBJECT pdo) {
        return static_cast<TestDevice*>(wdm::KernelDeviceBase::FromDevice(pdo->AttachedDevice));
    }
    static kernel::user_io::FileId Open(int index = 0) {
        const auto result =
            kernel::user_io::Open("\\\\.\\WdmPnp" + std::to_string(index), 0xC0000000u, kIssuer);
        EXPECT_EQ(result.status, STATUS_SUCCESS);
        return result.file;
    }
    static std::shared_ptr<UserRead> Read(kernel::user_io::FileId file) {
        auto read = std::make_shared<UserRead>();
        kernel::user_io::Request request;
        request.operation = kernel::user_io::Operation::Read;
        request.output = read->buffer;
        request.outputLength = sizeof(read->buffer);
        read->submitted = kernel::user_io::Submit(
            file, kIssuer, request, [read](const kernel::user_io::Completion& completion) {
                read->status = completion.status;
                ++read->completions;
            });
        return read;
    }
    // Sends a request of the given code straight to the device object.
    static std::unique_ptr<TestIrp> SendTo(PDEVICE_OBJECT fdo, UCHAR major, UCHAR minor = 0) {
        auto irp = std::make_unique<TestIrp>(fdo->StackSize, major, minor);
        irp->Send(fdo);
        return irp;
    }

    registry::ScopedMachine machine_;
    wdm_test::Journal journal_;
    wdm_test::DriverLog log_;
    std::unique_ptr<wdm_test::PnpTestBus> bus_ = std::make_unique<wdm_test::PnpTestBus>(&journal_);
    std::size_t devicesBefore_ = 0;
};

TEST_F(PnpDeviceBaseTest, PlugInStartsTheDeviceAndOrderlyRemovalDestroysIt) {
    PDEVICE_OBJECT pdo = PlugIn();
    TestDevice* device = DeviceOf(pdo);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->ConstructionStatus(), STATUS_SUCCESS);
    EXPECT_TRUE(device->Is(PnpDeviceBase::kStarted));
    EXPECT_EQ(device->BusyCount(), 1);
    EXPECT_TRUE(device->DeviceObject()->Flags & DO_DIRECT_IO);
    // The device answers the capabilities itself; the lower driver starts first; the state query
    // reaches the bus.
    EXPECT_EQ(journal_.Entries(), (Entries{"bus:START", "fdo:start", "fdo:query_pnp_device_state",
                                           "bus:QUERY_PNP_DEVICE_STATE"}));
    EXPECT_EQ(PresentInterfaces(), 1u);

    // The capabilities come back with SurpriseRemovalOK set, from the device alone.
    journal_.Clear();
    DEVICE_CAPABILITIES capabilities{};
    capabilities.Size = sizeof(capabilities);
    TestIrp query(device->DeviceObject()->StackSize, IRP_MJ_PNP, IRP_MN_QUERY_CAPABILITIES);
    query.Location()->Parameters.DeviceCapabilities.Capabilities = &capabilities;
    query.Send(device->DeviceObject());
    ASSERT_TRUE(query.WaitCompleted());
    EXPECT_EQ(query.Status(), STATUS_SUCCESS);
    EXPECT_TRUE(capabilities.SurpriseRemovalOK);
    EXPECT_TRUE(journal_.With("bus:").empty());
    EXPECT_EQ(device->BusyCount(), 1);

    // A read is served while started.
    const auto file = Open();
    auto read = Read(file);
    EXPECT_EQ(read->submitted, STATUS_PENDING);
    EXPECT_EQ(device->BusyCount(), 2);  // held by the queued read
    device->CompleteRead(STATUS_SUCCESS, 4);
    EXPECT_EQ(read->status, STATUS_SUCCESS);
    EXPECT_EQ(device->BusyCount(), 1);
    EXPECT_EQ(device->OpenCount(), 1);
    kernel::user_io::Close(file);
    EXPECT_EQ(device->OpenCount(), 0);

    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_SUCCESS);
    EXPECT_EQ(journal_.Entries(),
              (Entries{"fdo:query_remove", "bus:QUERY_REMOVE", "fdo:remove", "bus:REMOVE"}));
    EXPECT_EQ(log_.destroyed, 1);
    EXPECT_EQ(log_.busyAtDestruction, 0);
    EXPECT_EQ(PresentInterfaces(), 0u);
    EXPECT_EQ(pdo->AttachedDevice, nullptr);  // detached
}

TEST_F(PnpDeviceBaseTest, QueryRemoveIsRefusedWhileAFileIsOpen) {
    PDEVICE_OBJECT pdo = PlugIn();
    TestDevice* device = DeviceOf(pdo);
    const auto file = Open();
    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_DEVICE_BUSY);
    EXPECT_EQ(journal_.Entries(), (Entries{"bus:CANCEL_REMOVE", "fdo:cancel_remove"}));
    EXPECT_TRUE(device->Is(PnpDeviceBase::kStarted));
    EXPECT_FALSE(device->Is(PnpDeviceBase::kRemovePending));
    EXPECT_EQ(device->BusyCount(), 1);

    // The same refusal for a rebalance; a request inside the driver also refuses it.
    EXPECT_EQ(Await(kernel::pnp::Rebalance(pdo)), STATUS_DEVICE_BUSY);
    kernel::user_io::Close(file);
    auto direct = SendTo(device->DeviceObject(), IRP_MJ_READ);  // stays queued: busy 2
    EXPECT_EQ(Await(kernel::pnp::Rebalance(pdo)), STATUS_DEVICE_BUSY);
    device->CompleteRead(STATUS_SUCCESS, 0);
    EXPECT_EQ(direct->Status(), STATUS_SUCCESS);

    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_SUCCESS);
    EXPECT_EQ(journal_.With("bus:"), (Entries{"bus:QUERY_REMOVE", "bus:REMOVE"}));
    EXPECT_EQ(log_.busyAtDestruction, 0);
}

// A read that arrives while a stop is pending is held; a new start does not release it; a
// cancelled stop hands the held requests to the gate again; the cleanup of a file cancels its
// held requests; surprise removal fails those left.
TEST_F(PnpDeviceBaseTest, StopsHoldRequestsUntilReleasedCancelledOrFailed) {
    PDEVICE_OBJECT pdo = PlugIn();
    TestDevice* device = DeviceOf(pdo);

    // A rebalance: a read sent while the stop runs is held, and stays held after the new start.
    std::unique_ptr<TestIrp> heldDirect;
    log_.onPnp = [&](UCHAR minor) {
        if (minor == IRP_MN_STOP_DEVICE)
            heldDirect = SendTo(device->DeviceObject(), IRP_MJ_READ);
    };
    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::Rebalance(pdo)), STATUS_SUCCESS);
    log_.onPnp = nullptr;
    EXPECT_EQ(journal_.Entries(), (Entries{"fdo:query_stop", "bus:QUERY_STOP", "fdo:stop",
                                           "bus:STOP", "bus:START", "fdo:start"}));
    EXPECT_TRUE(device->Is(PnpDeviceBase::kStarted));
    ASSERT_NE(heldDirect, nullptr);
    EXPECT_EQ(heldDirect->Completions(), 0);
    EXPECT_EQ(device->HeldCount(), 1u);

    // A stop the bus refuses: reads sent meanwhile are held; closing one file cancels its read;
    // the cancelled stop releases the rest to the gate, which queues them.
    const auto fileMine = Open();
    const auto fileOther = Open();
    device->Policy().queryStop = 0;  // query the stop with files open
    std::shared_ptr<UserRead> heldMine;
    std::shared_ptr<UserRead> heldOther;
    bus_->Answers(pdo).status[IRP_MN_QUERY_STOP_DEVICE] = STATUS_UNSUCCESSFUL;
    bus_->Answers(pdo).onPnp = [&](UCHAR minor) {
        if (minor != IRP_MN_QUERY_STOP_DEVICE)
            return;
        heldMine = Read(fileMine);
        heldOther = Read(fileOther);
        EXPECT_EQ(device->HeldCount(), 3u);
        kernel::user_io::Close(fileMine);
        EXPECT_EQ(heldMine->status, STATUS_CANCELLED);
        EXPECT_EQ(device->HeldCount(), 2u);
    };
    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::Rebalance(pdo)), STATUS_UNSUCCESSFUL);
    bus_->Answers(pdo).onPnp = nullptr;
    bus_->Answers(pdo).status.clear();
    EXPECT_EQ(journal_.Entries(),
              (Entries{"fdo:query_stop", "bus:QUERY_STOP", "bus:CANCEL_STOP", "fdo:cancel_stop"}));
    EXPECT_EQ(heldMine->completions, 1);
    EXPECT_EQ(device->HeldCount(), 0u);
    EXPECT_EQ(device->Reads().Current(), heldDirect->Get());
    EXPECT_EQ(device->Reads().WaitingCount(), 1u);
    device->CompleteRead(STATUS_SUCCESS, 0);
    device->CompleteRead(STATUS_SUCCESS, 0);
    EXPECT_EQ(heldDirect->Status(), STATUS_SUCCESS);
    EXPECT_EQ(heldOther->status, STATUS_SUCCESS);
    EXPECT_EQ(device->BusyCount(), 1);

    // Unplug while a read is held: it fails at the surprise removal, as does a later read.
    std::shared_ptr<UserRead> heldLast;
    log_.onPnp = [&](UCHAR minor) {
        if (minor == IRP_MN_STOP_DEVICE)
            heldLast = Read(fileOther);
    };
    EXPECT_EQ(Await(kernel::pnp::Rebalance(pdo)), STATUS_SUCCESS);
    log_.onPnp = nullptr;
    ASSERT_NE(heldLast, nullptr);
    EXPECT_EQ(heldLast->completions, 0);
    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::DeviceGone(pdo)), STATUS_SUCCESS);
    EXPECT_EQ(heldLast->status, STATUS_DELETE_PENDING);
    EXPECT_EQ(Read(fileOther)->submitted, STATUS_DELETE_PENDING);
    EXPECT_EQ(journal_.Entries(), (Entries{"fdo:surprise_removal", "bus:SURPRISE_REMOVAL"}));
    kernel::user_io::Close(fileOther);  // REMOVE follows the last close
    ASSERT_TRUE(kernel::pnp::testing::WaitIdle());
    EXPECT_EQ(journal_.Entries(), (Entries{"fdo:surprise_removal", "bus:SURPRISE_REMOVAL",
                                           "fdo:remove", "bus:REMOVE"}));
    EXPECT_EQ(log_.destroyed, 1);
    EXPECT_EQ(log_.busyAtDestruction, 0);
}

// Removal while a file is open and a read is inside the driver: REMOVE waits for the read, the
// device then outlives the removal until its last file closes.
TEST_F(PnpDeviceBaseTest, RemovalWaitsForRequestsInsideAndTheLastCloseDestroys) {
    PDEVICE_OBJECT pdo = PlugIn();
    TestDevice* device = DeviceOf(pdo);
    PDEVICE_OBJECT fdo = device->DeviceObject();
    const auto file = Open();
    auto read = Read(file);
    EXPECT_EQ(device->BusyCount(), 2);

    kernel::pnp::testing::SetEarlyRemove(true);
    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::DeviceGone(pdo)), STATUS_SUCCESS);
    // REMOVE has started and waits for the read: the bus has not seen it yet.
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return device->Is(PnpDeviceBase::kRemoved); }));
    // Every thread of the kernel blocked: REMOVE waits for the read.
    ASSERT_TRUE(simclock::testing::Settle());
    EXPECT_EQ(journal_.With("bus:"), (Entries{"bus:SURPRISE_REMOVAL"}));
    // Power requests after the removal fail at once.
    auto power = SendTo(fdo, IRP_MJ_POWER, IRP_MN_SET_POWER);
    EXPECT_EQ(power->Status(), STATUS_DELETE_PENDING);

    device->CompleteRead(STATUS_SUCCESS, 2);
    EXPECT_EQ(read->status, STATUS_SUCCESS);
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return device->BusyCount() == 0; }));
    EXPECT_EQ(journal_.With("bus:"), (Entries{"bus:SURPRISE_REMOVAL", "bus:REMOVE"}));
    EXPECT_EQ(log_.destroyed, 0);  // a file is still open
    EXPECT_EQ(device->BusyCount(), 0);

    // A create after the removal fails without touching the open count.
    auto create = SendTo(fdo, IRP_MJ_CREATE);
    EXPECT_EQ(create->Status(), STATUS_DELETE_PENDING);
    EXPECT_EQ(device->OpenCount(), 1);
    auto late = Read(file);
    EXPECT_EQ(late->submitted, STATUS_DELETE_PENDING);

    kernel::user_io::Close(file);
    EXPECT_EQ(log_.destroyed, 1);
    EXPECT_EQ(log_.openAtDestruction, 0);
}

// The last file closes while REMOVE waits for the file's read: its cleanup cancels the read, and
// its close, which must wait for the device mutex that REMOVE holds, does not count as busy
// while it waits, so REMOVE ends and the close then destroys the device.
TEST_F(PnpDeviceBaseTest, ClosingTheLastFileWhileRemovalWaitsDoesNotDeadlock) {
    PDEVICE_OBJECT pdo = PlugIn();
    TestDevice* device = DeviceOf(pdo);
    const auto file = Open();
    auto read = Read(file);
    kernel::pnp::testing::SetEarlyRemove(true);
    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::DeviceGone(pdo)), STATUS_SUCCESS);
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return device->Is(PnpDeviceBase::kRemoved); }));
    // Every thread of the kernel blocked: REMOVE waits for the read now.
    ASSERT_TRUE(simclock::testing::Settle());

    // Close on a thread of its own, so that a deadlock fails the test instead of hanging it.
    auto closed = std::make_shared<std::promise<void>>();
    std::thread([file, closed] {
        kernel::user_io::Close(file);
        closed->set_value();
    }).detach();
    ASSERT_EQ(closed->get_future().wait_for(10s), std::future_status::ready);
    EXPECT_EQ(read->status, STATUS_CANCELLED);
    EXPECT_EQ(journal_.With("bus:"), (Entries{"bus:SURPRISE_REMOVAL", "bus:REMOVE"}));
    EXPECT_EQ(log_.destroyed, 1);
    EXPECT_EQ(log_.busyAtDestruction, 0);
}

TEST_F(PnpDeviceBaseTest, FailuresBelowOrInTheHandlersFinishTheRequest) {
    // The lower driver fails START: the device's handler never runs, the device is removed.
    wdm_test::BusAnswers failingStart;
    failingStart.status[IRP_MN_START_DEVICE] = STATUS_DEVICE_DATA_ERROR;
    PlugIn(failingStart, STATUS_DEVICE_DATA_ERROR);
    ASSERT_TRUE(kernel::pnp::testing::WaitIdle());
    EXPECT_EQ(journal_.Entries(), (Entries{"bus:START", "fdo:remove", "bus:REMOVE"}));
    EXPECT_EQ(log_.destroyed, 1);
    EXPECT_EQ(log_.busyAtDestruction, 0);

    // The state query's handler fails: the request completes with that status and its busy count
    // goes, so that the removal does not wait for ever.
    journal_.Clear();
    log_.queryStateStatus = STATUS_UNSUCCESSFUL;
    PDEVICE_OBJECT pdo = PlugIn();
    EXPECT_EQ(journal_.With("bus:"), (Entries{"bus:START"}));
    EXPECT_EQ(DeviceOf(pdo)->BusyCount(), 1);

    // A query remove the bus refuses: the device stays started and its count balanced.
    bus_->Answers(pdo).status[IRP_MN_QUERY_REMOVE_DEVICE] = STATUS_UNSUCCESSFUL;
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_UNSUCCESSFUL);
    EXPECT_TRUE(DeviceOf(pdo)->Is(PnpDeviceBase::kStarted));
    EXPECT_EQ(DeviceOf(pdo)->BusyCount(), 1);
    bus_->Answers(pdo).status.erase(IRP_MN_QUERY_REMOVE_DEVICE);
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_SUCCESS);
    EXPECT_EQ(log_.destroyed, 2);
    EXPECT_EQ(log_.busyAtDestruction, 0);
}

// With a query-remove timeout, a request that stays inside the driver makes the query fail
// instead of holding the Plug and Play thread; the waits refuse to run at DISPATCH_LEVEL.
TEST_F(PnpDeviceBaseTest, QueryRemoveWithATimeoutGivesUpWhileARequestStaysInside) {
    PDEVICE_OBJECT pdo = PlugIn();
    TestDevice* device = DeviceOf(pdo);
    auto read = SendTo(device->DeviceObject(), IRP_MJ_READ);
    device->SetWaitTimeouts(0, 0, 50 * wdm::kMillisecond100ns);
    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_DEVICE_BUSY);
    EXPECT_EQ(journal_.Entries(),
              (Entries{"fdo:query_remove", "bus:CANCEL_REMOVE", "fdo:cancel_remove"}));
    EXPECT_FALSE(device->Is(PnpDeviceBase::kRemovePending));
    EXPECT_EQ(device->BusyCount(), 2);  // the read's
    EXPECT_EQ(device->WaitForIdle(10 * wdm::kMillisecond100ns), STATUS_TIMEOUT);

    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    EXPECT_EQ(device->WaitForIdle(0), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(device->WaitForRemoval(0), STATUS_UNSUCCESSFUL);
    KeLowerIrql(old);

    device->CompleteRead(STATUS_SUCCESS, 0);
    EXPECT_EQ(read->Status(), STATUS_SUCCESS);
    EXPECT_EQ(device->BusyCount(), 1);
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_SUCCESS);
    EXPECT_EQ(log_.busyAtDestruction, 0);
}

TEST_F(PnpDeviceBaseTest, PowerRequestsPassToTheBus) {
    PDEVICE_OBJECT pdo = PlugIn();
    POWER_STATE d3;
    d3.DeviceState = PowerDeviceD3;
    POWER_STATE s0;
    s0.SystemState = PowerSystemWorking;
    journal_.Clear();
    EXPECT_EQ(Await(kernel::pnp::SetPower(pdo, DevicePowerState, d3)), STATUS_SUCCESS);
    EXPECT_EQ(Await(kernel::pnp::QueryPower(pdo, SystemPowerState, s0)), STATUS_SUCCESS);
    EXPECT_EQ(journal_.Entries(), (Entries{"bus:POWER_2_1_4", "bus:POWER_3_0_1"}));
    EXPECT_EQ(DeviceOf(pdo)->BusyCount(), 1);
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_SUCCESS);
}

// Held requests cancelled from another thread while a cancelled stop releases them: each one is
// completed exactly once, either cancelled or served.
TEST_F(PnpDeviceBaseTest, CancelsRacingTheReleaseOfHeldRequestsCompleteEachOnce) {
    PDEVICE_OBJECT pdo = PlugIn();
    TestDevice* device = DeviceOf(pdo);
    PDEVICE_OBJECT fdo = device->DeviceObject();
    bus_->Answers(pdo).status[IRP_MN_QUERY_STOP_DEVICE] = STATUS_UNSUCCESSFUL;

    // First the race pinned down: a cancel has taken the held request's routine (as IoCancelIrp
    // does) but the routine has not run yet when the release comes. The release must leave the
    // request to the routine.
    std::unique_ptr<TestIrp> caught;
    PDRIVER_CANCEL routine = nullptr;
    bus_->Answers(pdo).onPnp = [&](UCHAR minor) {
        if (minor != IRP_MN_QUERY_STOP_DEVICE)
            return;
        // A request cancelled before it reaches the hold queue is completed, not held.
        TestIrp early(fdo->StackSize, IRP_MJ_READ);
        IoCancelIrp(early.Get());
        EXPECT_EQ(early.Send(fdo), STATUS_CANCELLED);
        EXPECT_EQ(early.Completions(), 1);
        EXPECT_EQ(device->HeldCount(), 0u);

        caught = SendTo(fdo, IRP_MJ_READ);
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);
        caught->Get()->Cancel = TRUE;
        routine = IoSetCancelRoutine(caught->Get(), nullptr);
        IoReleaseCancelSpinLock(irql);
    };
    EXPECT_EQ(Await(kernel::pnp::Rebalance(pdo)), STATUS_UNSUCCESSFUL);  // releases the held
    ASSERT_NE(routine, nullptr);
    EXPECT_EQ(caught->Completions(), 0);
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    caught->Get()->CancelIrql = irql;
    routine(fdo, caught->Get());  // the cancel routine runs late, and releases the lock
    EXPECT_EQ(caught->Completions(), 1);
    EXPECT_EQ(caught->Status(), STATUS_CANCELLED);
    EXPECT_EQ(device->HeldCount(), 0u);

    // Then many real races.
    std::mt19937 random(3);
    for (int round = 0; round < 10; ++round) {
        std::vector<std::unique_ptr<TestIrp>> irps;
        std::thread canceller;
        bus_->Answers(pdo).onPnp = [&](UCHAR minor) {
            if (minor != IRP_MN_QUERY_STOP_DEVICE)
                return;
            for (int i = 0; i < 30; ++i)
                irps.push_back(SendTo(fdo, IRP_MJ_READ));
            EXPECT_EQ(device->HeldCount(), 30u);
            std::vector<PIRP> order;
            for (auto& irp : irps)
                order.push_back(irp->Get());
            std::shuffle(order.begin(), order.end(), random);
            canceller = std::thread([order] {
                for (PIRP irp : order)
                    IoCancelIrp(irp);
            });
        };
        EXPECT_EQ(Await(kernel::pnp::Rebalance(pdo)), STATUS_UNSUCCESSFUL);
        canceller.join();
        // Those served sit in the read queue: cancel them there.
        device->Reads().CancelAll(nullptr);
        while (device->Reads().Busy())
            device->CompleteRead(STATUS_CANCELLED, 0);
        for (auto& irp : irps) {
            EXPECT_EQ(irp->Completions(), 1);
            EXPECT_EQ(irp->Status(), STATUS_CANCELLED);
        }
        EXPECT_EQ(device->HeldCount(), 0u);
        EXPECT_EQ(device->BusyCount(), 1);
    }
    bus_->Answers(pdo).onPnp = nullptr;
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_SUCCESS);
}

}  // namespace
