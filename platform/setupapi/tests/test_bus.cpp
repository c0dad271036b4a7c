#include "test_bus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/io_interface.h"
#include "kernel/loader.h"
#include "kernel/machine.h"
#include "kernel/testing.h"
#include "kernel/wide.h"

namespace testbus {
namespace {

constexpr GUID kListed = {kListedClassData1, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kOther = {kOtherClassData1, 0x1111, 0x2222, {9, 9, 9, 9, 9, 9, 9, 9}};

PDRIVER_OBJECT g_bus = nullptr;
std::vector<UNICODE_STRING> g_links;

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

UNICODE_STRING Counted(std::u16string& text) {
    return {static_cast<USHORT>(text.size() * sizeof(WCHAR)),
            static_cast<USHORT>(text.size() * sizeof(WCHAR)), text.data()};
}

}  // namespace

void Load() {
    kernel::machine::SetBootEnabled(false);
    ASSERT_EQ(kernel::LoadDriver(u"TestBus", BusEntry, u"\\Registry\\Machine\\TestBus", &g_bus),
              STATUS_SUCCESS);
}

void Unload() {
    for (auto& link : g_links)
        RtlFreeUnicodeString(&link);
    g_links.clear();
    EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
    while (g_bus->DeviceObject != nullptr)
        IoDeleteDevice(g_bus->DeviceObject);
    kernel::UnloadDriver(g_bus);
    g_bus = nullptr;
    kernel::machine::SetBootEnabled(true);
}

int Plug(int number, bool otherClass, bool enable, std::uint32_t serial) {
    std::u16string name = u"\\Device\\SetupTestPdo" + kernel::WideNumber(number);
    UNICODE_STRING deviceName = Counted(name);
    PDEVICE_OBJECT pdo = nullptr;
    EXPECT_EQ(IoCreateDevice(g_bus, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &pdo),
              STATUS_SUCCESS);
    pdo->Flags &= ~DO_DEVICE_INITIALIZING;
    EXPECT_EQ(kernel::SetDeviceInstancePath(pdo, u"TEST\\DEV\\" + kernel::WideNumber(number)),
              STATUS_SUCCESS);
    UNICODE_STRING link{};
    EXPECT_EQ(IoRegisterDeviceInterface(pdo, otherClass ? &kOther : &kListed, nullptr, &link),
              STATUS_SUCCESS);
    HANDLE key = nullptr;
    EXPECT_EQ(IoOpenDeviceInterfaceRegistryKey(&link, KEY_ALL_ACCESS, &key), STATUS_SUCCESS);
    std::u16string valueName = u"SerialNumber";
    UNICODE_STRING value = Counted(valueName);
    ULONG data = serial;
    EXPECT_EQ(ZwSetValueKey(key, &value, 0, REG_DWORD, &data, sizeof data), STATUS_SUCCESS);
    ZwClose(key);
    if (enable) {
        EXPECT_EQ(IoSetDeviceInterfaceState(&link, TRUE), STATUS_SUCCESS);
    }
    g_links.push_back(link);
    return static_cast<int>(g_links.size()) - 1;
}

void Enable(int index) {
    EXPECT_EQ(IoSetDeviceInterfaceState(&g_links.at(index), TRUE), STATUS_SUCCESS);
}

std::size_t OpenKernelKeys() {
    return kernel::testing::OpenKeyHandles();
}

}  // namespace testbus
