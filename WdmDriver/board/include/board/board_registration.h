// A board's registration: its entry in the board database (the user-visible name, kept across
// starts and renames) and the values of its device interface's key that the library and the
// Control Panel applet read.
#pragma once

#include "kernel/io_interface.h"
#include "kernel/wdm.h"

namespace board {

inline constexpr PCWSTR kDriverName = u"MQ5120";
inline constexpr ULONG kBoardNameChars = 128;

struct BoardRecord {
    PCWSTR description;  // device description: names the board database's key of this kind
    PCWSTR modelName;
    ULONG boardType;
    ULONG serialNumber;  // as the board reported it; 0 stands for "none"
    ULONG instance;
};

// The key of the board in the board database: the serial number, or the instance number when the
// serial number is 0, as 8 upper-case hexadecimal digits.
ULONG DatabaseKeyNumber(const BoardRecord& board);

// Finds or makes the board's name in
// HKLM\System\CurrentControlSet\Control\MqHalcyonDaDevice\BoardDatabase\<description>\<key>:
// the name stored there, else "<description>(NN)" with NN the description key's subkey count
// before this board's key was made (2 upper-case hexadecimal digits), written there.
NTSTATUS FindOrMakeBoardName(const BoardRecord& board, WCHAR (&name)[kBoardNameChars]);

// Writes the interface key's values in order: MqHalcyonBoardName, DriverName, BoardModelName,
// BoardType, SerialNumber (the database key's number), then DeviceInstanceNumber, whose failure
// is ignored.
NTSTATUS WriteInterfaceValues(PUNICODE_STRING interfaceLink, const BoardRecord& board,
                              PCWSTR boardName);

}  // namespace board
