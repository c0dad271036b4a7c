#include "core/lifetime.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

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

namespace {

// Releases ended by copy threads themselves (a release from a notification procedure) that have
// not finished yet.
struct Retiring {
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t count = 0;
};

Retiring& retiring() {
    static Retiring instance;
    return instance;
}

// The copy thread has ended: the lists, the file and the device's count go.
void finishRelease(SubsystemRecord& subsystem) {
    {
        SubsystemLock hold(subsystem);
        freeList(subsystem.readyList);
        freeList(subsystem.doneList);
        subsystem.readyList = subsystem.doneList = 0;
        subsystem.file.reset();
    }
    if (subsystem.device && subsystem.device->openSubsystems > 0)
        --subsystem.device->openSubsystems;
}

}  // namespace

void releaseSubsystem(std::shared_ptr<SubsystemRecord> subsystem) {
    OperationLock operation(*subsystem, OperationLock::Wait::Unbounded);
    {
        // Calls that found the record before it left the table end once they get the lock.
        SubsystemLock hold(*subsystem);
        subsystem->released = true;
    }
    if (subsystem->copyThread && subsystem->copyThread->isCurrentThread()) {
        // From the subsystem's own notification procedure: the thread cannot wait for itself, so
        // it ends once the procedure returns and finishes the release as its last act.
        {
            std::lock_guard guard(retiring().mutex);
            ++retiring().count;
        }
        subsystem->copyThread->retire([keep = subsystem]() mutable {
            finishRelease(*keep);
            keep.reset();  // may free the record, and the copy thread object with it
            std::lock_guard guard(retiring().mutex);
            --retiring().count;
            retiring().finished.notify_all();
        });
        return;
    }
    // Without the lock: the thread's last notifications may still call the library, which
    // refuses them now.
    if (subsystem->copyThread)
        subsystem->copyThread->shutdown();
    finishRelease(*subsystem);
}

bool waitForRetiredReleases(std::uint32_t timeoutMs) {
    std::unique_lock guard(retiring().mutex);
    return retiring().finished.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                        [] { return retiring().count == 0; });
}

}  // namespace hxda
