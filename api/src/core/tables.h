// The process-wide handle tables: 20 devices and 200 subsystems.
#pragma once

#include "core/handle_table.h"
#include "core/records.h"

namespace hxda {

using DeviceTable = HandleTable<DeviceRecord, 20, HandleKind::Device>;
using SubsystemTable = HandleTable<SubsystemRecord, 200, HandleKind::Subsystem>;

DeviceTable& deviceTable();
SubsystemTable& subsystemTable();

}  // namespace hxda
