// When the library leaves the process it closes whatever the process left open: running
// subsystems are aborted at the driver (no copy-thread command, no waiting), then every subsystem
// is released and every device terminated.
#include <mutex>

#include "core/device_open.h"
#include "core/lifetime.h"
#include "core/tables.h"
#include "driver/driver_requests.h"
#include "hxda/request_codes.h"
#include "ops/subsystem_state.h"
#include "utility/frequency_measurement.h"

namespace hxda {
namespace {

// How long the unload waits for releases that copy threads finish by themselves.
constexpr std::uint32_t kRetiredReleaseWaitMs = 5000;

void closeEverything() {
    cancelAllFrequencyMeasurements();
    subsystemTable().forEach([](const std::shared_ptr<SubsystemRecord>& subsystem) {
        if (subsystem->configuration && loadState(*subsystem) > HXSTATE_READY) {
            DriverRequest request = makeRequest();
            request.state = loadState(*subsystem);
            // The process is leaving: nobody is left to hear the driver's answer.
            static_cast<void>(sendSubsystemRequest(*subsystem, IOCTL_HXDA_ABORT, request));
        }
    });
    subsystemTable().forEach([](const std::shared_ptr<SubsystemRecord>& subsystem) {
        if (auto removed = subsystemTable().remove(subsystem->self))
            releaseSubsystem(std::move(removed));
    });
    waitForRetiredReleases(kRetiredReleaseWaitMs);
    deviceTable().forEach([](const std::shared_ptr<DeviceRecord>& device) {
        if (auto removed = deviceTable().remove(device->self)) {
            std::lock_guard guard(removed->lifetime);
            removed->closed = true;
            closeDevice(*removed);
        }
    });
}

// Constructed at load, after the tables it walks, so that it is destroyed before them.
struct ProcessAttachment {
    ProcessAttachment() {
        deviceTable();
        subsystemTable();
        cancelAllFrequencyMeasurements();  // builds the table of measurements, walked at unload
    }
    ~ProcessAttachment() { closeEverything(); }
};

const ProcessAttachment attachment;

}  // namespace
}  // namespace hxda
