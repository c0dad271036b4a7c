#include "discovery/board_enumeration.h"

#include <cstdio>

#include "discovery/board_values.h"

namespace hxda {
namespace {

constexpr const char kBoardDatabaseFormat[] = "%s%s\\%s\\%s\\%.8X";
constexpr const char kControlKey[] = "System\\CurrentControlSet\\Control\\";
constexpr const char kDeviceKey[] = "MqHalcyonDaDevice";
constexpr const char kBoardDatabaseKey[] = "BoardDatabase";
// A serial number the driver could not read; the board's enumeration index stands for it.
constexpr std::uint32_t kSerialNumberUnknown = 0xFFFFFFFFu;

bool openBoardDatabaseKey(const std::string& model, std::uint32_t serial, HKEY* key) {
    char path[512];
    std::snprintf(path, sizeof path, kBoardDatabaseFormat, kControlKey, kDeviceKey,
                  kBoardDatabaseKey, model.c_str(), serial);
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, key) == ERROR_SUCCESS;
}

}  // namespace

std::uint32_t enumerateBoards(DiscoveryPath path, const std::function<bool(const Board&)>& visit) {
    std::uint32_t counted = 0;
    forEachBoardKey(path, [&](const BoardKey& key) {
        Board board;
        board.source = &key;
        if (key.key == nullptr || !readStringValue(key.key, kDriverNameValue, &board.driverName) ||
            !readStringValue(key.key, kBoardNameValue, &board.boardName))
            return false;
        ++counted;
        return visit(board);
    });
    return counted;
}

bool findBoardLocation(DiscoveryPath path, const char* boardName, BoardLocation* location) {
    bool found = false;
    forEachBoardKey(path, [&](const BoardKey& key) {
        std::string name;
        if (key.key == nullptr || !readStringValue(key.key, kBoardNameValue, &name))
            return false;
        if (!sameBoardName(name.c_str(), boardName))
            return true;
        found = !key.devicePath.empty() &&
                readDwordValue(key.key, kBoardTypeValue, &location->boardType);
        location->devicePath = key.devicePath;
        return false;
    });
    return found;
}

bool findDriverName(DiscoveryPath path, const char* boardName, std::string* driverName) {
    bool found = false;
    enumerateBoards(path, [&](const Board& board) {
        if (!sameBoardName(board.boardName.c_str(), boardName))
            return true;
        *driverName = board.driverName;
        found = true;
        return false;
    });
    return found;
}

bool renameBoard(const Board& board, const char* newName) {
    const BoardKey& source = *board.source;
    if (!writeStringValue(source.key, kBoardNameValue, newName))
        return false;
    std::string model;
    std::uint32_t serial = 0;
    if (!readStringValue(source.key, kBoardModelNameValue, &model) ||
        !readDwordValue(source.key, kSerialNumberValue, &serial))
        return false;
    if (serial == kSerialNumberUnknown)
        serial = source.index;
    HKEY database = nullptr;
    if (!openBoardDatabaseKey(model, serial, &database) &&
        !openBoardDatabaseKey(board.driverName, serial, &database))
        return false;
    const bool written = writeStringValue(database, kBoardNameValue, newName);
    RegCloseKey(database);
    return written;
}

}  // namespace hxda
