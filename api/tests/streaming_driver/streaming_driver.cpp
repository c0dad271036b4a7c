#include "streaming_driver.h"

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "hxda/request_codes.h"
#include "kernel/loader.h"
#include "kernel/wdm.h"

namespace streamer {
namespace {

struct Stream {
    KSPIN_LOCK lock;
    LIST_ENTRY reads;
    LIST_ENTRY waits;
    LIST_ENTRY held;
    std::uint32_t holdCode = 0;
    bool open = false;
    bool output = false;  // an output subsystem's reads carry data to the board
    // Scripted behaviour and what was seen; under lock.
    bool unpaced = false;
    bool fillData = true;
    bool finishOnStop = true;
    bool finishOnAbort = false;
    std::uint32_t refuse = 0;
    std::uint16_t nextSample = 0;
    std::uint64_t readsReceived = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> queuedEvents;
    std::vector<std::uint32_t> codes;

    Stream() {
        KeInitializeSpinLock(&lock);
        InitializeListHead(&reads);
        InitializeListHead(&waits);
        InitializeListHead(&held);
    }
};

// Streams live until the next Load, so a test may script one before its file is opened.
std::mutex g_mutex;
std::map<std::u16string, Stream> g_streams;
std::map<std::uint32_t, std::uint32_t> g_statusFor;
PDRIVER_OBJECT g_driver = nullptr;

Stream& StreamNamed(const std::u16string& name) {
    std::lock_guard guard(g_mutex);
    return g_streams[name];  // std::map keeps its elements in place
}

Stream* StreamOf(PIRP irp) {
    return static_cast<Stream*>(IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

// Fills a read's data area with the stream's next sample numbers (an output read is taken as
// sent, its data left alone); called under the lock.
ULONG Fill(Stream& stream, PIRP irp) {
    const ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
    if (irp->MdlAddress == nullptr || stream.output || !stream.fillData)
        return length;
    auto* data = static_cast<std::uint8_t*>(
        MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
    for (ULONG at = 0; at + 2 <= length; at += 2) {
        const std::uint16_t sample = stream.nextSample++;
        std::memcpy(data + at, &sample, 2);
    }
    return length;
}

DRIVER_CANCEL CancelQueued;
void CancelQueued(PDEVICE_OBJECT, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Stream* stream = StreamOf(irp);
    KIRQL irql;
    KeAcquireSpinLock(&stream->lock, &irql);
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&stream->lock, irql);
    Complete(irp, STATUS_CANCELLED, 0);
}

// Queues a request with its cancel routine; called under the lock, which it keeps.
// False when the request was cancelled meanwhile (it is then the caller's to complete).
bool EnqueueLocked(PLIST_ENTRY queue, PIRP irp) {
    IoMarkIrpPending(irp);
    InsertTailList(queue, &irp->Tail.Overlay.ListEntry);
    IoSetCancelRoutine(irp, CancelQueued);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
        RemoveEntryList(&irp->Tail.Overlay.ListEntry);
        return false;
    }
    return true;
}

// Takes the oldest request of a queue whose cancel routine could be taken back; under the lock.
PIRP DequeueLocked(PLIST_ENTRY queue) {
    for (PLIST_ENTRY entry = queue->Flink; entry != queue; entry = entry->Flink) {
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if (IoSetCancelRoutine(irp, nullptr) != nullptr) {
            RemoveEntryList(entry);
            return irp;
        }
    }
    return nullptr;
}

std::size_t CountLocked(PLIST_ENTRY queue) {
    std::size_t count = 0;
    for (PLIST_ENTRY entry = queue->Flink; entry != queue; entry = entry->Flink)
        ++count;
    return count;
}

void WriteEvent(PIRP irp, std::uint32_t code, std::uint32_t data) {
    auto* record = static_cast<std::uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    const std::uint32_t status = 0;
    std::memcpy(record + 12, &status, 4);
    std::memcpy(record + 16, &code, 4);
    std::memcpy(record + 20, &data, 4);
}

// Completes up to `count` pending reads, each filled or failed with `failure`.
std::size_t FinishReads(Stream& stream, std::size_t count, NTSTATUS failure) {
    std::size_t done = 0;
    while (done < count) {
        KIRQL irql;
        KeAcquireSpinLock(&stream.lock, &irql);
        PIRP irp = DequeueLocked(&stream.reads);
        ULONG bytes = 0;
        if (irp != nullptr && NT_SUCCESS(failure))
            bytes = Fill(stream, irp);
        KeReleaseSpinLock(&stream.lock, irql);
        if (irp == nullptr)
            break;
        Complete(irp, failure, bytes);
        ++done;
    }
    return done;
}

std::size_t CancelAll(Stream& stream, PLIST_ENTRY queue) {
    std::size_t done = 0;
    for (;;) {
        KIRQL irql;
        KeAcquireSpinLock(&stream.lock, &irql);
        PIRP irp = DequeueLocked(queue);
        KeReleaseSpinLock(&stream.lock, irql);
        if (irp == nullptr)
            return done;
        Complete(irp, STATUS_CANCELLED, 0);
        ++done;
    }
}

DRIVER_DISPATCH DispatchCreate, DispatchCleanup, DispatchClose, DispatchRead, DispatchControl;

NTSTATUS DispatchCreate(PDEVICE_OBJECT, PIRP irp) {
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    const std::u16string name(file->FileName.Buffer, file->FileName.Length / sizeof(WCHAR));
    Stream& stream = StreamNamed(name);
    {
        std::lock_guard guard(g_mutex);
        if (stream.open)
            return Complete(irp, STATUS_ACCESS_DENIED, 0);
        stream.open = true;
        stream.output = name.rfind(u"\\DA", 0) == 0;
    }
    file->FsContext = &stream;
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchCleanup(PDEVICE_OBJECT, PIRP irp) {
    Stream& stream = *StreamOf(irp);
    CancelAll(stream, &stream.reads);
    CancelAll(stream, &stream.waits);
    CancelAll(stream, &stream.held);
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchClose(PDEVICE_OBJECT, PIRP irp) {
    Stream& stream = *StreamOf(irp);
    {
        std::lock_guard guard(g_mutex);
        stream.open = false;
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchRead(PDEVICE_OBJECT, PIRP irp) {
    Stream& stream = *StreamOf(irp);
    KIRQL irql;
    KeAcquireSpinLock(&stream.lock, &irql);
    ++stream.readsReceived;
    if (stream.refuse != 0) {
        --stream.refuse;
        KeReleaseSpinLock(&stream.lock, irql);
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    if (stream.unpaced) {
        const ULONG bytes = Fill(stream, irp);
        KeReleaseSpinLock(&stream.lock, irql);
        return Complete(irp, STATUS_SUCCESS, bytes);
    }
    const bool queued = EnqueueLocked(&stream.reads, irp);
    KeReleaseSpinLock(&stream.lock, irql);
    if (!queued)
        Complete(irp, STATUS_CANCELLED, 0);
    return STATUS_PENDING;
}

NTSTATUS DispatchControl(PDEVICE_OBJECT, PIRP irp) {
    Stream& stream = *StreamOf(irp);
    const auto& parameters = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl;
    const std::uint32_t code = parameters.IoControlCode;
    std::uint32_t status = 0;
    {
        std::lock_guard guard(g_mutex);
        if (auto found = g_statusFor.find(code); found != g_statusFor.end())
            status = found->second;
    }
    KIRQL irql;
    KeAcquireSpinLock(&stream.lock, &irql);
    stream.codes.push_back(code);
    if (code == IOCTL_HXDA_WAITEVENT) {
        if (!stream.queuedEvents.empty()) {
            const auto [event, data] = stream.queuedEvents.front();
            stream.queuedEvents.erase(stream.queuedEvents.begin());
            KeReleaseSpinLock(&stream.lock, irql);
            WriteEvent(irp, event, data);
            return Complete(irp, STATUS_SUCCESS, parameters.OutputBufferLength);
        }
        const bool queued = EnqueueLocked(&stream.waits, irp);
        KeReleaseSpinLock(&stream.lock, irql);
        if (!queued)
            Complete(irp, STATUS_CANCELLED, 0);
        return STATUS_PENDING;
    }
    if (code == stream.holdCode) {
        const bool queued = EnqueueLocked(&stream.held, irp);
        KeReleaseSpinLock(&stream.lock, irql);
        if (!queued)
            Complete(irp, STATUS_CANCELLED, 0);
        return STATUS_PENDING;
    }
    if (code == IOCTL_HXDA_FLUSHINPROCESS) {
        // The data gathered so far of the buffer in process: here, the whole output.
        ULONG bytes = 0;
        if (irp->MdlAddress != nullptr) {
            auto* data = static_cast<std::uint8_t*>(
                MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
            bytes = MmGetMdlByteCount(irp->MdlAddress);
            for (ULONG at = 0; at + 2 <= bytes; at += 2) {
                const std::uint16_t sample = stream.nextSample++;
                std::memcpy(data + at, &sample, 2);
            }
        }
        KeReleaseSpinLock(&stream.lock, irql);
        return Complete(irp, STATUS_SUCCESS, bytes);
    }
    const bool finishOnStop = stream.finishOnStop;
    const bool finishOnAbort = stream.finishOnAbort;
    KeReleaseSpinLock(&stream.lock, irql);
    if ((code == IOCTL_HXDA_STOP && finishOnStop) || (code == IOCTL_HXDA_ABORT && finishOnAbort))
        FinishReads(stream, ~std::size_t{0}, STATUS_SUCCESS);
    if (code == IOCTL_HXDA_ABORT)
        CancelAll(stream, &stream.reads);
    auto* record = static_cast<std::uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    if (record != nullptr && parameters.OutputBufferLength >= 16)
        std::memcpy(record + 12, &status, 4);
    return Complete(irp, STATUS_SUCCESS, parameters.OutputBufferLength);
}

DRIVER_UNLOAD UnloadDriver;
void UnloadDriver(PDRIVER_OBJECT driver) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, u"\\DosDevices\\HxdaStream");
    IoDeleteSymbolicLink(&link);
    while (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

DRIVER_INITIALIZE DriverEntry;
NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_READ] = DispatchRead;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = UnloadDriver;
    UNICODE_STRING deviceName, link;
    RtlInitUnicodeString(&deviceName, u"\\Device\\HxdaStreamer");
    RtlInitUnicodeString(&link, u"\\DosDevices\\HxdaStream");
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status =
        IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    device->Flags |= DO_DIRECT_IO;
    status = IoCreateSymbolicLink(&link, &deviceName);
    if (!NT_SUCCESS(status))
        IoDeleteDevice(device);
    return status;
}

template <typename Poll>
bool WaitUntil(Poll poll, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!poll()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

template <typename Read>
auto Locked(const std::u16string& file, Read read) {
    Stream& stream = StreamNamed(file);
    KIRQL irql;
    KeAcquireSpinLock(&stream.lock, &irql);
    auto value = read(stream);
    KeReleaseSpinLock(&stream.lock, irql);
    return value;
}

}  // namespace

std::int32_t Load() {
    {
        std::lock_guard guard(g_mutex);
        g_streams.clear();
        g_statusFor.clear();
    }
    return kernel::LoadDriver(u"HxdaStreamer", DriverEntry, u"\\Registry\\Machine\\HxdaStreamer",
                              &g_driver);
}

void Unload() {
    if (g_driver)
        kernel::UnloadDriver(g_driver);
    g_driver = nullptr;
}

void SetUnpaced(const std::u16string& file, bool unpaced) {
    Locked(file, [&](Stream& s) { return s.unpaced = unpaced; });
}

void SetFillData(const std::u16string& file, bool fill) {
    Locked(file, [&](Stream& s) { return s.fillData = fill; });
}

void RefuseNextReads(const std::u16string& file, std::uint32_t count) {
    Locked(file, [&](Stream& s) { return s.refuse = count; });
}

void SetFinishOnStop(const std::u16string& file, bool finish) {
    Locked(file, [&](Stream& s) { return s.finishOnStop = finish; });
}

void SetFinishOnAbort(const std::u16string& file, bool finish) {
    Locked(file, [&](Stream& s) { return s.finishOnAbort = finish; });
}

void SetStatus(std::uint32_t code, std::uint32_t status) {
    std::lock_guard guard(g_mutex);
    g_statusFor[code] = status;
}

void HoldRequests(const std::u16string& file, std::uint32_t code) {
    Locked(file, [&](Stream& s) { return s.holdCode = code; });
}

std::size_t HeldRequests(const std::u16string& file) {
    return Locked(file, [](Stream& s) { return CountLocked(&s.held); });
}

bool ReleaseHeld(const std::u16string& file, std::uint32_t status, std::uint32_t value) {
    PIRP irp = Locked(file, [](Stream& s) { return DequeueLocked(&s.held); });
    if (irp == nullptr)
        return false;
    const ULONG length =
        IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
    auto* record = static_cast<std::uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    if (record != nullptr && length >= 24) {
        std::memcpy(record + 12, &status, 4);
        std::memcpy(record + 20, &value, 4);
    }
    Complete(irp, STATUS_SUCCESS, length);
    return true;
}

std::size_t PendingReads(const std::u16string& file) {
    return Locked(file, [](Stream& s) { return CountLocked(&s.reads); });
}

std::size_t PendingEventRequests(const std::u16string& file) {
    return Locked(file, [](Stream& s) { return CountLocked(&s.waits); });
}

bool WaitForPendingReads(const std::u16string& file, std::size_t count, int timeoutMs) {
    return WaitUntil([&] { return PendingReads(file) >= count; }, timeoutMs);
}

bool WaitForPendingEventRequests(const std::u16string& file, std::size_t count, int timeoutMs) {
    return WaitUntil([&] { return PendingEventRequests(file) >= count; }, timeoutMs);
}

std::size_t CompleteReads(const std::u16string& file, std::size_t count) {
    return FinishReads(StreamNamed(file), count, STATUS_SUCCESS);
}

std::size_t FailReads(const std::u16string& file, std::size_t count, std::int32_t status) {
    return FinishReads(StreamNamed(file), count, status);
}

void RaiseEvent(const std::u16string& file, std::uint32_t code, std::uint32_t data) {
    Stream& stream = StreamNamed(file);
    KIRQL irql;
    KeAcquireSpinLock(&stream.lock, &irql);
    PIRP irp = DequeueLocked(&stream.waits);
    if (irp == nullptr)
        stream.queuedEvents.emplace_back(code, data);
    KeReleaseSpinLock(&stream.lock, irql);
    if (irp == nullptr)
        return;
    WriteEvent(irp, code, data);
    Complete(irp, STATUS_SUCCESS,
             IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength);
}

void RemoveDevice(const std::u16string& file) {
    RaiseEvent(file, HXEV_DEVICEREMOVED);
    FailReads(file, ~std::size_t{0}, STATUS_DEVICE_REMOVED);
}

std::vector<std::uint32_t> Codes(const std::u16string& file) {
    return Locked(file, [](Stream& s) { return s.codes; });
}

std::uint64_t ReadsReceived(const std::u16string& file) {
    return Locked(file, [](Stream& s) { return s.readsReceived; });
}

std::int32_t DataError() {
    return STATUS_DEVICE_DATA_ERROR;
}

}  // namespace streamer
