// Opening and releasing boards and subsystems.
#include <mutex>

#include "core/device_open.h"
#include "core/engine.h"
#include "core/lifetime.h"
#include "core/tables.h"
#include "utility/frequency_measurement.h"

using namespace hxda;

extern "C" HXSTATUS HXAPI hxDaInitialize(LPCSTR boardName, HDEV* hDev) {
    if (boardName == nullptr)
        return HXNULLSTRING;
    if (hDev == nullptr)
        return HXDRIVERINITFAILED;
    return openDevice(boardName, hDev).code();
}

extern "C" HXSTATUS HXAPI hxDaTerminate(HDEV hDev) {
    const std::shared_ptr<DeviceRecord> device = deviceTable().find(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    std::lock_guard guard(device->lifetime);
    if (device->closed)
        return HXINVALIDDEVHANDLE;
    if (device->openSubsystems != 0)
        return HXSUBSYSINUSE;
    deviceTable().remove(hDev);
    device->closed = true;
    closeDevice(*device);
    return HXNOERROR;
}

extern "C" HXSTATUS HXAPI hxDaGetDASS(HDEV hDev, UINT subsystemType, UINT element, HDASS* hDass) {
    if (hDass == nullptr)
        return HXINVALIDSSHANDLE;
    return openSubsystem(hDev, subsystemType, element, hDass).code();
}

extern "C" HXSTATUS HXAPI hxDaReleaseDASS(HDASS hDass) {
    if (!findSubsystem(hDass))
        return HXINVALIDSSHANDLE;
    // A pending measurement's timer must not reach the released subsystem.
    cancelFrequencyMeasurement(hDass);
    std::shared_ptr<SubsystemRecord> subsystem = subsystemTable().remove(hDass);
    if (!subsystem)
        return HXINVALIDSSHANDLE;
    releaseSubsystem(std::move(subsystem));
    return HXNOERROR;
}
