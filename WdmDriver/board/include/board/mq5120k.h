// The driver MQ5120k: its entry (the module exports it as "DriverEntry") and the service name the
// Plug and Play manager loads it under. Each load starts with a fresh driver state: instance
// numbers from 0 and the service parameters read from "<service key>\Parameters".
#pragma once

#include "kernel/wdm.h"

namespace board {

inline constexpr PCWSTR kServiceName = u"MQ5120k";
inline constexpr PCWSTR kServiceKey =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\MQ5120k";

NTSTATUS Mq5120kDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

}  // namespace board
