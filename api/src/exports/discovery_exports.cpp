// Exported board discovery and naming: enumeration, renaming, board information and the name of an
// open device.
#include <cstring>
#include <string>
#include <vector>

#include "core/engine.h"
#include "discovery/board_enumeration.h"
#include "discovery/board_values.h"
#include "hxda/api_status.h"
#include "hxmem32.h"
#include "win32/pointer_checks.h"

using namespace hxda;

namespace {

// Longest board name a program can open; longer names are refused.
constexpr std::size_t kMaxBoardNameLength = 51;

// The callbacks take writable strings.
std::vector<char> writableCopy(const std::string& text) {
    return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

bool fits(const std::string& value, UINT size) {
    return value.size() < size;
}

void copyWhole(const std::string& value, LPSTR buffer) {
    std::memcpy(buffer, value.c_str(), value.size() + 1);
}

// Gives every board to `call`(name, driver name, key); HXNULLENUMPROC for a procedure that is not
// code, HXNOBOARDS when no board was given.
template <typename Proc, typename Call>
ApiStatus enumerateForCaller(Proc proc, Call call) {
    if (IsBadCodePtr(reinterpret_cast<FARPROC>(proc)))
        return HXNULLENUMPROC;
    const std::uint32_t counted = enumerateBoards(discoveryPath(), [&](const Board& board) {
        std::vector<char> name = writableCopy(board.boardName);
        std::vector<char> driver = writableCopy(board.driverName);
        return call(name.data(), driver.data(), board.source->key) != FALSE;
    });
    return counted == 0 ? ApiStatus(HXNOBOARDS) : ApiStatus(HXNOERROR);
}

}  // namespace

extern "C" HXSTATUS HXAPI hxDaEnumBoards(BoardEnumProc proc, LPARAM user) {
    return enumerateForCaller(
               proc, [&](LPSTR name, LPSTR driver, HKEY) { return proc(name, driver, user); })
        .code();
}

extern "C" HXSTATUS HXAPI hxDaEnumBoardsEx(BoardEnumExProc proc, LPARAM user) {
    return enumerateForCaller(proc, [&](LPSTR name, LPSTR driver,
                                        HKEY key) { return proc(name, driver, key, user); })
        .code();
}

namespace {

// True when a board other than the one named `oldName` is named `newName` (case ignored): a rename
// to it would leave one of the two without a name to open it by.
bool nameTakenByAnother(LPCSTR oldName, LPCSTR newName) {
    bool taken = false;
    enumerateBoards(discoveryPath(), [&](const Board& board) {
        taken = sameBoardName(board.boardName.c_str(), newName) &&
                !sameBoardName(board.boardName.c_str(), oldName);
        return !taken;
    });
    return taken;
}

}  // namespace

extern "C" HXSTATUS HXAPI hxDaModifyHalcyonBoardName(LPCSTR oldName, LPCSTR newName) {
    if (newName == nullptr || oldName == nullptr || *newName == '\0' ||
        std::strlen(newName) > kMaxBoardNameLength || nameTakenByAnother(oldName, newName))
        return HXNOBOARDS;
    bool renamed = false;
    enumerateBoards(discoveryPath(), [&](const Board& board) {
        if (!sameBoardName(board.boardName.c_str(), oldName))
            return true;
        renamed = renameBoard(board, newName);
        return false;
    });
    return renamed ? HXNOERROR : HXNOBOARDS;
}

extern "C" HXSTATUS HXAPI hxDaGetBoardInfo(LPCSTR boardName, LPSTR driverName, LPSTR modelName,
                                           UINT size, UINT* instance) {
    if (boardName == nullptr || driverName == nullptr || modelName == nullptr)
        return HXNULLSTRING;
    if (instance == nullptr)
        return HXDRIVERINITFAILED;
    HXSTATUS status = HXDRIVERINITFAILED;
    enumerateBoards(DiscoveryPath::DeviceInterfaces, [&](const Board& board) {
        if (!sameBoardName(board.boardName.c_str(), boardName))
            return true;
        std::string model;
        std::uint32_t number = 0;
        if (!readStringValue(board.source->key, kBoardModelNameValue, &model) ||
            !readDwordValue(board.source->key, kDeviceInstanceNumberValue, &number))
            return false;
        if (!fits(board.driverName, size) || !fits(model, size)) {
            status = HXBUFFERTOOSMALL;
            return false;
        }
        copyWhole(board.driverName, driverName);
        copyWhole(model, modelName);
        *instance = number;
        status = HXNOERROR;
        return false;
    });
    return status;
}

extern "C" HXSTATUS HXAPI hxDaGetDeviceName(HDEV hDev, LPSTR buffer, UINT size) {
    // A size of 0 leaves no room even for the terminator: nothing is written.
    if (size == 0 || IsBadWritePtr(buffer, size))
        return HXNULLSTRING;
    const std::shared_ptr<DeviceRecord> device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    const std::size_t length = std::min<std::size_t>(std::strlen(device->boardName), size - 1);
    std::memcpy(buffer, device->boardName, length);
    buffer[length] = '\0';
    return HXNOERROR;
}
