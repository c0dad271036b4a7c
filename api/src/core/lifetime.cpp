#include "core/lifetime.h"

#include "core/capabilities.h"
#include "core/engine.h"
#include "core/tables.h"
#include "hxda/api_status.h"
#include "ops/configuration_defaults.h"
#include "ops/make_copy_thread.h"

namespace hxda {
namespace {

void freeList(HLIST list) {
    if (list == 0)
        return;
    for (;;) {
        HBUF buffer = 0;
        if (hxDmGetBufferFromList(list, &buffer) != 0 || buffer == 0)
            break;
        hxDmFreeBuffer(buffer);
    }
    hxDmFreeList(list);
}

}  // namespace

ApiStatus addDevice(std::shared_ptr<DeviceRecord> device, HDEV* hDev) {
    const HDEV token = deviceTable().add(std::move(device));
    if (token == 0)
        return HXDRIVERINITFAILED;
    *hDev = token;
    return HXNOERROR;
}

ApiStatus addSubsystem(const std::shared_ptr<DeviceRecord>& device, SubsystemParts parts,
                       HDASS* hDass) {
    auto subsystem = std::make_shared<SubsystemRecord>();
    subsystem->device = device;
    subsystem->type = parts.type;
    subsystem->element = parts.element;
    subsystem->personality = parts.personality;
    subsystem->file = std::move(parts.file);
    subsystem->configuration =
        std::make_unique<ConfigurationStorage>(configurationEntries(parts.personality));
    subsystem->block().state = HXSTATE_ALLOCATED;
    writeConfigurationDefaults(*subsystem);
    if (parts.type == HXSS_AD || parts.type == HXSS_DA) {
        if (const ApiStatus status =
                ApiStatus::FromCode(hxDmCreateList(&subsystem->readyList, 0, 0, 0));
            status.failed())
            return status;
        if (const ApiStatus status =
                ApiStatus::FromCode(hxDmCreateList(&subsystem->doneList, 0, 0, 0));
            status.failed()) {
            freeList(subsystem->readyList);
            return status;
        }
    }
    subsystem->copyThread = std::move(parts.copyThread);
    if (parts.startCopyThread && capability(parts.personality, HXSSC_DATAFLOW_CONTINUOUS) != 0) {
        subsystem->copyThread = makeCopyThread(*subsystem);
        if (!subsystem->copyThread) {
            freeList(subsystem->readyList);
            freeList(subsystem->doneList);
            return HXGENERALFAILURE;
        }
    }
    const HDASS token = subsystemTable().add(subsystem);
    if (token == 0) {
        subsystem->copyThread.reset();
        freeList(subsystem->readyList);
        freeList(subsystem->doneList);
        return HXCANTALLOCDASS;
    }
    ++device->openSubsystems;
    *hDass = token;
    return HXNOERROR;
}

void releaseSubsystem(std::shared_ptr<SubsystemRecord> subsystem) {
    {
        // Waits for an engine call still running on another thread.
        SubsystemLock hold(*subsystem);
        subsystem->copyThread.reset();
        freeList(subsystem->readyList);
        freeList(subsystem->doneList);
        subsystem->readyList = subsystem->doneList = 0;
        subsystem->file.reset();
    }
    if (subsystem->device && subsystem->device->openSubsystems > 0)
        --subsystem->device->openSubsystems;
}

}  // namespace hxda
