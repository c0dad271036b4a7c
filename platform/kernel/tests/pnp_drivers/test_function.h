// A minimal function driver for the Plug and Play manager's tests: AddDevice creates a named FDO
// ("\Device\PnpTest<n>", linked as "\\.\PnpTest<n>") on the PDO; its PnP dispatch forwards START
// and the cancels first, refuses QUERY_STOP / QUERY_REMOVE when told to, passes the rest down,
// and deletes its FDO at REMOVE. It records what it saw in one log, which a fixture resets.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "kernel/pnp.h"
#include "kernel/wdm.h"
#include "seen_irp.h"

namespace pnp_test {

struct FunctionLog {
    std::mutex mutex;
    std::vector<SeenIrp> seen;
    DEVICE_CAPABILITIES capabilitiesOnArrival{};
    std::vector<PDEVICE_OBJECT> addedFor;  // the PDO of every AddDevice
    std::atomic<int> loads{0};
    std::atomic<int> unloads{0};
    // Hooks: the status a QUERY_STOP / QUERY_REMOVE gets from this driver (success passes down).
    std::atomic<NTSTATUS> queryStopStatus{STATUS_SUCCESS};
    std::atomic<NTSTATUS> queryRemoveStatus{STATUS_SUCCESS};
    std::atomic<NTSTATUS> addDeviceStatus{STATUS_SUCCESS};
    std::atomic<bool> leaveInitializing{false};  // AddDevice forgets DO_DEVICE_INITIALIZING
    std::atomic<int> nextIndex{0};
    // At REMOVE the driver queues a work item on its FDO whose routine runs until releaseWork
    // (bounded), then notes the unloads it saw at its return.
    std::atomic<bool> workAtRemoval{false};
    std::atomic<bool> workRunning{false};
    std::atomic<bool> releaseWork{false};
    std::atomic<int> unloadsSeenByWork{-1};

    std::vector<UCHAR> PnpMinors();
};

// The one log of the test function driver.
FunctionLog& TheFunctionLog();
void ResetFunctionLog();

// The function driver as the manager loads it (service name "pnptestfn").
kernel::pnp::FunctionDriver TestFunctionDriver();

}  // namespace pnp_test
