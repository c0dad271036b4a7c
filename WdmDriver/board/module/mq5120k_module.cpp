// The driver module "libMQ5120k.so": the kernel's loader finds its DriverEntry by name.
#include "board/mq5120k.h"

extern "C" __attribute__((visibility("default"))) NTSTATUS DriverEntry(
    PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    return board::Mq5120kDriverEntry(driver, registryPath);
}
