// The echo/queue test driver's entry, for tests that load it themselves.
#pragma once

#include "echo_control.h"
#include "kernel/wdm.h"

namespace echo {

constexpr ULONG kTag = MQ_POOL_TAG('E', 'c', 'h', 'o');

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

}  // namespace echo
