// Device interfaces and device properties on a physical device of a small bus driver made here:
// stable link names, listing only enabled interfaces of present devices, the interface key that
// outlives the device, and the property size rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kernel/interfaces_user.h"
#include "kernel/io_interface.h"
#include "kernel/io_user.h"
#include "kernel/loader.h"
#include "kernel/testing.h"
#include "registry/store.h"
#include "registry/testing.h"

namespace {

constexpr GUID kClass = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kOtherClass = {0x0badf00d, 0x1111, 0x2222, {9, 9, 9, 9, 9, 9, 9, 9}};
constexpr kernel::user_interfaces::InterfaceClass kListClass = {
    0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};

NTSTATUS Complete(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, 0);
    return STATUS_SUCCESS;
}

NTSTATUS BusEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_CREATE] = Complete;
    driver->MajorFunction[IRP_MJ_CLEANUP] = Complete;
    driver->MajorFunction[IRP_MJ_CLOSE] = Complete;
    return STATUS_SUCCESS;
}

struct String {
    std::u16string text;
    UNICODE_STRING value;
    explicit String(std::u16string t) : text(std::move(t)) {
        value = {static_cast<USHORT>(text.size() * sizeof(WCHAR)),
                 static_cast<USHORT>(text.size() * sizeof(WCHAR)), text.data()};
    }
};

std::u16string TextOf(const UNICODE_STRING& s) {
    return std::u16string(s.Buffer, s.Length / sizeof(WCHAR));
}

struct DeviceInterfaces : ::testing::Test {
    registry::ScopedMachine machine;
    PDRIVER_OBJECT bus = nullptr;

    void SetUp() override {
        ASSERT_EQ(kernel::LoadDriver(u"TestBus", BusEntry, u"\\Registry\\Machine\\TestBus", &bus),
                  STATUS_SUCCESS);
    }
    void TearDown() override {
        while (bus->DeviceObject != nullptr)
            IoDeleteDevice(bus->DeviceObject);
        kernel::UnloadDriver(bus);
        EXPECT_EQ(kernel::testing::OpenKeyHandles(), 0u);
    }
    PDEVICE_OBJECT MakePdo(const std::u16string& name, const std::u16string& instance) {
        String deviceName(u"\\Device\\" + name);
        PDEVICE_OBJECT pdo = nullptr;
        EXPECT_EQ(IoCreateDevice(bus, 0, &deviceName.value, FILE_DEVICE_UNKNOWN, 0, FALSE, &pdo),
                  STATUS_SUCCESS);
        pdo->Flags &= ~DO_DEVICE_INITIALIZING;
        EXPECT_EQ(kernel::SetDeviceInstancePath(pdo, instance), STATUS_SUCCESS);
        return pdo;
    }
    std::vector<std::string> Listed() {
        std::vector<std::string> paths;
        for (const auto& entry : kernel::user_interfaces::ListPresentInterfaces(kListClass))
            paths.push_back(entry.devicePath);
        return paths;
    }
};

TEST_F(DeviceInterfaces, LinkNamesAreStablePerInstanceAndClass) {
    PDEVICE_OBJECT pdo = MakePdo(u"TestPdo1", u"TEST\\BOARD\\0001");
    UNICODE_STRING first{}, again{}, other{};
    ASSERT_EQ(IoRegisterDeviceInterface(pdo, &kClass, nullptr, &first), STATUS_SUCCESS);
    ASSERT_EQ(IoRegisterDeviceInterface(pdo, &kClass, nullptr, &again), STATUS_SUCCESS);
    ASSERT_EQ(IoRegisterDeviceInterface(pdo, &kOtherClass, nullptr, &other), STATUS_SUCCESS);
    EXPECT_EQ(TextOf(first), u"\\??\\TEST#BOARD#0001#{12345678-9ABC-DEF0-0102-030405060708}");
    EXPECT_EQ(TextOf(again), TextOf(first));
    EXPECT_NE(TextOf(other), TextOf(first));

    // The device goes and a new device object of the same instance comes back: same name.
    IoDeleteDevice(pdo);
    PDEVICE_OBJECT back = MakePdo(u"TestPdo1b", u"TEST\\BOARD\\0001");
    UNICODE_STRING later{};
    ASSERT_EQ(IoRegisterDeviceInterface(back, &kClass, nullptr, &later), STATUS_SUCCESS);
    EXPECT_EQ(TextOf(later), TextOf(first));
    for (auto* s : {&first, &again, &other, &later})
        RtlFreeUnicodeString(s);

    // Only physical devices (with an instance path) carry interfaces; instance paths are unique.
    String plainName(u"\\Device\\NotPhysical");
    PDEVICE_OBJECT plain = nullptr;
    ASSERT_EQ(IoCreateDevice(bus, 0, &plainName.value, FILE_DEVICE_UNKNOWN, 0, FALSE, &plain),
              STATUS_SUCCESS);
    UNICODE_STRING refused{};
    EXPECT_EQ(IoRegisterDeviceInterface(plain, &kClass, nullptr, &refused),
              STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(refused.Buffer, nullptr);
    // Properties alone do not make a physical device.
    kernel::SetDeviceProperty(plain, DevicePropertyManufacturer, u"Marquell");
    EXPECT_EQ(IoRegisterDeviceInterface(plain, &kClass, nullptr, &refused),
              STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(kernel::SetDeviceInstancePath(plain, u"test\\board\\0001"),
              STATUS_OBJECT_NAME_COLLISION);
}

TEST_F(DeviceInterfaces, OnlyEnabledInterfacesOfPresentDevicesAreListedAndOpen) {
    PDEVICE_OBJECT one = MakePdo(u"TestPdo1", u"TEST\\BOARD\\0001");
    PDEVICE_OBJECT two = MakePdo(u"TestPdo2", u"TEST\\BOARD\\0002");
    UNICODE_STRING link1{}, link2{};
    ASSERT_EQ(IoRegisterDeviceInterface(one, &kClass, nullptr, &link1), STATUS_SUCCESS);
    ASSERT_EQ(IoRegisterDeviceInterface(two, &kClass, nullptr, &link2), STATUS_SUCCESS);
    EXPECT_TRUE(Listed().empty());  // registered, not enabled

    const std::string path1 = "\\\\?\\TEST#BOARD#0001#{12345678-9ABC-DEF0-0102-030405060708}";
    const std::string path2 = "\\\\?\\TEST#BOARD#0002#{12345678-9ABC-DEF0-0102-030405060708}";
    EXPECT_EQ(kernel::user_io::Open(path1, 0xC0000000u, 1).status, STATUS_OBJECT_NAME_NOT_FOUND);

    ASSERT_EQ(IoSetDeviceInterfaceState(&link1, TRUE), STATUS_SUCCESS);
    ASSERT_EQ(IoSetDeviceInterfaceState(&link2, TRUE), STATUS_SUCCESS);
    EXPECT_EQ(IoSetDeviceInterfaceState(&link2, TRUE), STATUS_SUCCESS);  // already enabled
    EXPECT_EQ(Listed(), (std::vector<std::string>{path1, path2}));

    // The device path opens the device, with the rest of the path as the file name.
    auto opened = kernel::user_io::Open(path1 + "\\AD0", 0xC0000000u, 1);
    ASSERT_EQ(opened.status, STATUS_SUCCESS);
    kernel::user_io::Close(opened.file);
    EXPECT_TRUE(kernel::testing::DrainDeferredCloses());

    ASSERT_EQ(IoSetDeviceInterfaceState(&link1, FALSE), STATUS_SUCCESS);
    EXPECT_EQ(IoSetDeviceInterfaceState(&link1, FALSE), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(Listed(), (std::vector<std::string>{path2}));
    EXPECT_EQ(kernel::user_io::Open(path1, 0xC0000000u, 1).status, STATUS_OBJECT_NAME_NOT_FOUND);

    // A device that goes away takes its enabled interface with it; it cannot be enabled again.
    IoDeleteDevice(two);
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(IoSetDeviceInterfaceState(&link2, TRUE), STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(IoSetDeviceInterfaceState(&link2, FALSE), STATUS_OBJECT_NAME_NOT_FOUND);
    String unknown(u"\\??\\NoSuchInterface");
    EXPECT_EQ(IoSetDeviceInterfaceState(&unknown.value, TRUE), STATUS_OBJECT_NAME_NOT_FOUND);
    RtlFreeUnicodeString(&link1);
    RtlFreeUnicodeString(&link2);
}

TEST_F(DeviceInterfaces, InterfaceKeyOutlivesDisableAndDevice) {
    PDEVICE_OBJECT pdo = MakePdo(u"TestPdo1", u"TEST\\BOARD\\0001");
    UNICODE_STRING link{};
    ASSERT_EQ(IoRegisterDeviceInterface(pdo, &kClass, nullptr, &link), STATUS_SUCCESS);
    HANDLE key = nullptr;
    ASSERT_EQ(IoOpenDeviceInterfaceRegistryKey(&link, KEY_ALL_ACCESS, &key), STATUS_SUCCESS);
    String name(u"SerialNumber");
    ULONG serial = 0x1234;
    ASSERT_EQ(ZwSetValueKey(key, &name.value, 0, REG_DWORD, &serial, sizeof serial),
              STATUS_SUCCESS);
    ZwClose(key);

    ASSERT_EQ(IoSetDeviceInterfaceState(&link, TRUE), STATUS_SUCCESS);
    auto listed = kernel::user_interfaces::ListPresentInterfaces(kListClass);
    ASSERT_EQ(listed.size(), 1u);
    // The listed key is the one the driver wrote, as user mode reaches it from HKLM.
    auto store = registry::MachineStore();
    auto opened =
        store->OpenKey(store->RootKey(registry::Root::kLocalMachine), listed[0].registryKeyPath);
    ASSERT_TRUE(opened.ok()) << listed[0].registryKeyPath;
    auto value = store->QueryValue(opened.value, "SerialNumber");
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(value.value.data, (std::vector<std::uint8_t>{0x34, 0x12, 0, 0}));

    ASSERT_EQ(IoSetDeviceInterfaceState(&link, FALSE), STATUS_SUCCESS);
    IoDeleteDevice(pdo);
    PDEVICE_OBJECT back = MakePdo(u"TestPdo1", u"TEST\\BOARD\\0001");
    UNICODE_STRING again{};
    ASSERT_EQ(IoRegisterDeviceInterface(back, &kClass, nullptr, &again), STATUS_SUCCESS);
    ASSERT_EQ(IoOpenDeviceInterfaceRegistryKey(&again, KEY_READ, &key), STATUS_SUCCESS);
    std::vector<std::uint8_t> buffer(64);
    ULONG result = 0;
    ASSERT_EQ(ZwQueryValueKey(key, &name.value, KeyValuePartialInformation, buffer.data(),
                              static_cast<ULONG>(buffer.size()), &result),
              STATUS_SUCCESS);
    EXPECT_EQ(reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(buffer.data())->Data[0], 0x34);
    ZwClose(key);
    String unknown(u"\\??\\NoSuchInterface");
    EXPECT_EQ(IoOpenDeviceInterfaceRegistryKey(&unknown.value, KEY_READ, &key),
              STATUS_OBJECT_NAME_NOT_FOUND);
    RtlFreeUnicodeString(&link);
    RtlFreeUnicodeString(&again);
}

TEST_F(DeviceInterfaces, DevicePropertiesFollowTheSizeRules) {
    PDEVICE_OBJECT pdo = MakePdo(u"TestPdo1", u"TEST\\BOARD\\0001");
    kernel::SetDeviceProperty(pdo, DevicePropertyManufacturer, u"Marquell");
    kernel::SetDeviceProperty(pdo, DevicePropertyDeviceDescription, u"MQ5120");
    const ULONG needed = 9 * sizeof(WCHAR);
    struct Case {
        ULONG length;
        NTSTATUS status;
    } cases[] = {{0, STATUS_BUFFER_TOO_SMALL},
                 {needed - 1, STATUS_BUFFER_TOO_SMALL},
                 {needed, STATUS_SUCCESS},
                 {80, STATUS_SUCCESS}};
    for (const auto& c : cases) {
        WCHAR buffer[40] = {};
        ULONG result = 0;
        EXPECT_EQ(IoGetDeviceProperty(pdo, DevicePropertyManufacturer, c.length, buffer, &result),
                  c.status);
        EXPECT_EQ(result, needed);
        if (c.status == STATUS_SUCCESS) {
            EXPECT_EQ(std::u16string(buffer), u"Marquell");
        }
    }
    WCHAR buffer[40];
    ULONG result = 0;
    ASSERT_EQ(
        IoGetDeviceProperty(pdo, DevicePropertyDeviceDescription, sizeof buffer, buffer, &result),
        STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(buffer), u"MQ5120");
    EXPECT_EQ(IoGetDeviceProperty(pdo, DevicePropertyFriendlyName, sizeof buffer, buffer, &result),
              STATUS_INVALID_PARAMETER_2);
    IoDeleteDevice(pdo);
    // A deleted device's properties go with it.
    PDEVICE_OBJECT back = MakePdo(u"TestPdo1", u"TEST\\BOARD\\0001");
    EXPECT_EQ(IoGetDeviceProperty(back, DevicePropertyManufacturer, sizeof buffer, buffer, &result),
              STATUS_INVALID_PARAMETER_2);
}

}  // namespace
