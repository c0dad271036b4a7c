// Board registration: the board's name from the board database (a new board gets the default
// name made of its description and the database's subkey count), then the values the library
// reads, in the interface key and, for the family that uses it, in the device map.
#include <cstdio>

#include "board_device.h"
#include "registry_key.h"

namespace sim {
namespace {

constexpr char16_t kBoardDatabase[] =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Control\\MqHalcyonDaDevice\\BoardDatabase";
constexpr char16_t kDeviceMap[] = u"\\Registry\\Machine\\Hardware\\DeviceMap\\MqHalcyonDaDevice";
constexpr char kDeviceMapFamily[] = "MQ5310";

std::u16string Hex(std::uint32_t value, int digits) {
    char16_t text[16];
    swprintf(text, 16, u"%0*X", digits, value);
    return text;
}

// An 80-character property of the physical device, or empty.
std::u16string Property(PDEVICE_OBJECT physical, DEVICE_REGISTRY_PROPERTY property) {
    WCHAR buffer[80] = {};
    ULONG length = 0;
    if (!NT_SUCCESS(IoGetDeviceProperty(physical, property, sizeof buffer, buffer, &length)))
        return {};
    buffer[79] = u'\0';
    return buffer;
}

NTSTATUS WriteBoardValues(RegistryKey& key, const BoardDevice& device) {
    NTSTATUS status;
    if (!NT_SUCCESS(status = key.SetString(u"MqHalcyonBoardName", Widen(device.boardName))) ||
        !NT_SUCCESS(status = key.SetString(u"DriverName", Widen(device.driverName))) ||
        !NT_SUCCESS(status = key.SetString(u"BoardModelName", Widen(device.modelName))) ||
        !NT_SUCCESS(status = key.SetDword(u"BoardType", device.boardType)) ||
        !NT_SUCCESS(status = key.SetDword(u"SerialNumber", device.serialNumber)))
        return status;
    return key.SetDword(u"DeviceInstanceNumber", device.instance);
}

std::u16string DeviceMapEntry(const BoardDevice& device) {
    return device.linkName.substr(4);  // the link name without "\??\"
}

}  // namespace

NTSTATUS RegisterBoard(BoardDevice& device) {
    std::u16string description = Property(device.physical, DevicePropertyDeviceDescription);
    if (description.empty())
        description = Widen(device.driverName);

    RegistryKey database, described, boardKey;
    NTSTATUS status = database.Create(kBoardDatabase);
    if (!NT_SUCCESS(status) || !NT_SUCCESS(status = described.Create(description, &database)))
        return status;
    const auto count = described.SubkeyCount();
    if (!count)
        return STATUS_UNSUCCESSFUL;
    const std::uint32_t keyNumber =
        device.serialNumber != 0 ? device.serialNumber : device.instance;
    if (!NT_SUCCESS(status = boardKey.Create(Hex(keyNumber, 8), &described)))
        return status;
    if (auto stored = boardKey.QueryString(u"MqHalcyonBoardName")) {
        device.boardName = Narrow(*stored);
    } else {
        const std::u16string name = description + u"(" + Hex(*count & 0xFF, 2) + u")";
        if (!NT_SUCCESS(status = boardKey.SetString(u"MqHalcyonBoardName", name)))
            return status;
        device.boardName = Narrow(name);
    }

    HANDLE handle = nullptr;
    status = IoOpenDeviceInterfaceRegistryKey(&device.interfaceLink, KEY_ALL_ACCESS, &handle);
    if (!NT_SUCCESS(status))
        return status;
    RegistryKey interfaceKey;
    interfaceKey.Adopt(handle);
    if (!NT_SUCCESS(status = WriteBoardValues(interfaceKey, device)))
        return status;

    if (device.driverName == kDeviceMapFamily) {
        RegistryKey map, entry;
        if (!NT_SUCCESS(status = map.Create(kDeviceMap)) ||
            !NT_SUCCESS(status = entry.Create(DeviceMapEntry(device), &map)))
            return status;
        device.deviceMapWritten = true;
        if (!NT_SUCCESS(status = entry.SetString(u"LinkName",
                                                 u"\\DosDevices\\" + DeviceMapEntry(device))) ||
            !NT_SUCCESS(status = WriteBoardValues(entry, device)))
            return status;
    }
    return STATUS_SUCCESS;
}

void UnregisterBoard(BoardDevice& device) {
    if (!device.deviceMapWritten)
        return;
    // The device map lists the boards present now: the entry goes with the board.
    RegistryKey map, entry;
    if (NT_SUCCESS(map.Open(kDeviceMap)) && NT_SUCCESS(entry.Open(DeviceMapEntry(device), &map)))
        ZwDeleteKey(entry.handle());
    device.deviceMapWritten = false;
}

}  // namespace sim
