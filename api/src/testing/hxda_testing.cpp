#include "testing/hxda_testing.h"

#include <cstdio>

#include "core/engine.h"
#include "core/tables.h"
#include "driver/file_channel.h"
#include "utility/frequency_measurement.h"
#include "utility/ss_lists.h"

namespace hxda::testing {
namespace {

constexpr std::uint32_t kRetiredReleaseWaitMs = 5000;

}  // namespace

HXSTATUS openTestDevice(std::unique_ptr<DriverChannel> deviceFile, HDEV* hDev) {
    auto device = std::make_shared<DeviceRecord>();
    device->deviceFile = std::move(deviceFile);
    return addDevice(std::move(device), hDev).code();
}

HXSTATUS openTestSubsystem(HDEV hDev, SubsystemParts parts, HDASS* hDass) {
    const std::shared_ptr<DeviceRecord> device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    return addSubsystem(device, std::move(parts), hDass).code();
}

HXSTATUS openTestDeviceAt(const char* devicePath, HDEV* hDev) {
    std::unique_ptr<FileDriverChannel> file = openDriverFile(devicePath);
    if (!file)
        return HXDRIVERINITFAILED;
    auto device = std::make_shared<DeviceRecord>();
    std::snprintf(device->devicePath, sizeof device->devicePath, "%s", devicePath);
    device->deviceFile = std::move(file);
    return addDevice(std::move(device), hDev).code();
}

HXSTATUS openTestSubsystemAt(HDEV hDev, SubsystemParts parts, HDASS* hDass) {
    const std::shared_ptr<DeviceRecord> device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    parts.file = openDriverFile(subsystemFilePath(device->devicePath, parts.type, parts.element));
    if (!parts.file)
        return HXSUBSYSINUSE;
    return addSubsystem(device, std::move(parts), hDass).code();
}

void resetHandleTables() {
    cancelAllFrequencyMeasurements();
    subsystemTable().forEach([](const std::shared_ptr<SubsystemRecord>& subsystem) {
        if (auto removed = subsystemTable().remove(subsystem->self))
            releaseSubsystem(std::move(removed));
    });
    waitForRetiredReleases(kRetiredReleaseWaitMs);
    subsystemTable().clear();
    setMessageTap(nullptr);
    setAcknowledgeTimeoutMs(0);
    deviceTable().clear();
    simultaneousStartLists().clear();
}

ConfigurationBlock* configurationOf(HDASS hDass) {
    const std::shared_ptr<SubsystemRecord> subsystem = findSubsystem(hDass);
    return subsystem ? subsystem->configuration->block() : nullptr;
}

}  // namespace hxda::testing

namespace hxda::testing {

void setAcknowledgeTimeout(std::uint32_t timeoutMs) {
    setAcknowledgeTimeoutMs(timeoutMs);
}

}  // namespace hxda::testing
