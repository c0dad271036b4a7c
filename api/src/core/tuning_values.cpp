#include "core/tuning_values.h"

#include "win32/registry.h"

namespace hxda {
namespace {

constexpr const char kSoftwareKey[] = "SOFTWARE\\Marquell\\MQ-Halcyon Data Acquisition Software";

std::uint32_t readValue(HKEY key, const char* name) {
    DWORD value = 0;
    DWORD bytes = sizeof value;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS ||
        bytes != sizeof value)
        return 0;
    return value;
}

}  // namespace

void readTuningValues(DeviceRecord& device) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSoftwareKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    device.threadStartSleepTimeMSecs = readValue(key, "ThreadStartSleepTimeMSecs");
    device.threadStopSleepTimeMSecs = readValue(key, "ThreadStopSleepTimeMSecs");
    device.messageOnAbort = readValue(key, "MessageOnAbort");
    device.abortSleepTimeMSecs = readValue(key, "AbortSleepTimeMSecs");
    device.copyThreadPriority = readValue(key, "CopyThreadPriority");
    RegCloseKey(key);
}

}  // namespace hxda
