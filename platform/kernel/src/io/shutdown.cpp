#include <mutex>
#include <set>

#include "host/built_at_load.h"
#include "kernel/shutdown.h"

namespace {

struct Registrations {
    std::mutex mutex;
    std::set<PDEVICE_OBJECT> devices;
};

Registrations& TheRegistrations() {
    static Registrations registrations;
    return registrations;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&TheRegistrations);

}  // namespace

NTSTATUS IoRegisterShutdownNotification(PDEVICE_OBJECT device) {
    Registrations& registrations = TheRegistrations();
    std::lock_guard guard(registrations.mutex);
    registrations.devices.insert(device);
    return STATUS_SUCCESS;
}

void IoUnregisterShutdownNotification(PDEVICE_OBJECT device) {
    Registrations& registrations = TheRegistrations();
    std::lock_guard guard(registrations.mutex);
    registrations.devices.erase(device);
}

namespace kernel::testing {
bool RegisteredForShutdown(PDEVICE_OBJECT device) {
    Registrations& registrations = TheRegistrations();
    std::lock_guard guard(registrations.mutex);
    return registrations.devices.count(device) != 0;
}
}  // namespace kernel::testing
