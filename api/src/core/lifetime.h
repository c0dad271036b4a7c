// Making and releasing the handle records. The opening of boards and subsystems by name builds on
// these; so does the test-only entry.
#pragma once

#include <cstdint>
#include <memory>

#include "core/records.h"
#include "hxda/api_status.h"

namespace hxda {

// Enters a device record into the device table; 67 when the table is full.
ApiStatus addDevice(std::shared_ptr<DeviceRecord> device, HDEV* hDev);

// What a new subsystem record is made from.
struct SubsystemParts {
    std::uint32_t type = 0;
    std::uint32_t element = 0;
    PersonalityRecord personality;
    std::unique_ptr<DriverChannel> file;
    std::shared_ptr<CopyThreadLink> copyThread;
    // Start the subsystem's own copy thread when it has continuous transfers (a copyThread given
    // here stands in for it).
    bool startCopyThread = false;
};

// Makes a subsystem record of `device`: the configuration block with its defaults, the ready
// and done lists of an analog subsystem, the copy thread, and the table entry. HXCANTALLOCDASS
// when the table is full, a buffer manager status when a list cannot be made, HXGENERALFAILURE
// when the thread cannot start.
ApiStatus addSubsystem(const std::shared_ptr<DeviceRecord>& device, SubsystemParts parts,
                       HDASS* hDass);

// Ends the copy thread, frees every buffer still listed and the lists, closes the subsystem file
// and frees the record once no engine call holds it. The record must be out of the table already.
// On the subsystem's own copy thread (a notification procedure) the release finishes on that
// thread once the procedure has returned.
void releaseSubsystem(std::shared_ptr<SubsystemRecord> subsystem);

// Waits until every release that a copy thread finishes by itself is done; false on time-out.
bool waitForRetiredReleases(std::uint32_t timeoutMs);

}  // namespace hxda
