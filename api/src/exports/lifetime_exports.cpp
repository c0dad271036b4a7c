// Releasing subsystems and devices.
#include "core/lifetime.h"
#include "core/tables.h"

using namespace hxda;

extern "C" HXSTATUS HXAPI hxDaReleaseDASS(HDASS hDass) {
    std::shared_ptr<SubsystemRecord> subsystem = subsystemTable().remove(hDass);
    if (!subsystem)
        return HXINVALIDSSHANDLE;
    releaseSubsystem(std::move(subsystem));
    return HXNOERROR;
}

extern "C" HXSTATUS HXAPI hxDaTerminate(HDEV hDev) {
    const std::shared_ptr<DeviceRecord> device = deviceTable().find(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    if (device->openSubsystems != 0)
        return HXSUBSYSINUSE;
    deviceTable().remove(hDev);
    device->deviceFile.reset();
    return HXNOERROR;
}
