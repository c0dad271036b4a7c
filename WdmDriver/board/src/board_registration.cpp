#include "board/board_registration.h"

#include "framework/pool.h"
#include "framework/registry_key.h"
#include "kernel/zw.h"

namespace board {

namespace {

constexpr PCWSTR kDeviceKey = u"MqHalcyonDaDevice";
constexpr PCWSTR kDatabaseKey = u"MqHalcyonDaDevice\\BoardDatabase";
constexpr PCWSTR kBoardNameValue = u"MqHalcyonBoardName";

NTSTATUS SubkeyCount(HANDLE key, ULONG* count) {
    // The record and the class (keys carry none) fit in a small buffer.
    union {
        KEY_FULL_INFORMATION info;
        UCHAR room[sizeof(KEY_FULL_INFORMATION) + 64];
    } buffer{};
    ULONG length = 0;
    const NTSTATUS status = ZwQueryKey(key, KeyFullInformation, &buffer, sizeof buffer, &length);
    if (NT_SUCCESS(status))
        *count = buffer.info.SubKeys;
    return status;
}

NTSTATUS SetValue(HANDLE key, PCWSTR name, ULONG type, const void* data, ULONG size) {
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    return ZwSetValueKey(key, &valueName, 0, type, const_cast<void*>(data), size);
}

NTSTATUS SetString(HANDLE key, PCWSTR name, PCWSTR text) {
    return SetValue(key, name, REG_SZ, text,
                    static_cast<ULONG>((wcslen(text) + 1) * sizeof(WCHAR)));
}

NTSTATUS SetDword(HANDLE key, PCWSTR name, ULONG value) {
    return SetValue(key, name, REG_DWORD, &value, sizeof value);
}

}  // namespace

ULONG DatabaseKeyNumber(const BoardRecord& board) {
    return board.serialNumber != 0 ? board.serialNumber : board.instance;
}

NTSTATUS FindOrMakeBoardName(const BoardRecord& board, WCHAR (&name)[kBoardNameChars]) {
    wdm::RegistryKey device, database, kind, entry;
    NTSTATUS status = device.Open(wdm::RegistryRoot::Control, kDeviceKey, KEY_ALL_ACCESS, true);
    if (NT_SUCCESS(status))
        status = database.Open(wdm::RegistryRoot::Control, kDatabaseKey, KEY_ALL_ACCESS, true);
    WCHAR path[kBoardNameChars + 64];
    if (NT_SUCCESS(status)) {
        swprintf(path, std::size(path), u"%ls\\%ls", kDatabaseKey, board.description);
        status = kind.Open(wdm::RegistryRoot::Control, path, KEY_ALL_ACCESS, true);
    }
    ULONG count = 0;
    if (NT_SUCCESS(status))
        status = SubkeyCount(kind.Handle(), &count);
    if (!NT_SUCCESS(status))
        return status;

    WCHAR number[9];
    swprintf(number, std::size(number), u"%08X", DatabaseKeyNumber(board));
    swprintf(path, std::size(path), u"%ls\\%ls\\%ls", kDatabaseKey, board.description, number);
    status = entry.Open(wdm::RegistryRoot::Control, path, KEY_ALL_ACCESS, true);
    if (!NT_SUCCESS(status))
        return status;

    PWSTR stored = name;
    ULONG size = sizeof name;
    status = entry.QueryString(kBoardNameValue, &stored, &size, PagedPool);
    if (status == STATUS_BUFFER_TOO_SMALL) {
        // A longer name than the board's name is kept stays in the database; the board goes by
        // its beginning.
        stored = nullptr;
        size = 0;
        status = entry.QueryString(kBoardNameValue, &stored, &size, PagedPool);
        if (NT_SUCCESS(status)) {
            wcsncpy(name, stored, kBoardNameChars - 1);
            name[kBoardNameChars - 1] = 0;
            wdm::PoolFree(stored);
        }
    }
    if (NT_SUCCESS(status) && name[0] != 0)
        return STATUS_SUCCESS;
    swprintf(name, kBoardNameChars, u"%ls(%02X)", board.description, count);
    return entry.WriteString(kBoardNameValue, name);
}

NTSTATUS WriteInterfaceValues(PUNICODE_STRING interfaceLink, const BoardRecord& board,
                              PCWSTR boardName) {
    HANDLE key = nullptr;
    NTSTATUS status = IoOpenDeviceInterfaceRegistryKey(interfaceLink, KEY_ALL_ACCESS, &key);
    if (!NT_SUCCESS(status))
        return status;
    status = SetString(key, kBoardNameValue, boardName);
    if (NT_SUCCESS(status))
        status = SetString(key, u"DriverName", kDriverName);
    if (NT_SUCCESS(status))
        status = SetString(key, u"BoardModelName", board.modelName);
    if (NT_SUCCESS(status))
        status = SetDword(key, u"BoardType", board.boardType);
    if (NT_SUCCESS(status))
        status = SetDword(key, u"SerialNumber", DatabaseKeyNumber(board));
    if (NT_SUCCESS(status))
        SetDword(key, u"DeviceInstanceNumber", board.instance);
    ZwClose(key);
    return status;
}

}  // namespace board
