// The driver's failure traces: one line per failure through the kernel's DbgPrint, prefixed with
// the driver module's name, with the values that tell what failed (request code, pipe, status).
// Nothing is traced on the success paths.
#pragma once

#include "kernel/debug_print.h"

#define MQ5120K_TRACE(format, ...) DbgPrint("MQ5120k: " format "\n" __VA_OPT__(, ) __VA_ARGS__)
