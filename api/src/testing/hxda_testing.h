// Test-only entry of the library (not part of the public header): opens device and subsystem
// records on channels and tables that a test provides, without board discovery.
#pragma once

#include <cstdint>
#include <memory>

#include "core/lifetime.h"
#include "core/message_record.h"

namespace hxda::testing {

// A device record on `deviceFile` (may be null: device requests then fail with HXGENERALFAILURE).
HXSTATUS openTestDevice(std::unique_ptr<DriverChannel> deviceFile, HDEV* hDev);

// A device record on the board device at `devicePath` ("\\.\NAME"); HXDRIVERINITFAILED when it
// cannot be opened.
HXSTATUS openTestDeviceAt(const char* devicePath, HDEV* hDev);

// A subsystem of `hDev` from `parts`; HXINVALIDDEVHANDLE for a bad device handle.
HXSTATUS openTestSubsystem(HDEV hDev, SubsystemParts parts, HDASS* hDass);

// A subsystem of a device opened by path: its file below the device path is opened
// (HXSUBSYSINUSE when that fails, as for a subsystem already open) and becomes `parts.file`.
HXSTATUS openTestSubsystemAt(HDEV hDev, SubsystemParts parts, HDASS* hDass);

// Releases every open subsystem and device and starts the handle generations again.
void resetHandleTables();

// How long a synchronous copy-thread command waits for its acknowledgement; 0 restores the
// 20 s of the library (so does resetHandleTables).
void setAcknowledgeTimeout(std::uint32_t timeoutMs);

// The configuration block of an open subsystem, for inspection and for forcing a state; null
// for a bad handle.
ConfigurationBlock* configurationOf(HDASS hDass);

}  // namespace hxda::testing
