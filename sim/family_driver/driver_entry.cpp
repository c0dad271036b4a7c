// The stand-in driver's entry, device creation, Plug and Play start and removal, and the file
// requests: the board's device opens any number of times, a subsystem file once.
#include <cwctype>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "board_device.h"
#include "hxda/request_codes.h"
#include "kernel/wide.h"
#include "registry_key.h"
#include "sim/bus.h"
#include "sim/family_driver.h"
#include "stack_forward.h"

namespace sim {
namespace {

constexpr GUID kInterfaceGuid = {
    hxda::kDeviceInterfaceGuid.data1,
    hxda::kDeviceInterfaceGuid.data2,
    hxda::kDeviceInterfaceGuid.data3,
    {hxda::kDeviceInterfaceGuid.data4[0], hxda::kDeviceInterfaceGuid.data4[1],
     hxda::kDeviceInterfaceGuid.data4[2], hxda::kDeviceInterfaceGuid.data4[3],
     hxda::kDeviceInterfaceGuid.data4[4], hxda::kDeviceInterfaceGuid.data4[5],
     hxda::kDeviceInterfaceGuid.data4[6], hxda::kDeviceInterfaceGuid.data4[7]}};

// Per driver object, forgotten at unload: the instance numbers in use per family, and the open
// files.
struct Instances {
    std::mutex mutex;
    std::map<PDRIVER_OBJECT, std::map<std::string, std::set<std::uint32_t>>> used;
    std::map<PDRIVER_OBJECT, std::size_t> openFiles;
};

// Never destroyed: a program that exits with boards open has their files closed by the API
// library's unload, which may run after this module's static objects are gone.
Instances& TheInstances() {
    static Instances* const instances = new Instances;
    return *instances;
}

void CountFile(PDRIVER_OBJECT driver, bool opened) {
    auto& instances = TheInstances();
    std::lock_guard lock(instances.mutex);
    std::size_t& count = instances.openFiles[driver];
    if (opened)
        ++count;
    else if (count > 0)
        --count;
}

// The lowest number no board of the family has: a board plugged in again gets its old name back
// when nothing took it meanwhile.
std::uint32_t TakeInstance(PDRIVER_OBJECT driver, const std::string& family) {
    auto& instances = TheInstances();
    std::lock_guard lock(instances.mutex);
    std::set<std::uint32_t>& used = instances.used[driver][family];
    std::uint32_t instance = 0;
    while (used.count(instance) != 0)
        ++instance;
    used.insert(instance);
    return instance;
}

void ReleaseInstance(PDRIVER_OBJECT driver, const std::string& family, std::uint32_t instance) {
    auto& instances = TheInstances();
    std::lock_guard lock(instances.mutex);
    instances.used[driver][family].erase(instance);
}

UNICODE_STRING Counted(std::u16string& text) {
    return {static_cast<USHORT>(text.size() * sizeof(WCHAR)),
            static_cast<USHORT>(text.size() * sizeof(WCHAR)), text.data()};
}

NTSTATUS Finish(PIRP irp, NTSTATUS status, ULONG_PTR information = 0) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, 0);
    return status;
}

// "\AD0", "\DOUT1", "\CT4": the subsystem word and the element in hexadecimal.
bool ParseSubsystemFile(const std::u16string& name, OpenFile* file) {
    if (name.size() < 2 || name[0] != u'\\')
        return false;
    std::u16string upper;
    for (std::size_t i = 1; i < name.size(); ++i)
        upper += static_cast<char16_t>(std::towupper(name[i]));
    for (std::uint32_t type = 0; type < 6; ++type) {
        const std::u16string word = Widen(hxda::kSubsystemFileWords[type]);
        if (upper.size() <= word.size() || upper.compare(0, word.size(), word) != 0)
            continue;
        const std::u16string digits = upper.substr(word.size());
        if (digits.size() > 4 ||
            digits.find_first_not_of(u"0123456789ABCDEF") != std::u16string::npos)
            continue;
        file->subsystem = true;
        file->type = type;
        file->element = static_cast<std::uint32_t>(std::stoul(Narrow(digits), nullptr, 16));
        return true;
    }
    return false;
}

NTSTATUS StartBoard(BoardDevice& device) {
    device.tables = FamilyTables::Load(device.driverName);
    if (!device.tables)
        return STATUS_DLL_NOT_FOUND;
    device.boardType = device.board->description().boardType;
    if (!device.tables->Model(device.boardType, &device.modelName, &device.counts)) {
        device.modelName = "UNKNOWN";
        device.counts = {};
    }
    device.serialNumber = device.board->ReadHardwareInfo().serialNumber;
    if (device.serialNumber == 0)
        device.serialNumber = device.instance;
    {
        std::lock_guard lock(device.mutex);
        device.slots.clear();
        for (std::uint32_t type = 0; type < 6; ++type) {
            for (std::uint32_t element = 0; element < device.counts[type]; ++element) {
                SubsystemSlot slot;
                if (device.tables->Subsystem(device.boardType, type, element, &slot.tables))
                    device.slots.emplace(std::make_pair(type, element), std::move(slot));
            }
        }
    }
    NTSTATUS status = RegisterBoard(device);
    if (!NT_SUCCESS(status))
        return status;
    std::u16string link = device.linkName, name = device.deviceName;
    UNICODE_STRING linkString = Counted(link), nameString = Counted(name);
    if (!NT_SUCCESS(status = IoCreateSymbolicLink(&linkString, &nameString)))
        return status;
    status = IoSetDeviceInterfaceState(&device.interfaceLink, TRUE);
    if (!NT_SUCCESS(status)) {
        IoDeleteSymbolicLink(&linkString);
        return status;
    }
    device.started = true;
    return STATUS_SUCCESS;
}

// The board is gone from under its files: the streams fail what they hold, the board is no
// longer listed or opened, and the requests of its open files fail until they are closed. Once
// only.
void SurpriseRemove(BoardDevice& device) {
    device.removed = true;
    {
        std::lock_guard lock(device.mutex);
        for (auto& [key, slot] : device.slots)
            if (slot.stream)
                slot.stream->Remove();
    }
    if (device.started.exchange(false)) {
        IoSetDeviceInterfaceState(&device.interfaceLink, FALSE);
        std::u16string link = device.linkName;
        UNICODE_STRING linkString = Counted(link);
        IoDeleteSymbolicLink(&linkString);
    }
}

// The last request of the board's stack: the board is withdrawn, the bus removes its device, and
// this device leaves the stack.
NTSTATUS RemoveBoard(PDEVICE_OBJECT self, PIRP irp) {
    BoardDevice* device = BoardOf(self);
    SurpriseRemove(*device);
    UnregisterBoard(*device);
    RtlFreeUnicodeString(&device->interfaceLink);
    // Files still open on the device find no board from now on.
    *static_cast<BoardDevice**>(self->DeviceExtension) = nullptr;
    irp->IoStatus.Status = STATUS_SUCCESS;
    const NTSTATUS status = PassDown(device->lower, irp);
    IoDetachDevice(device->lower);
    ReleaseInstance(self->DriverObject, device->driverName, device->instance);
    delete device;
    IoDeleteDevice(self);
    return status;
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT physical) {
    SimulatedBoard* board = BoardOfPhysicalDevice(physical);
    // MQ5120 boards have a driver of their own.
    if (board == nullptr || board->description().family == Family::kMq5120)
        return STATUS_NOT_SUPPORTED;
    const std::string driverName = DriverNameOf(board->description().family);
    const std::uint32_t instance = TakeInstance(driver, driverName);
    auto device = std::make_unique<BoardDevice>();
    device->driverName = driverName;
    device->instance = instance;
    device->board = board;
    device->physical = physical;
    const std::u16string suffix = Widen(driverName) + u"_" + kernel::WideNumber(instance);
    device->deviceName = u"\\Device\\MqSimDa_" + suffix;
    device->linkName = u"\\??\\" + suffix;

    std::u16string name = device->deviceName;
    UNICODE_STRING nameString = Counted(name);
    PDEVICE_OBJECT self = nullptr;
    NTSTATUS status = IoCreateDevice(driver, sizeof(BoardDevice*), &nameString, FILE_DEVICE_UNKNOWN,
                                     0, FALSE, &self);
    if (!NT_SUCCESS(status)) {
        ReleaseInstance(driver, driverName, instance);
        return status;
    }
    status = IoRegisterDeviceInterface(physical, &kInterfaceGuid, nullptr, &device->interfaceLink);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(self);
        ReleaseInstance(driver, driverName, instance);
        return status;
    }
    device->self = self;
    device->lower = IoAttachDeviceToDeviceStack(self, physical);
    *static_cast<BoardDevice**>(self->DeviceExtension) = device.release();
    // Reads reach the caller's buffer directly; device-control requests follow their codes.
    self->Flags |= DO_DIRECT_IO;
    self->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT self, PIRP irp) {
    BoardDevice& device = *BoardOf(self);
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
        case IRP_MN_START_DEVICE: {
            // The bus starts its device first.
            NTSTATUS status = SendDownAndWait(device.lower, irp);
            if (NT_SUCCESS(status))
                status = StartBoard(device);
            return Finish(irp, status);
        }
        case IRP_MN_QUERY_STOP_DEVICE:
            // A board has no resources to move: its stack is never stopped.
            return Finish(irp, STATUS_UNSUCCESSFUL);
        case IRP_MN_QUERY_REMOVE_DEVICE:
            // A board in use is not taken away in order: its files would lose it.
            if (device.openFiles > 0)
                return Finish(irp, STATUS_DEVICE_BUSY);
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(device.lower, irp);
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(device.lower, irp);
        case IRP_MN_SURPRISE_REMOVAL:
            SurpriseRemove(device);
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(device.lower, irp);
        case IRP_MN_REMOVE_DEVICE:
            return RemoveBoard(self, irp);
        default:
            return PassDown(device.lower, irp);
    }
}

// Power requests are the bus's to answer.
NTSTATUS DispatchPower(PDEVICE_OBJECT self, PIRP irp) {
    PoStartNextPowerIrp(irp);
    if (BoardOf(self) == nullptr)
        return Finish(irp, STATUS_NO_SUCH_DEVICE);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(BoardOf(self)->lower, irp);
}

NTSTATUS DispatchCreate(PDEVICE_OBJECT self, PIRP irp) {
    if (BoardOf(self) == nullptr)
        return Finish(irp, STATUS_NO_SUCH_DEVICE);
    BoardDevice& device = *BoardOf(self);
    PFILE_OBJECT fileObject = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (!device.started)
        return Finish(irp, STATUS_DEVICE_NOT_CONNECTED);
    auto file = std::make_unique<OpenFile>();
    const std::u16string name(fileObject->FileName.Buffer,
                              fileObject->FileName.Length / sizeof(WCHAR));
    if (!name.empty()) {
        if (!ParseSubsystemFile(name, file.get()))
            return Finish(irp, STATUS_OBJECT_NAME_NOT_FOUND);
        std::lock_guard lock(device.mutex);
        auto slot = device.slots.find({file->type, file->element});
        if (slot == device.slots.end())
            return Finish(irp, STATUS_OBJECT_NAME_NOT_FOUND);  // not on this board
        if (slot->second.open)
            return Finish(irp, STATUS_SHARING_VIOLATION);
        slot->second.open = true;
        slot->second.configuration.clear();
        slot->second.stream =
            std::make_shared<SubsystemStream>(device.board, device.board->description().unpaced);
        file->stream = slot->second.stream;
    }
    fileObject->FsContext = file.release();
    CountFile(self->DriverObject, true);
    ++device.openFiles;
    return Finish(irp, STATUS_SUCCESS);
}

NTSTATUS DispatchCleanup(PDEVICE_OBJECT self, PIRP irp) {
    BoardDevice* device = BoardOf(self);
    auto* file = static_cast<OpenFile*>(IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext);
    if (file != nullptr) {
        CountFile(self->DriverObject, false);
        if (device != nullptr)
            --device->openFiles;
    }
    if (file != nullptr && file->stream)
        file->stream->Close();  // after a removal it has nothing left to end
    if (device != nullptr && file != nullptr && file->subsystem) {
        std::lock_guard lock(device->mutex);
        auto slot = device->slots.find({file->type, file->element});
        if (slot != device->slots.end()) {
            slot->second.open = false;
            slot->second.stream.reset();
        }
    }
    return Finish(irp, STATUS_SUCCESS);
}

NTSTATUS DispatchClose(PDEVICE_OBJECT, PIRP irp) {
    PFILE_OBJECT fileObject = IoGetCurrentIrpStackLocation(irp)->FileObject;
    delete static_cast<OpenFile*>(fileObject->FsContext);
    fileObject->FsContext = nullptr;
    return Finish(irp, STATUS_SUCCESS);
}

NTSTATUS DispatchControl(PDEVICE_OBJECT self, PIRP irp) {
    if (BoardOf(self) == nullptr || BoardOf(self)->removed)
        return Finish(irp, STATUS_DEVICE_REMOVED);
    BoardDevice& device = *BoardOf(self);
    auto* file = static_cast<OpenFile*>(IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext);
    if (file == nullptr)
        return Finish(irp, STATUS_INVALID_DEVICE_REQUEST);
    if (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode ==
        IOCTL_HXDA_WAITEVENT)
        return HandleWaitEvent(device, *file, irp);
    ULONG information = 0;
    const NTSTATUS status = HandleControl(device, *file, irp, &information);
    return Finish(irp, status, NT_SUCCESS(status) ? information : 0);
}

NTSTATUS DispatchRead(PDEVICE_OBJECT self, PIRP irp) {
    auto* file = static_cast<OpenFile*>(IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext);
    if (BoardOf(self) == nullptr || BoardOf(self)->removed)
        return Finish(irp, STATUS_DEVICE_REMOVED);
    if (file == nullptr)
        return Finish(irp, STATUS_INVALID_DEVICE_REQUEST);
    return HandleRead(*BoardOf(self), *file, irp);
}

void Unload(PDRIVER_OBJECT driver) {
    auto& instances = TheInstances();
    std::lock_guard lock(instances.mutex);
    instances.used.erase(driver);
    instances.openFiles.erase(driver);
}

}  // namespace

std::size_t OpenFileCount(PDRIVER_OBJECT driver) {
    auto& instances = TheInstances();
    std::lock_guard lock(instances.mutex);
    auto found = instances.openFiles.find(driver);
    return found == instances.openFiles.end() ? 0 : found->second;
}

NTSTATUS FamilyDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->MajorFunction[IRP_MJ_READ] = DispatchRead;
    return STATUS_SUCCESS;
}

}  // namespace sim
