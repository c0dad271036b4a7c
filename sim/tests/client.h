// The user-mode side of the sim tests: the machine's boards as the library finds them (SetupApi,
// the device map, the interface keys) and requests in the protocol's records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hxda/protocol.h"
#include "win32/fileio.h"
#include "win32/registry.h"

namespace simtest {

struct ListedBoard {
    std::string devicePath;
    std::string boardName;
    std::string driverName;
    std::string modelName;
    std::uint32_t boardType = 0;
    std::uint32_t serialNumber = 0;
    std::uint32_t instance = 0;
};

// The present interfaces of the protocol's GUID with their values, through "SetupApi.dll".
std::vector<ListedBoard> ListBoards();
// The interface key of the board with that device path, opened for read and write (null if none).
HKEY OpenInterfaceKey(const std::string& devicePath);

std::optional<std::string> QueryString(HKEY key, const char* name);
std::optional<std::uint32_t> QueryDword(HKEY key, const char* name);
// A key below HKEY_LOCAL_MACHINE, or null.
HKEY OpenMachineKey(const std::string& path);
// The board database's name of a board: its description's key and its serial key (8 hex digits).
std::optional<std::string> DatabaseName(const std::string& description, const char* serialKey);

// CreateFile as the library opens devices and subsystems.
HANDLE Open(const std::string& path);

struct Answer {
    BOOL ok = FALSE;
    DWORD error = 0;  // GetLastError when not ok
    DWORD bytes = 0;
};
// One synchronous request with separate input and output sizes.
Answer Control(HANDLE handle, DWORD code, void* input, DWORD inputBytes, void* output,
               DWORD outputBytes);
// A 336-byte request record in and out.
Answer Send(HANDLE handle, DWORD code, hxda::DriverRequest& request);

}  // namespace simtest
