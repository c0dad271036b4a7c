#include "discovery/board_keys.h"

#include <cstring>
#include <vector>

#include "discovery/board_values.h"
#include "hxda/request_codes.h"
#include "win32/errors.h"
#include "win32/module.h"
#include "win32/setupapi.h"

namespace hxda {
namespace {

constexpr const char kDeviceMapKey[] = "Hardware\\DeviceMap\\MqHalcyonDaDevice";
// A device-map LinkName starts with "\DosDevices\"; the device path is "\\.\" and the rest.
constexpr std::size_t kLinkNamePrefixLength = 12;

GUID interfaceGuid() {
    GUID guid{};
    guid.Data1 = kDeviceInterfaceGuid.data1;
    guid.Data2 = kDeviceInterfaceGuid.data2;
    guid.Data3 = kDeviceInterfaceGuid.data3;
    std::memcpy(guid.Data4, kDeviceInterfaceGuid.data4, sizeof guid.Data4);
    return guid;
}

// The key is open only during the visit. Returns the visit's answer.
bool visitAndClose(BoardKey& board, const std::function<bool(const BoardKey&)>& visit) {
    const bool goOn = visit(board);
    if (board.key != nullptr)
        RegCloseKey(board.key);
    return goOn;
}

// SetupApi, loaded by name for one walk.
class SetupApi {
  public:
    SetupApi() : module_(LoadLibraryA("SetupApi.dll")) {
        if (module_ == nullptr)
            return;
        take(getClassDevs, "SetupDiGetClassDevsA");
        take(enumInterfaces, "SetupDiEnumDeviceInterfaces");
        take(getDetail, "SetupDiGetDeviceInterfaceDetailA");
        take(openKey, "SetupDiOpenDeviceInterfaceRegKey");
        take(destroyList, "SetupDiDestroyDeviceInfoList");
    }
    ~SetupApi() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    SetupApi(const SetupApi&) = delete;
    SetupApi& operator=(const SetupApi&) = delete;

    bool usable() const {
        return getClassDevs && enumInterfaces && getDetail && openKey && destroyList;
    }

    SetupDiGetClassDevsA_t getClassDevs = nullptr;
    SetupDiEnumDeviceInterfaces_t enumInterfaces = nullptr;
    SetupDiGetDeviceInterfaceDetailA_t getDetail = nullptr;
    SetupDiOpenDeviceInterfaceRegKey_t openKey = nullptr;
    SetupDiDestroyDeviceInfoList_t destroyList = nullptr;

  private:
    template <typename Entry>
    void take(Entry& entry, const char* name) {
        entry = reinterpret_cast<Entry>(GetProcAddress(module_, name));
    }
    HMODULE module_;
};

bool interfaceDevicePath(SetupApi& api, HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data,
                         std::string* path) {
    DWORD required = 0;
    api.getDetail(set, &data, nullptr, 0, &required, nullptr);
    if (required < SP_DEVICE_INTERFACE_DETAIL_DATA_A_SIZE)
        return false;
    std::vector<std::uint64_t> storage((required + 7) / 8);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
    detail->cbSize = SP_DEVICE_INTERFACE_DETAIL_DATA_A_SIZE;
    if (!api.getDetail(set, &data, detail, required, nullptr, nullptr))
        return false;
    const std::size_t room = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    path->assign(detail->DevicePath, strnlen(detail->DevicePath, room));
    return true;
}

void forEachInterfaceKey(const std::function<bool(const BoardKey&)>& visit) {
    SetupApi api;
    if (!api.usable())
        return;
    const GUID guid = interfaceGuid();
    const HDEVINFO set =
        api.getClassDevs(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE || set == nullptr)
        return;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!api.enumInterfaces(set, nullptr, &guid, index, &data))
            break;
        BoardKey board;
        board.index = index;
        if (!interfaceDevicePath(api, set, data, &board.devicePath))
            board.devicePath.clear();
        HKEY key = api.openKey(set, &data, 0, KEY_READ | KEY_WRITE);
        if (key == INVALID_HANDLE_VALUE || key == nullptr)
            key = api.openKey(set, &data, 0, KEY_READ);
        if (key == INVALID_HANDLE_VALUE || key == nullptr)
            key = nullptr;
        board.key = key;
        if (!visitAndClose(board, visit))
            break;
    }
    api.destroyList(set);
}

void forEachDeviceMapKey(const std::function<bool(const BoardKey&)>& visit) {
    HKEY map = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceMapKey, 0, KEY_READ, &map) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(map, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        BoardKey board;
        board.index = index;
        HKEY key = nullptr;
        if (RegOpenKeyExA(map, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS &&
            RegOpenKeyExA(map, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
            key = nullptr;
        std::string link;
        if (key != nullptr && readStringValue(key, kLinkNameValue, &link) &&
            link.size() > kLinkNamePrefixLength)
            board.devicePath = "\\\\.\\" + link.substr(kLinkNamePrefixLength);
        board.key = key;
        if (!visitAndClose(board, visit))
            break;
    }
    RegCloseKey(map);
}

}  // namespace

void forEachBoardKey(DiscoveryPath path, const std::function<bool(const BoardKey&)>& visit) {
    switch (path) {
        case DiscoveryPath::DeviceInterfaces:
            forEachInterfaceKey(visit);
            break;
        case DiscoveryPath::DeviceMap:
            forEachDeviceMapKey(visit);
            break;
        case DiscoveryPath::Unsupported:
            break;
    }
}

}  // namespace hxda
