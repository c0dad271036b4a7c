#include "client.h"

#include "hxda/request_codes.h"
#include "win32/handles.h"
#include "win32/module.h"
#include "win32/setupapi.h"

namespace simtest {

namespace {

constexpr GUID kGuid = {hxda::kDeviceInterfaceGuid.data1,
                        hxda::kDeviceInterfaceGuid.data2,
                        hxda::kDeviceInterfaceGuid.data3,
                        {hxda::kDeviceInterfaceGuid.data4[0], hxda::kDeviceInterfaceGuid.data4[1],
                         hxda::kDeviceInterfaceGuid.data4[2], hxda::kDeviceInterfaceGuid.data4[3],
                         hxda::kDeviceInterfaceGuid.data4[4], hxda::kDeviceInterfaceGuid.data4[5],
                         hxda::kDeviceInterfaceGuid.data4[6], hxda::kDeviceInterfaceGuid.data4[7]}};

struct SetupApi {
    HMODULE module = LoadLibraryA("SetupApi.dll");
    template <class T>
    T Entry(const char* name) {
        return reinterpret_cast<T>(GetProcAddress(module, name));
    }
    ~SetupApi() {
        if (module != nullptr)
            FreeLibrary(module);
    }
};

struct Interface {
    std::string path;
    HKEY key;
};

std::vector<Interface> Interfaces() {
    std::vector<Interface> found;
    SetupApi api;
    if (api.module == nullptr)
        return found;
    auto getClassDevs = api.Entry<SetupDiGetClassDevsA_t>("SetupDiGetClassDevsA");
    auto enumInterfaces = api.Entry<SetupDiEnumDeviceInterfaces_t>("SetupDiEnumDeviceInterfaces");
    auto getDetail =
        api.Entry<SetupDiGetDeviceInterfaceDetailA_t>("SetupDiGetDeviceInterfaceDetailA");
    auto openKey =
        api.Entry<SetupDiOpenDeviceInterfaceRegKey_t>("SetupDiOpenDeviceInterfaceRegKey");
    auto destroy = api.Entry<SetupDiDestroyDeviceInfoList_t>("SetupDiDestroyDeviceInfoList");
    HDEVINFO set = getClassDevs(&kGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return found;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; enumInterfaces(set, nullptr, &kGuid, index, &data); ++index) {
        DWORD required = 0;
        getDetail(set, &data, nullptr, 0, &required, nullptr);
        std::vector<char> buffer(required);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!getDetail(set, &data, detail, required, nullptr, nullptr))
            continue;
        HKEY key = openKey(set, &data, 0, KEY_READ | KEY_WRITE);
        found.push_back(
            {detail->DevicePath, key == static_cast<HKEY>(INVALID_HANDLE_VALUE) ? nullptr : key});
    }
    destroy(set);
    return found;
}

}  // namespace

std::optional<std::string> QueryString(HKEY key, const char* name) {
    char buffer[256] = {};
    DWORD size = sizeof buffer, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::string(buffer);
}

std::optional<std::uint32_t> QueryDword(HKEY key, const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

HKEY OpenMachineKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WRITE, &key) !=
        ERROR_SUCCESS)
        return nullptr;
    return key;
}

std::optional<std::string> DatabaseName(const std::string& description, const char* serialKey) {
    HKEY key =
        OpenMachineKey("System\\CurrentControlSet\\Control\\MqHalcyonDaDevice\\BoardDatabase\\" +
                       description + "\\" + serialKey);
    if (key == nullptr)
        return std::nullopt;
    auto name = QueryString(key, "MqHalcyonBoardName");
    RegCloseKey(key);
    return name;
}

std::vector<ListedBoard> ListBoards() {
    std::vector<ListedBoard> boards;
    for (const auto& entry : Interfaces()) {
        ListedBoard board;
        board.devicePath = entry.path;
        if (entry.key != nullptr) {
            board.boardName = QueryString(entry.key, "MqHalcyonBoardName").value_or("");
            board.driverName = QueryString(entry.key, "DriverName").value_or("");
            board.modelName = QueryString(entry.key, "BoardModelName").value_or("");
            board.boardType = QueryDword(entry.key, "BoardType").value_or(0xDEAD);
            board.serialNumber = QueryDword(entry.key, "SerialNumber").value_or(0xDEAD);
            board.instance = QueryDword(entry.key, "DeviceInstanceNumber").value_or(0xDEAD);
            RegCloseKey(entry.key);
        }
        boards.push_back(board);
    }
    return boards;
}

HKEY OpenInterfaceKey(const std::string& devicePath) {
    HKEY result = nullptr;
    for (const auto& entry : Interfaces()) {
        if (entry.path == devicePath && result == nullptr)
            result = entry.key;
        else if (entry.key != nullptr)
            RegCloseKey(entry.key);
    }
    return result;
}

HANDLE Open(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

Answer Control(HANDLE handle, DWORD code, void* input, DWORD inputBytes, void* output,
               DWORD outputBytes) {
    Answer answer;
    SetLastError(0);
    answer.ok = DeviceIoControl(handle, code, input, inputBytes, output, outputBytes, &answer.bytes,
                                nullptr);
    answer.error = answer.ok ? 0 : GetLastError();
    return answer;
}

Answer Send(HANDLE handle, DWORD code, hxda::DriverRequest& request) {
    return Control(handle, code, &request, sizeof request, &request, sizeof request);
}

}  // namespace simtest
