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
    if (!NT_SUCCESS(key.Open(kSoftwareKeyPath, u"", KEY_READ, false)))
        return;
    options->delayedStopCompletion = DwordOr(key, u"DelayedStopCompletion", 0) != 0;
    options->driverDoesMultipleWrap = DwordOr(key, u"DriverDoesMultipleWrap", 0) != 0;
    options->clearDataToggleOnAbort = DwordOr(key, u"ClearDataToggleOnAbort", 0) != 0;
    options->dacFifoSize = DwordOr(key, u"DacFifoSize", 0);
    options->adFifoSize = DwordOr(key, u"AdFifoSize", 0);
}

void ReadServiceParameters(PCUNICODE_STRING serviceKey, ServiceParameters* parameters) {
    *parameters = ServiceParameters{};
    if (serviceKey == nullptr || serviceKey->Buffer == nullptr || serviceKey->Length == 0)
        return;
    const std::u16string path(serviceKey->Buffer, serviceKey->Length / sizeof(WCHAR));
    wdm::RegistryKey key;
    if (!NT_SUCCESS(key.Open(path.c_str(), u"Parameters", KEY_READ, false)))
        return;
    parameters->eepromValidationOverride =
        DwordOr(key, u"EepromValidationOverride", parameters->eepromValidationOverride);
    parameters->messageOverrunOverride =
        DwordOr(key, u"MessageOverrunOverride", parameters->messageOverrunOverride);
}

}  // namespace board
