#include "board/driver_options.h"

#include <string>

#include "framework/registry_key.h"

namespace board {

namespace {

// A REG_DWORD value, or the fallback when it is missing or of another type.
ULONG DwordOr(wdm::RegistryKey& key, PCWSTR name, ULONG fallback) {
    ULONG value = 0;
    return NT_SUCCESS(key.QueryDword(name, &value)) ? value : fallback;
}

}  // namespace

void ReadDriverOptions(DriverOptions* options) {
    *options = DriverOptions{};
    wdm::RegistryKey key;
    if (!NT_SUCCESS(key.Open(kSoftwareKeyPath, L"", KEY_READ, false)))
        return;
    options->delayedStopCompletion = DwordOr(key, L"DelayedStopCompletion", 0) != 0;
    options->driverDoesMultipleWrap = DwordOr(key, L"DriverDoesMultipleWrap", 0) != 0;
    options->clearDataToggleOnAbort = DwordOr(key, L"ClearDataToggleOnAbort", 0) != 0;
    options->dacFifoSize = DwordOr(key, L"DacFifoSize", 0);
    options->adFifoSize = DwordOr(key, L"AdFifoSize", 0);
}

void ReadServiceParameters(PCUNICODE_STRING serviceKey, ServiceParameters* parameters) {
    *parameters = ServiceParameters{};
    if (serviceKey == nullptr || serviceKey->Buffer == nullptr || serviceKey->Length == 0)
        return;
    const std::wstring path(serviceKey->Buffer, serviceKey->Length / sizeof(WCHAR));
    wdm::RegistryKey key;
    if (!NT_SUCCESS(key.Open(path.c_str(), L"Parameters", KEY_READ, false)))
        return;
    parameters->eepromValidationOverride =
        DwordOr(key, L"EepromValidationOverride", parameters->eepromValidationOverride);
    parameters->messageOverrunOverride =
        DwordOr(key, L"MessageOverrunOverride", parameters->messageOverrunOverride);
}

}  // namespace board
