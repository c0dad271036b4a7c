// "SetupApi.dll" loaded by name as the library loads it, over interfaces a small bus driver made
// here registers: the snapshot, the enumeration end, the detail size protocol, the interface key
// and the handle checks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/testing.h"
#include "test_bus.h"
#include "win32/fileio.h"
#include "win32/handles.h"
#include "win32/module.h"
#include "win32/setupapi.h"

namespace {

constexpr GUID kListClass = {testbus::kListedClassData1, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kOtherClass = {testbus::kOtherClassData1, 0x1111, 0x2222, {9, 9, 9, 9, 9, 9, 9, 9}};

struct SetupApi {
    HMODULE module = LoadLibraryA("SetupApi.dll");
    template <class T>
    T Entry(const char* name) {
        return reinterpret_cast<T>(GetProcAddress(module, name));
    }
    SetupDiGetClassDevsA_t getClassDevs = Entry<SetupDiGetClassDevsA_t>("SetupDiGetClassDevsA");
    SetupDiEnumDeviceInterfaces_t enumInterfaces =
        Entry<SetupDiEnumDeviceInterfaces_t>("SetupDiEnumDeviceInterfaces");
    SetupDiGetDeviceInterfaceDetailA_t getDetail =
        Entry<SetupDiGetDeviceInterfaceDetailA_t>("SetupDiGetDeviceInterfaceDetailA");
    SetupDiOpenDeviceInterfaceRegKey_t openKey =
        Entry<SetupDiOpenDeviceInterfaceRegKey_t>("SetupDiOpenDeviceInterfaceRegKey");
    SetupDiDestroyDeviceInfoList_t destroy =
        Entry<SetupDiDestroyDeviceInfoList_t>("SetupDiDestroyDeviceInfoList");
    ~SetupApi() { FreeLibrary(module); }
};

struct Enumeration : ::testing::Test {
    registry::ScopedMachine machine;
    SetupApi api;

    void SetUp() override {
        ASSERT_NE(api.module, nullptr);
        ASSERT_NE(api.getClassDevs, nullptr);
        testbus::Load();
    }
    void TearDown() override {
        testbus::Unload();
        EXPECT_EQ(testbus::OpenKernelKeys(), 0u);
    }
    int Plug(int number, const GUID& guid, bool enable, std::uint32_t serial = 0) {
        return testbus::Plug(number, guid == kOtherClass, enable, serial);
    }
    std::string DevicePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data) {
        DWORD required = 0;
        api.getDetail(set, data, nullptr, 0, &required, nullptr);
        std::vector<char> buffer(required);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        EXPECT_TRUE(api.getDetail(set, data, detail, required, nullptr, nullptr));
        return detail->DevicePath;
    }
};

TEST_F(Enumeration, ListsEnabledInterfacesOfTheClassAsASnapshot) {
    Plug(1, kListClass, true, 11);
    Plug(2, kListClass, false, 22);
    Plug(3, kOtherClass, true, 33);
    Plug(4, kListClass, true, 44);

    HDEVINFO set =
        api.getClassDevs(&kListClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    // Enabled later: not in the set already made.
    testbus::Enable(1);

    std::vector<std::string> paths;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    DWORD index = 0;
    while (api.enumInterfaces(set, nullptr, &kListClass, index, &data)) {
        EXPECT_EQ(data.InterfaceClassGuid, kListClass);
        EXPECT_EQ(data.Flags, SPINT_ACTIVE);
        paths.push_back(DevicePath(set, &data));
        ++index;
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(paths, (std::vector<std::string>{
                         "\\\\?\\TEST#DEV#1#{12345678-9ABC-DEF0-0102-030405060708}",
                         "\\\\?\\TEST#DEV#4#{12345678-9ABC-DEF0-0102-030405060708}"}));

    // The path opens the device as the library opens it.
    HANDLE device = CreateFileA(paths[1].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);

    struct Refusal {
        DWORD cbSize;
        const GUID* guid;
        DWORD index;
        DWORD error;
    } refusals[] = {
        {sizeof data - 1, &kListClass, 0, ERROR_INVALID_USER_BUFFER},
        {0, &kListClass, 0, ERROR_INVALID_USER_BUFFER},
        {sizeof data, &kOtherClass, 0, ERROR_NO_MORE_ITEMS},
        {sizeof data, &kListClass, 0xFFFFFFFF, ERROR_NO_MORE_ITEMS},
    };
    for (const auto& r : refusals) {
        SP_DEVICE_INTERFACE_DATA bad{};
        bad.cbSize = r.cbSize;
        SetLastError(0);
        EXPECT_FALSE(api.enumInterfaces(set, nullptr, r.guid, r.index, &bad));
        EXPECT_EQ(GetLastError(), r.error) << r.cbSize << " " << r.index;
    }
    EXPECT_TRUE(api.destroy(set));

    // A new set sees the interface enabled since; the flags must ask for interfaces.
    set = api.getClassDevs(&kListClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    data.cbSize = sizeof data;
    EXPECT_TRUE(api.enumInterfaces(set, nullptr, &kListClass, 2, &data));
    EXPECT_TRUE(api.destroy(set));
    EXPECT_EQ(api.getClassDevs(&kListClass, nullptr, nullptr, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
}

TEST_F(Enumeration, DetailFollowsTheTwoCallProtocol) {
    Plug(7, kListClass, true);
    HDEVINFO set =
        api.getClassDevs(&kListClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    ASSERT_TRUE(api.enumInterfaces(set, nullptr, &kListClass, 0, &data));
    const std::string path = "\\\\?\\TEST#DEV#7#{12345678-9ABC-DEF0-0102-030405060708}";
    const DWORD needed = static_cast<DWORD>(
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);

    std::vector<char> buffer(needed + 16, 'x');
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
    struct Case {
        bool withBuffer;
        DWORD cbSize;
        DWORD size;
        BOOL result;
        DWORD error;
        DWORD required;  // 0: not set
    } cases[] = {
        {false, 0, 0, FALSE, ERROR_INSUFFICIENT_BUFFER, needed},
        {false, 0, 10, FALSE, ERROR_INVALID_USER_BUFFER, 0},
        {true, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), needed - 1, FALSE,
         ERROR_INSUFFICIENT_BUFFER, needed},
        {true, 1, needed, FALSE, ERROR_INVALID_USER_BUFFER, 0},
        {true, needed, needed, FALSE, ERROR_INVALID_USER_BUFFER, 0},
        {true, SP_DEVICE_INTERFACE_DETAIL_DATA_A_SIZE, needed, TRUE, ERROR_SUCCESS, needed},
        {true, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), needed, TRUE, ERROR_SUCCESS, needed},
    };
    for (const auto& c : cases) {
        std::fill(buffer.begin(), buffer.end(), 'x');
        detail->cbSize = c.cbSize;
        DWORD required = 0;
        EXPECT_EQ(
            api.getDetail(set, &data, c.withBuffer ? detail : nullptr, c.size, &required, nullptr),
            c.result)
            << c.cbSize << " " << c.size;
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(required, c.required);
        if (c.result) {
            EXPECT_EQ(std::string(detail->DevicePath), path);
        } else if (c.withBuffer) {
            EXPECT_EQ(buffer[sizeof(DWORD)], 'x') << "nothing is written on failure";
        }
    }
    SP_DEVICE_INTERFACE_DATA foreign = data;
    foreign.Reserved = 99;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    EXPECT_FALSE(api.getDetail(set, &foreign, detail, needed, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(api.destroy(set));
}

TEST_F(Enumeration, InterfaceKeyIsTheDriversKeyAndSetHandlesAreChecked) {
    Plug(5, kListClass, true, 0x5120);
    HDEVINFO set =
        api.getClassDevs(&kListClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    ASSERT_TRUE(api.enumInterfaces(set, nullptr, &kListClass, 0, &data));
    for (REGSAM access : {KEY_READ | KEY_WRITE, KEY_READ}) {
        HKEY key = api.openKey(set, &data, 0, access);
        ASSERT_NE(key, static_cast<HKEY>(INVALID_HANDLE_VALUE));
        DWORD serial = 0, type = 0, size = sizeof serial;
        EXPECT_EQ(RegQueryValueExA(key, "SerialNumber", nullptr, &type,
                                   reinterpret_cast<LPBYTE>(&serial), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(serial, 0x5120u);
        RegCloseKey(key);
    }

    EXPECT_TRUE(api.destroy(set));
    // A destroyed or made-up set is refused by every call.
    HDEVINFO stale = set;
    HDEVINFO madeUp = reinterpret_cast<HDEVINFO>(&data);
    for (HDEVINFO bad : {stale, madeUp}) {
        EXPECT_FALSE(api.enumInterfaces(bad, nullptr, &kListClass, 0, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(api.openKey(bad, &data, 0, KEY_READ), static_cast<HKEY>(INVALID_HANDLE_VALUE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(api.destroy(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

}  // namespace
