// The Plug and Play and power manager with the tests' own bus and function drivers: plug-in,
// orderly removal, rebalance, unplug with handles open, the failure hooks, power forwarding and
// DriverUnload after the last device.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "kernel/deferred_testing.h"
#include "kernel/io_user.h"
#include "kernel/pnp.h"
#include "kernel/rules.h"
#include "kernel/testing.h"
#include "test_bus.h"
#include "test_function.h"

namespace {

using namespace std::chrono_literals;
using kernel::pnp::DeviceState;
using pnp_test::TheFunctionLog;
using Minors = std::vector<UCHAR>;

NTSTATUS Await(std::future<NTSTATUS> result) {
    if (result.wait_for(10s) != std::future_status::ready) {
        ADD_FAILURE() << "the PnP operation did not finish";
        return STATUS_TIMEOUT;
    }
    return result.get();
}

template <class Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class PnpManagerTest : public ::testing::Test {
  protected:
    void SetUp() override { pnp_test::ResetFunctionLog(); }
    void TearDown() override {
        kernel::pnp::testing::SetEarlyRemove(false);
        EXPECT_TRUE(kernel::pnp::testing::WaitIdle());
        EXPECT_FALSE(kernel::pnp::DriverLoaded(u"pnptestfn"));
    }

    PDEVICE_OBJECT PlugIn(pnp_test::PdoHooks hooks = {}) {
        PDEVICE_OBJECT pdo = bus_.CreatePdo(hooks);
        EXPECT_EQ(Await(kernel::pnp::DeviceArrived(pdo, pnp_test::TestFunctionDriver())),
                  hooks.startStatus);
        return pdo;
    }

    pnp_test::TestBus bus_;
};

TEST_F(PnpManagerTest, PlugInStartsTheStackAndOrderlyRemovalUnloadsAfterTheLastDevice) {
    PDEVICE_OBJECT first = PlugIn();
    PDEVICE_OBJECT second = PlugIn();
    EXPECT_EQ(kernel::pnp::StateOf(first), DeviceState::Started);
    EXPECT_EQ(TheFunctionLog().loads, 1);  // one driver for both devices
    EXPECT_EQ(TheFunctionLog().addedFor, (std::vector<PDEVICE_OBJECT>{first, second}));
    const Minors plugIn = {IRP_MN_QUERY_CAPABILITIES, IRP_MN_START_DEVICE,
                           IRP_MN_QUERY_PNP_DEVICE_STATE};
    EXPECT_EQ(bus_.PnpMinors(first), plugIn);

    const DEVICE_CAPABILITIES& capabilities = TheFunctionLog().capabilitiesOnArrival;
    EXPECT_EQ(capabilities.Size, sizeof(DEVICE_CAPABILITIES));
    EXPECT_EQ(capabilities.Version, 1);
    EXPECT_EQ(capabilities.Address, 0xFFFFFFFFu);
    EXPECT_EQ(capabilities.UINumber, 0xFFFFFFFFu);
    const std::thread::id caller = std::this_thread::get_id();
    for (const auto& seen : TheFunctionLog().seen) {
        EXPECT_EQ(seen.statusOnArrival, STATUS_NOT_SUPPORTED);
        EXPECT_EQ(seen.irql, PASSIVE_LEVEL);
        EXPECT_NE(seen.thread, caller);
    }

    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(first)), STATUS_SUCCESS);
    EXPECT_EQ(kernel::pnp::StateOf(first), DeviceState::Removed);
    EXPECT_EQ(bus_.PnpMinors(first),
              (Minors{IRP_MN_QUERY_CAPABILITIES, IRP_MN_START_DEVICE, IRP_MN_QUERY_PNP_DEVICE_STATE,
                      IRP_MN_QUERY_REMOVE_DEVICE, IRP_MN_REMOVE_DEVICE}));
    ASSERT_TRUE(kernel::pnp::testing::WaitIdle());
    EXPECT_EQ(TheFunctionLog().unloads, 0);  // the second device still uses the driver
    EXPECT_TRUE(kernel::pnp::DriverLoaded(u"pnptestfn"));

    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(second)), STATUS_SUCCESS);
    ASSERT_TRUE(kernel::pnp::testing::WaitIdle());
    EXPECT_EQ(TheFunctionLog().unloads, 1);
    EXPECT_FALSE(kernel::pnp::DriverLoaded(u"pnptestfn"));

    // The same PDO plugged in again loads the driver again.
    EXPECT_EQ(Await(kernel::pnp::DeviceArrived(first, pnp_test::TestFunctionDriver())),
              STATUS_SUCCESS);
    EXPECT_EQ(TheFunctionLog().loads, 2);
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(first)), STATUS_SUCCESS);
}

// Refusals and failures, by who refuses, and the sequence the PDO then sees after the plug-in.
TEST_F(PnpManagerTest, FailuresLeadToTheCancelOrRemovalSequences) {
    enum class Operation { Removal, Rebalance };
    struct Case {
        const char* name;
        Operation operation;
        NTSTATUS queryStop, queryRemove;  // the function driver's answers
        pnp_test::PdoHooks hooks;
        NTSTATUS expected;
        Minors after;  // what the PDO sees after the plug-in
        DeviceState state;
    };
    const NTSTATUS busy = STATUS_DEVICE_BUSY;
    const Case cases[] = {
        {"query remove refused",
         Operation::Removal,
         STATUS_SUCCESS,
         busy,
         {},
         busy,
         // the refusing driver does not pass QUERY_REMOVE down; CANCEL_REMOVE reaches the PDO
         {IRP_MN_CANCEL_REMOVE_DEVICE},
         DeviceState::Started},
        {"query remove refused, cancel fails below",
         Operation::Removal,
         STATUS_SUCCESS,
         busy,
         pnp_test::PdoHooks{STATUS_SUCCESS, STATUS_SUCCESS, STATUS_UNSUCCESSFUL},
         busy,
         {IRP_MN_CANCEL_REMOVE_DEVICE},
         DeviceState::Started},
        {"query stop refused",
         Operation::Rebalance,
         busy,
         STATUS_SUCCESS,
         {},
         busy,
         {IRP_MN_CANCEL_STOP_DEVICE},
         DeviceState::Started},
        {"rebalance",
         Operation::Rebalance,
         STATUS_SUCCESS,
         STATUS_SUCCESS,
         {},
         STATUS_SUCCESS,
         {IRP_MN_QUERY_STOP_DEVICE, IRP_MN_STOP_DEVICE, IRP_MN_START_DEVICE},
         DeviceState::Started},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pnp_test::ResetFunctionLog();
        TheFunctionLog().queryStopStatus = c.queryStop;
        TheFunctionLog().queryRemoveStatus = c.queryRemove;
        PDEVICE_OBJECT pdo = PlugIn(c.hooks);
        const std::size_t plugIn = bus_.PnpMinors(pdo).size();
        const NTSTATUS status =
            Await(c.operation == Operation::Removal ? kernel::pnp::RequestRemoval(pdo)
                                                    : kernel::pnp::Rebalance(pdo));
        EXPECT_EQ(status, c.expected);
        const Minors all = bus_.PnpMinors(pdo);
        EXPECT_EQ(Minors(all.begin() + plugIn, all.end()), c.after);
        EXPECT_EQ(kernel::pnp::StateOf(pdo), c.state);
        TheFunctionLog().queryRemoveStatus = STATUS_SUCCESS;
        EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_SUCCESS);
        ASSERT_TRUE(kernel::pnp::testing::WaitIdle());
        EXPECT_EQ(TheFunctionLog().unloads, 1);
        bus_.DeletePdo(pdo);
    }
}

TEST_F(PnpManagerTest, FailedStartTearsTheStackDown) {
    const NTSTATUS failure = STATUS_INSUFFICIENT_RESOURCES;
    PDEVICE_OBJECT pdo = PlugIn(pnp_test::PdoHooks{failure, STATUS_SUCCESS, STATUS_SUCCESS});
    EXPECT_EQ(bus_.PnpMinors(pdo),
              (Minors{IRP_MN_QUERY_CAPABILITIES, IRP_MN_START_DEVICE, IRP_MN_REMOVE_DEVICE}));
    EXPECT_EQ(kernel::pnp::StateOf(pdo), DeviceState::StartFailed);
    ASSERT_TRUE(kernel::pnp::testing::WaitIdle());
    EXPECT_EQ(TheFunctionLog().unloads, 1);
    EXPECT_EQ(pdo->AttachedDevice, nullptr);

    // AddDevice must clear DO_DEVICE_INITIALIZING on its device.
    pnp_test::ResetFunctionLog();
    TheFunctionLog().leaveInitializing = true;
    {
        kernel::RuleViolationRecorder recorder;
        PDEVICE_OBJECT careless = PlugIn();
        EXPECT_TRUE(recorder.Saw("DO_DEVICE_INITIALIZING"));
        EXPECT_EQ(Await(kernel::pnp::RequestRemoval(careless)), STATUS_SUCCESS);
        ASSERT_TRUE(kernel::pnp::testing::WaitIdle());
    }

    // A failing AddDevice never reaches the PDO; the driver is unloaded again.
    pnp_test::ResetFunctionLog();
    TheFunctionLog().addDeviceStatus = STATUS_INSUFFICIENT_RESOURCES;
    PDEVICE_OBJECT other = bus_.CreatePdo();
    EXPECT_EQ(Await(kernel::pnp::DeviceArrived(other, pnp_test::TestFunctionDriver())),
              STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_TRUE(bus_.PnpMinors(other).empty());
    ASSERT_TRUE(kernel::pnp::testing::WaitIdle());
    EXPECT_EQ(TheFunctionLog().unloads, 1);
}

// After an unplug, REMOVE waits for the last handle; in the early mode it comes at once, from a
// thread other than the PnP thread.
TEST_F(PnpManagerTest, UnplugSendsSurpriseRemovalAndRemoveAfterTheLastHandle) {
    for (bool early : {false, true}) {
        SCOPED_TRACE(early ? "early remove" : "remove after the handles");
        pnp_test::ResetFunctionLog();
        kernel::pnp::testing::SetEarlyRemove(early);
        PDEVICE_OBJECT pdo = PlugIn();
        const auto file = kernel::user_io::Open("\\\\.\\PnpTest0", 0, 1);
        ASSERT_EQ(file.status, STATUS_SUCCESS);

        EXPECT_EQ(Await(kernel::pnp::DeviceGone(pdo)), STATUS_SUCCESS);
        if (!early) {
            std::this_thread::sleep_for(50ms);
            EXPECT_EQ(bus_.PnpMinors(pdo).back(), IRP_MN_SURPRISE_REMOVAL);
            EXPECT_EQ(kernel::pnp::StateOf(pdo), DeviceState::SurpriseRemoved);
        } else {
            ASSERT_TRUE(
                WaitFor([&] { return bus_.PnpMinors(pdo).back() == IRP_MN_REMOVE_DEVICE; }));
        }
        kernel::user_io::Close(file.file);
        ASSERT_TRUE(WaitFor([&] { return kernel::pnp::StateOf(pdo) == DeviceState::Removed; }));
        ASSERT_TRUE(kernel::pnp::testing::WaitIdle());

        const auto seen = bus_.Seen(pdo);
        ASSERT_GE(seen.size(), 2u);
        const auto& surprise = seen[seen.size() - 2];
        const auto& remove = seen.back();
        EXPECT_EQ(surprise.minor, IRP_MN_SURPRISE_REMOVAL);
        EXPECT_EQ(remove.minor, IRP_MN_REMOVE_DEVICE);
        EXPECT_EQ(remove.thread != surprise.thread, early);
        EXPECT_EQ(TheFunctionLog().unloads, 1);
        EXPECT_EQ(kernel::testing::OpenFileObjects(), 0u);
        bus_.DeletePdo(pdo);
    }
}

// The last board of a driver is pulled out while a work item of the driver runs: the driver is
// unloaded only after the routine has returned.
TEST_F(PnpManagerTest, AWorkItemKeepsItsDriverLoadedUntilItsRoutineHasReturned) {
    TheFunctionLog().workAtRemoval = true;
    PDEVICE_OBJECT pdo = PlugIn();
    EXPECT_EQ(Await(kernel::pnp::DeviceGone(pdo)), STATUS_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return kernel::pnp::StateOf(pdo) == DeviceState::Removed; }));
    ASSERT_TRUE(WaitFor([] { return TheFunctionLog().workRunning.load(); }));
    // Time for an unload that does not wait for the routine to happen.
    WaitFor([] { return TheFunctionLog().unloads > 0; }, 200ms);
    EXPECT_TRUE(kernel::pnp::DriverLoaded(u"pnptestfn"));
    TheFunctionLog().releaseWork = true;
    ASSERT_TRUE(WaitFor([] { return TheFunctionLog().unloads > 0; }));
    EXPECT_EQ(TheFunctionLog().unloadsSeenByWork, 0);
    ASSERT_TRUE(kernel::pnp::testing::WaitIdle());
    bus_.DeletePdo(pdo);
}

TEST_F(PnpManagerTest, PowerRequestsReachThePdoThroughTheStack) {
    PDEVICE_OBJECT pdo = PlugIn();
    struct Case {
        bool set;
        POWER_STATE_TYPE type;
        ULONG state;
    };
    const Case cases[] = {{true, SystemPowerState, PowerSystemSleeping3},
                          {false, SystemPowerState, PowerSystemHibernate},
                          {true, DevicePowerState, PowerDeviceD3},
                          {true, DevicePowerState, PowerDeviceD0},
                          {true, SystemPowerState, PowerSystemWorking}};
    for (const Case& c : cases) {
        POWER_STATE state;
        if (c.type == SystemPowerState)
            state.SystemState = static_cast<SYSTEM_POWER_STATE>(c.state);
        else
            state.DeviceState = static_cast<DEVICE_POWER_STATE>(c.state);
        EXPECT_EQ(Await(c.set ? kernel::pnp::SetPower(pdo, c.type, state)
                              : kernel::pnp::QueryPower(pdo, c.type, state)),
                  STATUS_SUCCESS);
        const auto seen = bus_.Seen(pdo).back();
        EXPECT_EQ(seen.major, IRP_MJ_POWER);
        EXPECT_EQ(seen.minor, c.set ? IRP_MN_SET_POWER : IRP_MN_QUERY_POWER);
        EXPECT_EQ(seen.powerType, c.type);
        EXPECT_EQ(seen.powerState, c.state);
    }
    EXPECT_EQ(Await(kernel::pnp::RequestRemoval(pdo)), STATUS_SUCCESS);
    POWER_STATE d0;
    d0.DeviceState = PowerDeviceD0;
    EXPECT_EQ(Await(kernel::pnp::SetPower(pdo, DevicePowerState, d0)), STATUS_NO_SUCH_DEVICE);
}

}  // namespace
