#include "echo_driver.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "kernel/loader.h"

namespace echo {
namespace {

struct Queue {
    KSPIN_LOCK lock;
    LIST_ENTRY head;
};

struct Extension {
    Queue queue;
};

std::mutex g_logMutex;
Log g_log;
Extension* g_extensions[2] = {nullptr, nullptr};

template <class F>
void Record(F change) {
    std::lock_guard guard(g_logMutex);
    change(g_log);
}

// Behind FILE_OBJECT::FsContext from CREATE on: whether CLOSE has reached the driver. Kept until
// the driver loads again, so that a request that comes after the close still finds it.
struct FileState {
    std::atomic<bool> closed{false};
};
std::vector<std::unique_ptr<FileState>> g_files;

// Counts a request that reaches the driver after its file's close.
void NoteRequest(PIRP irp) {
    auto* state = static_cast<FileState*>(IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext);
    if (state != nullptr && state->closed.load())
        Record([](Log& log) { log.requestsAfterClose++; });
}

Extension* ExtensionOf(PDEVICE_OBJECT device) {
    return static_cast<Extension*>(device->DeviceExtension);
}

// Set while this driver's IoCompleteRequest runs on the thread: a close seen then is nested in it.
thread_local bool t_completing = false;

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    const bool outer = t_completing;
    t_completing = true;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    t_completing = outer;
    return status;
}

DRIVER_CANCEL CancelQueued;
void CancelQueued(PDEVICE_OBJECT device, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Queue& queue = ExtensionOf(device)->queue;
    KIRQL irql;
    KeAcquireSpinLock(&queue.lock, &irql);
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&queue.lock, irql);
    Record([](Log& log) { log.cancels++; });
    Complete(irp, STATUS_CANCELLED, 0);
}

NTSTATUS Enqueue(PDEVICE_OBJECT device, PIRP irp) {
    Queue& queue = ExtensionOf(device)->queue;
    IoMarkIrpPending(irp);
    KIRQL irql;
    KeAcquireSpinLock(&queue.lock, &irql);
    InsertTailList(&queue.head, &irp->Tail.Overlay.ListEntry);
    IoSetCancelRoutine(irp, CancelQueued);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
        RemoveEntryList(&irp->Tail.Overlay.ListEntry);
        KeReleaseSpinLock(&queue.lock, irql);
        Complete(irp, STATUS_CANCELLED, 0);
        return STATUS_PENDING;
    }
    KeReleaseSpinLock(&queue.lock, irql);
    return STATUS_PENDING;
}

// Takes the oldest request whose cancel routine could be taken back.
PIRP Dequeue(Queue& queue) {
    KIRQL irql;
    KeAcquireSpinLock(&queue.lock, &irql);
    for (PLIST_ENTRY entry = queue.head.Flink; entry != &queue.head; entry = entry->Flink) {
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if (IoSetCancelRoutine(irp, nullptr) != nullptr) {
            RemoveEntryList(entry);
            KeReleaseSpinLock(&queue.lock, irql);
            return irp;
        }
    }
    KeReleaseSpinLock(&queue.lock, irql);
    return nullptr;
}

PVOID OutputOf(PIRP irp, ULONG* length) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MajorFunction == IRP_MJ_READ) {
        *length = stack->Parameters.Read.Length;
        if (irp->MdlAddress)
            return MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
        return irp->AssociatedIrp.SystemBuffer;
    }
    *length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    return irp->AssociatedIrp.SystemBuffer;
}

DRIVER_DISPATCH DispatchCreate, DispatchCleanup, DispatchClose, DispatchRead, DispatchControl;

NTSTATUS DispatchCreate(PDEVICE_OBJECT, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    std::u16string name(stack->FileObject->FileName.Buffer,
                        stack->FileObject->FileName.Length / sizeof(WCHAR));
    Record([&](Log& log) {
        log.creates++;
        log.lastFileName = name;
    });
    if (name == u"\\refuse")
        return Complete(irp, STATUS_UNSUCCESSFUL, 0);
    {
        std::lock_guard guard(g_logMutex);
        g_files.push_back(std::make_unique<FileState>());
        stack->FileObject->FsContext = g_files.back().get();
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
    const bool pending = QueuedCount() > 0;
    Record([&](Log& log) {
        log.cleanups++;
        if (pending)
            log.cleanupsWithPending++;
    });
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchClose(PDEVICE_OBJECT, PIRP irp) {
    if (auto* state =
            static_cast<FileState*>(IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext))
        state->closed.store(true);
    const auto token = CurrentThreadToken();
    const bool passive = KeGetCurrentIrql() == PASSIVE_LEVEL;
    const bool nested = t_completing;
    Record([&](Log& log) {
        log.closes++;
        if (nested)
            log.closesInsideCompletion++;
        log.closeThread = token;
        log.closeAtPassive = passive;
    });
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchRead(PDEVICE_OBJECT device, PIRP irp) {
    NoteRequest(irp);
    Record([](Log& log) { log.reads++; });
    return Enqueue(device, irp);
}

NTSTATUS DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    NoteRequest(irp);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const auto& parameters = stack->Parameters.DeviceIoControl;
    EchoCommand command{};
    if (parameters.InputBufferLength >= sizeof(command) && irp->AssociatedIrp.SystemBuffer)
        std::memcpy(&command, irp->AssociatedIrp.SystemBuffer, sizeof(command));
    switch (parameters.IoControlCode) {
        case IOCTL_ECHO_FILL:
            std::memset(irp->AssociatedIrp.SystemBuffer, command.fill,
                        std::max(parameters.InputBufferLength, parameters.OutputBufferLength));
            return Complete(irp, STATUS_SUCCESS, command.information);
        case IOCTL_ECHO_FILL_DIRECT:
            if (irp->MdlAddress)
                std::memset(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority),
                            command.fill, MmGetMdlByteCount(irp->MdlAddress));
            return Complete(irp, STATUS_SUCCESS, command.information);
        case IOCTL_ECHO_PEND:
            return Enqueue(device, irp);
        case IOCTL_ECHO_FAIL:
            return Complete(irp, command.status, 0);
        default:
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
}

DRIVER_UNLOAD UnloadDriver;
void UnloadDriver(PDRIVER_OBJECT driver) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, u"\\DosDevices\\EchoB");
    IoDeleteSymbolicLink(&link);
    RtlInitUnicodeString(&link, u"\\DosDevices\\EchoD");
    IoDeleteSymbolicLink(&link);
    while (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
    g_extensions[0] = g_extensions[1] = nullptr;
}

NTSTATUS MakeDevice(PDRIVER_OBJECT driver, const char16_t* name, const char16_t* linkName,
                    ULONG flags, int slot) {
    UNICODE_STRING deviceName, link;
    RtlInitUnicodeString(&deviceName, name);
    RtlInitUnicodeString(&link, linkName);
    PDEVICE_OBJECT device;
    NTSTATUS status = IoCreateDevice(driver, sizeof(Extension), &deviceName, FILE_DEVICE_UNKNOWN, 0,
                                     FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    device->Flags |= flags;
    auto* extension = ExtensionOf(device);
    KeInitializeSpinLock(&extension->queue.lock);
    InitializeListHead(&extension->queue.head);
    g_extensions[slot] = extension;
    return IoCreateSymbolicLink(&link, &deviceName);
}

}  // namespace

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    {
        std::lock_guard guard(g_logMutex);
        g_log = Log{};
        g_files.clear();
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_READ] = DispatchRead;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = UnloadDriver;
    NTSTATUS status =
        MakeDevice(driver, u"\\Device\\EchoBuffered", u"\\DosDevices\\EchoB", DO_BUFFERED_IO, 0);
    if (NT_SUCCESS(status))
        status =
            MakeDevice(driver, u"\\Device\\EchoDirect", u"\\DosDevices\\EchoD", DO_DIRECT_IO, 1);
    if (!NT_SUCCESS(status))
        UnloadDriver(driver);
    return status;
}

Log Snapshot() {
    std::lock_guard guard(g_logMutex);
    return g_log;
}

std::size_t QueuedCount() {
    std::size_t count = 0;
    for (Extension* extension : g_extensions) {
        if (extension == nullptr)
            continue;
        KIRQL irql;
        KeAcquireSpinLock(&extension->queue.lock, &irql);
        for (PLIST_ENTRY e = extension->queue.head.Flink; e != &extension->queue.head; e = e->Flink)
            ++count;
        KeReleaseSpinLock(&extension->queue.lock, irql);
    }
    return count;
}

bool CompleteOldest(std::int32_t status, std::uint32_t information, std::uint8_t fill) {
    for (Extension* extension : g_extensions) {
        if (extension == nullptr)
            continue;
        if (PIRP irp = Dequeue(extension->queue)) {
            ULONG length = 0;
            if (PVOID output = OutputOf(irp, &length))
                std::memset(output, fill, length);
            Complete(irp, status, information);
            return true;
        }
    }
    return false;
}

namespace {
PDRIVER_OBJECT g_loaded = nullptr;
}

std::int32_t Load() {
    return kernel::LoadDriver(u"Echo", DriverEntry, u"\\Registry\\Machine\\Echo", &g_loaded);
}

void Unload() {
    if (g_loaded != nullptr)
        kernel::UnloadDriver(g_loaded);
    g_loaded = nullptr;
}

std::uint64_t CurrentThreadToken() {
    return std::hash<std::thread::id>{}(std::this_thread::get_id());
}

}  // namespace echo
