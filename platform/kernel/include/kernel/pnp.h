// The Plug and Play and power manager of the kernel stand-in.
//
// It builds and tears down device stacks on physical device objects (PDOs) that a bus driver
// creates, and sends them the platform's Plug and Play and power requests, from its own PnP thread
// at PASSIVE_LEVEL, one operation at a time. Every Plug and Play request starts with
// IoStatus.Status = STATUS_NOT_SUPPORTED and goes to the top of the PDO's stack.
//
// Sequences:
// - Plug-in (DeviceArrived): the function driver is loaded unless it is loaded already,
//   AddDevice(driver, pdo), QUERY_CAPABILITIES with the record pre-filled (Size, Version 1,
//   Address and UINumber 0xFFFFFFFF; its status is not looked at), START_DEVICE,
//   QUERY_PNP_DEVICE_STATE. A failed START_DEVICE is followed by REMOVE_DEVICE.
// - Orderly removal (RequestRemoval): QUERY_REMOVE, then REMOVE on success or CANCEL_REMOVE.
// - Rebalance (Rebalance): QUERY_STOP, then STOP and a new START on success (REMOVE when that
//   START fails), or CANCEL_STOP.
// - Unplug (DeviceGone): SURPRISE_REMOVAL, then REMOVE once every handle to a device of the stack
//   is closed (or at once, from another thread, in the early-remove test mode).
// - Power (SetPower, QueryPower): SET_POWER / QUERY_POWER of the system or device type, sent with
//   PoCallDriver. WAIT_WAKE is never sent.
// - A driver is unloaded (DriverUnload, then its object freed) once the last of its devices has
//   been removed, every one of its device objects deleted and every file on them closed. A later
//   arrival loads it again.
//
// Interface for a bus driver (for example the USB bus stand-in):
// 1. Create the PDO with IoCreateDevice on the bus driver's own DRIVER_OBJECT, clear
//    DO_DEVICE_INITIALIZING, and report it with DeviceArrived, naming the function driver.
// 2. Complete the Plug and Play and power requests that reach the PDO: START, QUERY_STOP, STOP,
//    CANCEL_STOP, QUERY_REMOVE, CANCEL_REMOVE, SURPRISE_REMOVAL, REMOVE and
//    QUERY_PNP_DEVICE_STATE with STATUS_SUCCESS, any other minor with its status unchanged; power
//    requests with STATUS_SUCCESS (after PoStartNextPowerIrp).
// 3. When the hardware goes away, fail the PDO's pending and new requests first, then call
//    DeviceGone. The PDO's REMOVE completes only after every request it holds has completed.
// 4. The bus deletes the PDO (IoDeleteDevice) once the hardware is gone and the PDO has received
//    REMOVE_DEVICE (or was never given to the manager); the manager never deletes a PDO.
//
// Each call returns at once with a future that becomes ready when the operation is done on the PnP
// thread. None of them may be waited for on the PnP thread itself (from a driver's PnP dispatch).
#pragma once

#include <functional>
#include <future>
#include <string>

#include "kernel/io.h"

namespace kernel::pnp {

// The function driver of a device: loaded once per service name, shared by its devices.
struct FunctionDriver {
    std::u16string serviceName;
    // Loads it, for example with kernel::LoadDriver or kernel::LoadDriverModule.
    std::function<NTSTATUS(PDRIVER_OBJECT* driver)> load;
};

enum class DeviceState {
    Unknown,          // never reported, or forgotten after its removal
    Adding,           // reported; the plug-in sequence runs
    Started,          // START_DEVICE succeeded
    StartFailed,      // loading, AddDevice, QUERY_CAPABILITIES or START failed; torn down
    SurpriseRemoved,  // SURPRISE_REMOVAL sent; REMOVE follows when the handles are closed
    Removed,          // REMOVE_DEVICE sent
};

// The status of the plug-in: STATUS_SUCCESS when started, else the failing step's status.
std::future<NTSTATUS> DeviceArrived(PDEVICE_OBJECT pdo, FunctionDriver driver);
// STATUS_SUCCESS once SURPRISE_REMOVAL has been handled (or when nothing was left to remove); the
// REMOVE that follows is not waited for.
std::future<NTSTATUS> DeviceGone(PDEVICE_OBJECT pdo);
// The status of QUERY_REMOVE (STATUS_NO_SUCH_DEVICE for a device that is not started).
std::future<NTSTATUS> RequestRemoval(PDEVICE_OBJECT pdo);
// The status of QUERY_STOP when it failed, else that of the new START.
std::future<NTSTATUS> Rebalance(PDEVICE_OBJECT pdo);
std::future<NTSTATUS> SetPower(PDEVICE_OBJECT pdo, POWER_STATE_TYPE type, POWER_STATE state);
std::future<NTSTATUS> QueryPower(PDEVICE_OBJECT pdo, POWER_STATE_TYPE type, POWER_STATE state);

DeviceState StateOf(PDEVICE_OBJECT pdo);
// True while a driver of that service name is loaded by the manager.
bool DriverLoaded(const std::u16string& serviceName);

namespace testing {
// Early-remove mode: after SURPRISE_REMOVAL, REMOVE is sent at once from another thread, while
// handles may still be open.
void SetEarlyRemove(bool early);
// Waits (bounded) until the manager has nothing to do: no operation queued or running, no REMOVE
// waiting for handles, no driver waiting to be unloaded. False on timeout.
bool WaitIdle(int timeoutMs = 5000);
}  // namespace testing

}  // namespace kernel::pnp
